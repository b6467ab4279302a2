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

int GraphemeBreaks::clusterStart(const QString &text, int pos)
{
    pos = qBound(0, pos, text.size());
    if (certainBoundary(text, pos))
        return pos;
    // Between two certain boundaries the finder sees the whole cluster and
    // its context, and nothing beyond them can change the answer.
    int from = pos;
    while (!certainBoundary(text, from))
        --from;
    int to = pos;
    while (!certainBoundary(text, to))
        ++to;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text.constData() + from, to - from);
    finder.setPosition(pos - from);
    return finder.isAtBoundary() ? pos : from + finder.toPreviousBoundary();
}

int GraphemeBreaks::clusterEnd(const QString &text, int pos)
{
    const int start = clusterStart(text, pos);
    if (start == qBound(0, pos, text.size()))
        return start;
    int to = pos;
    while (!certainBoundary(text, to))
        ++to;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text.constData() + start, to - start);
    finder.setPosition(0);
    return start + finder.toNextBoundary();
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
