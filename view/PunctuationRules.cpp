#include "PunctuationRules.h"

#include "GraphemeBreaks.h"

#include <string_view>

namespace {

// Never at the start of a line: the pause and stop marks (，。、；：？！ and
// the full-width ．), the second halves of quotes, brackets and title marks,
// the separating dot of foreign names and the full-width tilde that joins a
// range (both barred from a line's start in Chinese usage), the half-width
// forms, and the ASCII marks that close a clause or a bracket. The ASCII
// quotes open as well as close, so they stay free.
constexpr std::u16string_view kClosing = u"，。、；：？！．）」』》〉】〕〗〙〛”’］｝｠｡､｣·・～,.;:?!)]}";
// Never at the end of a line: the first halves of the same pairs.
constexpr std::u16string_view kOpening = u"（「『《〈【〔〖〘〚“‘［｛｟｢([{";
// Written in pairs that stay on one line: ellipsis, midline ellipsis, em
// dash and horizontal bar (the dash of Big5 text).
constexpr std::u16string_view kPaired = u"…⋯—―";

// Three steps keep a run of up to three closing marks with the character
// before it. Where more would be needed the mark at the edge hangs instead,
// and only that one: in a run of five or more, a mark may still open a line.
const int kStepsBack = 3;
// Far enough back to pair any dash or ellipsis a writer types; a longer run
// is paired from this far back, so a line costs no more than that.
const int kLongestPairedRun = 256;

bool isIn(std::u16string_view set, QChar c)
{
    return set.find(char16_t(c.unicode())) != std::u16string_view::npos;
}

} // namespace

PunctuationRules::PunctuationRules(GraphemeBreaks *graphemes) : graphemes(graphemes) {}

bool PunctuationRules::mayBreakAt(const QString &text, int pos) const
{
    if (pos <= 0 || pos >= text.size() || text.at(pos - 1) == QLatin1Char('\n'))
        return true;
    return !isIn(kOpening, text.at(pos - 1)) && !mustNotStartLine(text, pos);
}

int PunctuationRules::lineLength(const QString &text, int start, int count) const
{
    const int stop = start + count;
    if (count <= 0 || mayBreakAt(text, stop))
        return count;
    int at = stop;
    for (int step = 0; step < kStepsBack; ++step) {
        at = graphemes->clusterStart(text, at - 1, start);
        if (at <= start)
            break; // the line would be empty
        if (mayBreakAt(text, at))
            return at - start;
    }
    // An opening mark that cannot move down stays where it is: taking the
    // next character too would hang a whole ideograph past the edge.
    if (mustNotStartLine(text, stop))
        return graphemes->clusterEnd(text, stop + 1, stop) - start;
    return count;
}

// The marks are single units that stand alone, so the unit at `pos` is the
// first of the cluster there.
bool PunctuationRules::mustNotStartLine(const QString &text, int pos) const
{
    return isIn(kClosing, text.at(pos)) || splitsPair(text, pos);
}

// Inside a run of the same paired mark, a break is allowed only between
// pairs, counted from the run's start.
bool PunctuationRules::splitsPair(const QString &text, int pos)
{
    const QChar mark = text.at(pos);
    if (text.at(pos - 1) != mark || !isIn(kPaired, mark))
        return false;
    int before = 1;
    while (before < kLongestPairedRun && pos - before - 1 >= 0 && text.at(pos - before - 1) == mark)
        ++before;
    return before % 2 == 1;
}
