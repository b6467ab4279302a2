#pragma once

#include <QFont>
#include <QFontMetrics>
#include <QFontMetricsF>
#include <QHash>
#include <QString>

#include <string>
#include <unordered_map>
#include <vector>

class GraphemeBreaks;

/// How many characters of a segment stand on one line of the page, by the
/// character-by-character rule taken to grapheme clusters: the line holds
/// the largest number of whole clusters whose advance (the
/// QFontMetrics::horizontalAdvance of that prefix of the segment) is at most
/// the width. The search starts from the previous line's count, moved back
/// to the start of the cluster it falls in, and moves one cluster at a time:
/// up while the next longer prefix fits, down while the current one is
/// wider; a prefix exactly as wide as the page ends it at once. A cluster
/// wider than the page leaves the line empty, as a character would. The line
/// then ends after its first line feed. Answers from exact sums where the
/// text allows it, so that a page turn need not shape every prefix, and from
/// measurements elsewhere.
class LineBreaker
{
public:
    explicit LineBreaker(GraphemeBreaks *graphemes);

    /// Forgets what was measured when the font (or its spacing) changed.
    void setFont(const QFont &font);
    /// The count for one line of `segment`, line feed rule included;
    /// `segment` starts and ends at cluster boundaries, `previous` is the
    /// count of the line before (0 for a page's first line).
    int lineLength(const QString &segment, int width, int previous);

private:
    enum Kind : quint8 { Unknown, Ideograph, Simple, Tab, Complex };
    Kind kindOf(QChar c);
    Kind kindAt(const QString &segment, int i);
    bool mayShrink() const;
    int advanceOf(QChar c, bool afterIdeograph);
    int exactLineLength(const QString &segment, int width, int previous, bool *answered);
    bool sumTo(const QString &segment, int end);
    bool sumRun(const QString &segment);
    const std::vector<int> &runAdvances(const QChar *run, int size, bool afterIdeograph);
    int measuredLineLength(const QString &segment, int width, int previous);
    int measured(const QString &segment, int k);
    int estimatedStop(const QString &segment, int width);

    GraphemeBreaks *graphemes;
    QFont font;
    QFontMetrics metrics;
    QFontMetricsF metricsF;
    std::vector<Kind> kinds; // of every BMP unit, font-independent
    QHash<uint, Kind> supplementaryKinds;
    // Advances in Qt's 26.6 fixed point, measured as they are first needed:
    // of single units, of single units after an ideograph, and of each
    // prefix of runs between ideographs (the key starts with the stand-in
    // ideograph when the run follows one).
    std::vector<int> advances;
    std::vector<int> advancesAfterIdeograph;
    std::unordered_map<std::u16string, std::vector<int>> runs;
    int standInAdvance = 0;
    std::vector<qint64> sums;  // exact advance of each prefix summed so far, 1/64 px
    std::vector<char> stops;   // cluster boundaries of a measured segment
    std::vector<int> measures; // measured prefixes of that segment, in px
};
