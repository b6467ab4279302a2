#include "GraphemeBreaks.h"

#include <QTextBoundaryFinder>

namespace {

bool breaksBetween(const QString &first, const QString &second)
{
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, first + second);
    finder.setPosition(first.size());
    return finder.isAtBoundary();
}

// Every rule that keeps two characters together names a class that also
// holds with a letter, with itself or before a line feed (a mark after a
// letter, a prefix before one, Hangul jamo in a row, CR before LF, flags).
// Asking Qt's own finder keeps this in step with its Unicode version.
bool probeAlone(const QString &character)
{
    const QString letter(QLatin1Char('a'));
    return breaksBetween(letter, character) && breaksBetween(character, letter) &&
           breaksBetween(character, character) && breaksBetween(character, QStringLiteral("\n"));
}

} // namespace

bool GraphemeBreaks::standsAlone(QChar c)
{
    if (c.isSurrogate())
        return false;
    if (kinds.empty())
        kinds.assign(0x10000, Unknown);
    quint8 &kind = kinds[c.unicode()];
    if (kind == Unknown)
        kind = probeAlone(QString(c)) ? Alone : MayJoin;
    return kind == Alone;
}

bool GraphemeBreaks::standsAlone(uint codePoint)
{
    if (QChar::requiresSurrogates(codePoint)) {
        auto found = supplementary.find(codePoint);
        if (found == supplementary.end())
            found = supplementary.insert(codePoint, probeAlone(QString::fromUcs4(&codePoint, 1)));
        return found.value();
    }
    return standsAlone(QChar(codePoint));
}

bool GraphemeBreaks::certainBoundary(const QString &text, int pos)
{
    return pos <= 0 || pos >= text.size() || (standsAlone(text.at(pos - 1)) && standsAlone(text.at(pos)));
}

// Qt decides whether a boundary falls before a character from that
// character and those before it, never from later ones. A window that
// starts at a boundary and holds the character at `pos` therefore answers
// for `pos` and for every place before it.
int GraphemeBreaks::windowStart(const QString &text, int pos, int known)
{
    known = qBound(0, known, pos);
    int from = pos;
    while (from > known && !certainBoundary(text, from))
        --from;
    return from;
}

int GraphemeBreaks::clusterStart(const QString &text, int pos, int known)
{
    pos = qBound(0, pos, text.size());
    const int from = windowStart(text, pos, known);
    if (from == pos)
        return pos;
    const int to = qMin(text.size(), pos + 2);
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text.constData() + from, to - from);
    finder.setPosition(pos - from);
    return finder.isAtBoundary() ? pos : from + finder.toPreviousBoundary();
}

int GraphemeBreaks::clusterEnd(const QString &text, int pos, int known)
{
    pos = qBound(0, pos, text.size());
    const int from = windowStart(text, pos, known);
    if (from == pos)
        return pos;
    for (int reach = 8;; reach *= 2) {
        const int to = int(qMin<qint64>(text.size(), qint64(pos) + reach));
        QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text.constData() + from, to - from);
        finder.setPosition(pos - from);
        if (finder.isAtBoundary())
            return pos;
        // The window's end always counts as a boundary; one before it
        // stands once the character after it is in the window too.
        const int next = from + finder.toNextBoundary();
        if (to == text.size() || next + 2 <= to)
            return next;
    }
}

void GraphemeBreaks::findBoundaries(const QString &segment, std::vector<char> *stops)
{
    const int size = segment.size();
    stops->assign(size_t(size) + 1, 1);
    bool plain = true;
    for (int i = 0; i < size && plain; ++i)
        plain = standsAlone(segment.at(i));
    if (plain)
        return;
    stops->assign(size_t(size) + 1, 0);
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, segment);
    for (int pos = 0; pos >= 0; pos = finder.toNextBoundary())
        (*stops)[size_t(pos)] = 1;
    (*stops)[size_t(size)] = 1;
}
