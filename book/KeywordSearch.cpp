#include "KeywordSearch.h"

#include <QStringRef>

#include <algorithm>

namespace {

const int kStretch = 1 << 16;

// QString's case-insensitive comparison folds each UTF-16 unit; surrogates
// fold as pairs into code points beyond this table, so a surrogate here
// stands for itself and never equals the fold of a keyword without them.
struct FoldTable
{
    FoldTable()
    {
        for (int c = 0; c < 0x10000; ++c) {
            fold[c] = QChar::isSurrogate(c) ? char16_t(c) : char16_t(QChar::toCaseFolded(uint(c)));
            ++variants[fold[c]];
        }
    }
    char16_t fold[0x10000];
    quint8 variants[0x10000] = {};
};

const FoldTable &foldTable()
{
    static const FoldTable table;
    return table;
}

} // namespace

KeywordSearch::KeywordSearch(const QString &text) : text(text) {}

void KeywordSearch::reset(const QString &keyword)
{
    key = keyword;
    folded.clear();
    anchor = -1;
    const FoldTable &table = foldTable();
    int fewest = 0x10000;
    for (int i = 0; i < key.size(); ++i) {
        const char16_t c = key.at(i).unicode();
        if (QChar::isSurrogate(c)) {
            anchor = -1;
            break;
        }
        folded.append(QChar(table.fold[c]));
        if (table.variants[table.fold[c]] < fewest) {
            fewest = table.variants[table.fold[c]];
            anchor = i;
        }
    }
    // Folding is idempotent: a fold without other variants is the one
    // character that has it, and a plain character search finds it.
    anchorHasVariants = fewest > 1;
    counted = false;
    count = 0;
    stretchStarts.clear();
    singles.clear();
}

int KeywordSearch::next(int from) const
{
    if (key.isEmpty())
        return -1;
    from = qBound(0, from, text.size());
    if (anchor >= 0)
        return nextByAnchor(from);
    return text.indexOf(key, from, Qt::CaseInsensitive);
}

int KeywordSearch::previous(int before) const
{
    if (key.isEmpty() || before <= 0)
        return -1;
    if (anchor >= 0)
        return previousByAnchor(qMin(before, text.size()));
    return text.lastIndexOf(key, qMin(before, text.size()) - 1, Qt::CaseInsensitive);
}

bool KeywordSearch::matchesAt(int start) const
{
    if (start < 0 || start > text.size() - key.size())
        return false;
    const char16_t *fold = foldTable().fold;
    const QChar *at = text.constData() + start;
    for (int i = 0; i < folded.size(); ++i) {
        if (fold[at[i].unicode()] != folded.at(i).unicode())
            return false;
    }
    return true;
}

int KeywordSearch::nextByAnchor(int from) const
{
    const char16_t wanted = folded.at(anchor).unicode();
    const char16_t *fold = foldTable().fold;
    const QChar *data = text.constData();
    const int last = text.size() - key.size() + anchor; // the anchor of the last possible match
    for (int at = from + anchor; at <= last; ++at) {
        if (anchorHasVariants) {
            while (at <= last && fold[data[at].unicode()] != wanted)
                ++at;
        } else {
            at = text.indexOf(QChar(wanted), at); // vectorised in Qt
            if (at < 0)
                return -1;
        }
        if (at <= last && matchesAt(at - anchor))
            return at - anchor;
    }
    return -1;
}

int KeywordSearch::previousByAnchor(int before) const
{
    const char16_t wanted = folded.at(anchor).unicode();
    const char16_t *fold = foldTable().fold;
    const QChar *data = text.constData();
    for (int at = qMin(before - 1, text.size() - key.size()) + anchor; at >= anchor; --at) {
        while (at >= anchor && fold[data[at].unicode()] != wanted)
            --at;
        if (at >= anchor && matchesAt(at - anchor))
            return at - anchor;
    }
    return -1;
}

// First occurrence starting in [from, limit), or -1.
int KeywordSearch::nextBefore(int from, int limit) const
{
    const int end = qMin(text.size(), limit + key.size() - 1);
    if (from >= end)
        return -1;
    return QStringRef(&text, 0, end).indexOf(key, from, Qt::CaseInsensitive);
}

int KeywordSearch::markAll()
{
    if (counted || key.isEmpty())
        return count;
    counted = true;
    int lastStretch = -1;
    // QString's own search: the anchored one of next() finds the same places.
    for (int start = text.indexOf(key, 0, Qt::CaseInsensitive); start >= 0;
         start = text.indexOf(key, start + key.size(), Qt::CaseInsensitive)) {
        ++count;
        if (start / kStretch != lastStretch) {
            lastStretch = start / kStretch;
            stretchStarts.append(start);
        }
    }
    return count;
}

void KeywordSearch::mark(int start)
{
    if (start >= 0)
        singles.insert(start);
}

// The counted occurrences chain: each starts at the first match after the
// end of the one before. With a keyword that overlaps itself ("aa" in
// "aaaa") which matches belong to the chain depends on where counting began,
// so the walk starts at a stretch start, never in the middle of the text.
void KeywordSearch::addCountedMarks(int from, int to, QVector<int> *starts) const
{
    const int first = qMax(0, from - key.size() + 1);
    auto stretch = std::upper_bound(stretchStarts.cbegin(), stretchStarts.cend(), first);
    if (stretch != stretchStarts.cbegin())
        --stretch;
    int start = stretch == stretchStarts.cend() ? -1 : *stretch;
    while (start >= 0 && start < to) {
        if (start >= first)
            starts->append(start);
        const int stretchEnd = (start / kStretch + 1) * kStretch;
        const int limit = qMin(stretchEnd, to);
        start = nextBefore(start + key.size(), limit);
        // Nothing more in this stretch: the chain goes on at the next
        // stretch that has a counted occurrence.
        if (start < 0 && limit == stretchEnd && ++stretch != stretchStarts.cend())
            start = *stretch;
    }
}

QVector<int> KeywordSearch::marksIn(int from, int to) const
{
    QVector<int> starts;
    if (key.isEmpty() || from >= to)
        return starts;
    if (counted)
        addCountedMarks(from, to, &starts);
    const int first = qMax(0, from - key.size() + 1);
    for (auto it = singles.lower_bound(first); it != singles.end() && *it < to; ++it)
        starts.append(*it);
    std::sort(starts.begin(), starts.end());
    starts.erase(std::unique(starts.begin(), starts.end()), starts.end());
    return starts;
}
