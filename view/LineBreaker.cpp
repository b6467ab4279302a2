#include "LineBreaker.h"

#include "GraphemeBreaks.h"

#include <climits>

namespace {

const int kNotMeasured = INT_MIN;
// Longer runs between ideographs (a Latin sentence) are measured with the
// whole line instead: remembering every prefix of them would cost more.
const int kLongestRun = 16;
const size_t kMostRuns = 1 << 16;
const QChar kStandIn(0x4E00); // 一
// QTextOption's tab distance, which QFontMetrics uses.
const qint64 kTabStop = 80 * 64;

int fixed(qreal advance)
{
    return qRound(advance * 64); // QFontMetricsF gives Qt's 26.6 values exactly
}

int pixels(qint64 fixed)
{
    // QFontMetrics rounds its 26.6 total half up.
    const qint64 half = fixed + 32;
    return int(half >= 0 ? half / 64 : -((63 - half) / 64));
}

// Characters whose advance depends on more than the characters before them
// on the line: a tab moves to the next tab stop, controls and format
// characters are set apart by Qt's layout, right-to-left text is reordered
// with its neighbours.
bool needsWholeLine(uint c)
{
    if (c == '\n')
        return false;
    if (c == '\t' || c == QChar::ObjectReplacementCharacter)
        return true;
    switch (QChar::category(c)) {
    case QChar::Other_Control:
    case QChar::Other_Format:
    case QChar::Other_NotAssigned:
    case QChar::Other_Surrogate:
    case QChar::Separator_Line:
    case QChar::Separator_Paragraph:
        return true;
    default:
        break;
    }
    switch (QChar::direction(c)) {
    case QChar::DirR:
    case QChar::DirAL:
    case QChar::DirAN:
    case QChar::DirLRE:
    case QChar::DirLRO:
    case QChar::DirRLE:
    case QChar::DirRLO:
    case QChar::DirPDF:
    case QChar::DirLRI:
    case QChar::DirRLI:
    case QChar::DirFSI:
    case QChar::DirPDI:
        return true;
    default:
        return false;
    }
}

bool isPairAt(const QString &text, int i)
{
    return i >= 0 && i + 1 < text.size() && text.at(i).isHighSurrogate() && text.at(i + 1).isLowSurrogate();
}

bool isIdeograph(QChar c)
{
    const char16_t u = c.unicode();
    return ((u >= 0x4E00 && u <= 0x9FFF) || (u >= 0x3400 && u <= 0x4DBF) || (u >= 0xF900 && u <= 0xFAFF)) &&
           c.script() == QChar::Script_Han;
}

// The search for one line's count: from `start`, one cluster at a time, up
// while the next longer prefix still fits, down while the current one is
// wider than `width`; a prefix exactly `width` wide ends it at once. Where
// prefixes do not grow with their length (negative letter spacing), the
// start decides the result, so nothing may be skipped.
template <typename Advance, typename Step, typename BackStep>
int searchFrom(int start, int end, int width, Advance advance, Step next, BackStep previous)
{
    int k = start;
    const int first = advance(k);
    if (first < width) {
        while (k < end) {
            const int longer = next(k);
            const int wide = advance(longer);
            if (wide > width)
                break;
            k = longer;
            if (wide == width)
                break;
        }
    } else if (first > width) {
        while (k > 0 && advance(k) > width)
            k = previous(k);
    }
    return k;
}

} // namespace

LineBreaker::LineBreaker(GraphemeBreaks *graphemes)
    : graphemes(graphemes), metrics(font), metricsF(font), kinds(0x10000, Unknown)
{
}

void LineBreaker::setFont(const QFont &newFont)
{
    if (!advances.empty() && newFont == font && newFont.letterSpacing() == font.letterSpacing() &&
        newFont.letterSpacingType() == font.letterSpacingType())
        return;
    font = newFont;
    metrics = QFontMetrics(font);
    metricsF = QFontMetricsF(font);
    advances.assign(0x10000, kNotMeasured);
    advancesAfterIdeograph.assign(0x10000, kNotMeasured);
    runs.clear();
    standInAdvance = fixed(metricsF.horizontalAdvance(QString(kStandIn)));
}

int LineBreaker::lineLength(const QString &segment, int width, int previous)
{
    // Where a longer prefix is never narrower, the line keeps its line feed
    // exactly when the prefix up to it fits: what follows needs no measuring.
    const int feed = segment.indexOf(QLatin1Char('\n'));
    const QString line = feed >= 0 && !mayShrink() ? segment.left(feed + 1) : segment;
    bool answered = false;
    int count = exactLineLength(line, width, previous, &answered);
    if (!answered)
        count = measuredLineLength(line, width, previous);
    const int early = line.leftRef(count).indexOf(QLatin1Char('\n'));
    return early >= 0 ? early + 1 : count;
}

// Negative letter spacing makes narrow characters move back.
bool LineBreaker::mayShrink() const
{
    return font.letterSpacingType() == QFont::AbsoluteSpacing && font.letterSpacing() < 0;
}

LineBreaker::Kind LineBreaker::kindOf(QChar c)
{
    Kind &kind = kinds[c.unicode()];
    if (kind == Unknown) {
        if (c == QLatin1Char('\t'))
            kind = Tab;
        else if (!graphemes->standsAlone(c) || needsWholeLine(c.unicode()))
            kind = Complex;
        else
            kind = isIdeograph(c) ? Ideograph : Simple;
    }
    return kind;
}

// A surrogate pair that is a cluster of its own (an emoji, a rare
// ideograph) goes into runs like any other character.
LineBreaker::Kind LineBreaker::kindAt(const QString &segment, int i)
{
    if (!isPairAt(segment, i))
        return kindOf(segment.at(i));
    const uint codePoint = QChar::surrogateToUcs4(segment.at(i), segment.at(i + 1));
    auto found = supplementaryKinds.find(codePoint);
    if (found == supplementaryKinds.end()) {
        const bool simple = graphemes->standsAlone(codePoint) && !needsWholeLine(codePoint);
        found = supplementaryKinds.insert(codePoint, simple ? Simple : Complex);
    }
    return found.value();
}

// Qt shapes a line in runs of one script and font. Chinese fonts set an
// ideograph with neither kerning nor ligature on either side, and what
// follows an ideograph is shaped the same whichever ideograph it is. So the
// advance of a prefix adds up ideographs and the runs between them: a run
// is measured as a whole, after a stand-in ideograph (or alone at the start
// of the line, as in the real prefix), which keeps kerned pairs (a dash
// pair, quotes before Latin letters), punctuation that takes the script of
// a Latin neighbour, and ligatures as Qt sets them. Runs with tabs or the
// like leave the line to measurement.
int LineBreaker::exactLineLength(const QString &segment, int width, int previous, bool *answered)
{
    sums.assign(1, 0);
    sums.reserve(size_t(segment.size()) + 1);
    bool covered = true;
    auto advance = [&](int k) {
        covered = covered && (k < int(sums.size()) || sumTo(segment, k));
        return covered ? pixels(sums[size_t(k)]) : INT_MAX;
    };
    // Steps go over surrogate pairs: the sums only reach pairs that are
    // clusters of their own.
    auto next = [&](int k) { return k + (isPairAt(segment, k) ? 2 : 1); };
    auto back = [&](int k) { return k - (isPairAt(segment, k - 2) ? 2 : 1); };
    int start = qMin(previous, segment.size());
    if (isPairAt(segment, start - 1))
        --start;
    const int count = searchFrom(start, segment.size(), width, advance, next, back);
    *answered = covered;
    return count;
}

bool LineBreaker::sumTo(const QString &segment, int end)
{
    while (int(sums.size()) <= end) {
        const int at = int(sums.size()) - 1;
        const QChar c = segment.at(at);
        const Kind kind = kindOf(c);
        if (kind == Ideograph) {
            sums.push_back(sums.back() + advanceOf(c, false));
        } else if (kind == Tab && (at == 0 || segment.at(at - 1) == QLatin1Char('\t'))) {
            // Tabs that open the line reach the next tab stop from a whole
            // one; elsewhere where they end depends on rounding inside Qt.
            sums.push_back(sums.back() + kTabStop);
        } else if (!sumRun(segment)) {
            return false;
        }
    }
    return true;
}

bool LineBreaker::sumRun(const QString &segment)
{
    const int start = int(sums.size()) - 1;
    int end = start;
    while (end < segment.size()) {
        const Kind kind = kindAt(segment, end);
        if (kind == Ideograph)
            break;
        if (kind != Simple || end - start >= kLongestRun)
            return false;
        end += isPairAt(segment, end) ? 2 : 1;
    }
    const qint64 base = sums.back();
    // A run follows an ideograph, or starts the line after its tabs.
    const bool afterIdeograph = start > 0 && kindOf(segment.at(start - 1)) == Ideograph;
    if (end - start == 1) {
        sums.push_back(base + advanceOf(segment.at(start), afterIdeograph));
        return true;
    }
    for (int advance : runAdvances(segment.constData() + start, end - start, afterIdeograph))
        sums.push_back(base + advance);
    return true;
}

int LineBreaker::advanceOf(QChar c, bool afterIdeograph)
{
    int &advance = (afterIdeograph ? advancesAfterIdeograph : advances)[c.unicode()];
    if (advance == kNotMeasured) {
        const QString measured = afterIdeograph ? QString(kStandIn) + c : QString(c);
        advance = fixed(metricsF.horizontalAdvance(measured)) - (afterIdeograph ? standInAdvance : 0);
    }
    return advance;
}

const std::vector<int> &LineBreaker::runAdvances(const QChar *run, int size, bool afterIdeograph)
{
    std::u16string key;
    key.reserve(size_t(size) + 1);
    if (afterIdeograph)
        key += char16_t(kStandIn.unicode());
    key.append(reinterpret_cast<const char16_t *>(run), size_t(size));
    const auto found = runs.find(key);
    if (found != runs.end())
        return found->second;
    if (runs.size() >= kMostRuns)
        runs.clear();
    const QString measured = QString::fromUtf16(key.data(), int(key.size()));
    const int skipped = afterIdeograph ? 1 : 0;
    const int offset = afterIdeograph ? standInAdvance : 0;
    std::vector<int> prefixes;
    prefixes.reserve(size_t(size));
    for (int k = 1; k <= size; ++k)
        prefixes.push_back(fixed(metricsF.horizontalAdvance(measured.left(skipped + k))) - offset);
    return runs.emplace(std::move(key), std::move(prefixes)).first->second;
}

int LineBreaker::measuredLineLength(const QString &segment, int width, int previous)
{
    const int size = segment.size();
    graphemes->findBoundaries(segment, &stops);
    measures.assign(size_t(size) + 1, kNotMeasured);
    auto advance = [&](int k) { return measured(segment, k); };
    auto next = [&](int k) {
        do
            ++k;
        while (!stops[size_t(k)]);
        return k;
    };
    auto back = [&](int k) {
        do
            --k;
        while (!stops[size_t(k)]);
        return k;
    };
    int start = qMin(previous, size);
    while (!stops[size_t(start)])
        --start;
    if (mayShrink())
        return searchFrom(start, size, width, advance, next, back);

    // Without negative spacing a longer prefix is never narrower, so the
    // search ends at the largest prefix that fits, unless that one is exactly
    // as wide as the page: then it ends on the run of prefixes of that width
    // (zero-width characters at the edge) where it entered the run. Knowing
    // that, the search may start from the estimate, which is closer.
    int fit = estimatedStop(segment, width);
    if (advance(fit) <= width) {
        while (fit < size && advance(next(fit)) <= width)
            fit = next(fit);
    } else {
        while (fit > 0 && advance(fit) > width)
            fit = back(fit);
    }
    if (advance(fit) != width)
        return fit;
    int first = fit;
    while (first > 0 && advance(back(first)) == width)
        first = back(first);
    return qBound(first, start, fit);
}

int LineBreaker::measured(const QString &segment, int k)
{
    int &advance = measures[size_t(k)];
    if (advance == kNotMeasured)
        advance = k == 0 ? 0 : metrics.horizontalAdvance(segment.left(k));
    return advance;
}

// Where the line would end if every character kept its own advance, tabs
// going to the next tab stop: the start of the measured search.
int LineBreaker::estimatedStop(const QString &segment, int width)
{
    const qint64 edge = qint64(width) * 64 + 32;
    qint64 sum = 0;
    int fit = 0;
    for (int k = 0; k < segment.size(); ++k) {
        const QChar c = segment.at(k);
        sum = c == QLatin1Char('\t') ? (qMax<qint64>(sum, 0) / kTabStop + 1) * kTabStop : sum + advanceOf(c, false);
        if (sum >= edge)
            break;
        if (stops[size_t(k) + 1])
            fit = k + 1;
    }
    return fit;
}
