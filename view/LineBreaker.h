#pragma once

#include <QFont>
#include <QFontMetrics>
#include <QFontMetricsF>
#include <QString>

#include <string>
#include <unordered_map>
#include <vector>

class GraphemeBreaks;

/// How many characters of a segment stand on one line of the page: the
/// largest number of whole grapheme clusters whose advance
/// (QFontMetrics::horizontalAdvance of that prefix) fits the width, searched
/// one cluster at a time from the previous line's count. Answers from exact
/// sums where the text allows it, so that a page turn does not shape every
/// prefix, and from real measurements elsewhere.
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
    enum Kind : quint8 { Unknown, Ideograph, Simple, Complex };
    Kind kindOf(QChar c);
    int singleAdvance(QChar c);
    int exactLineLength(const QString &segment, int width, int previous, bool *answered);
    bool sumTo(const QString &segment, int end);
    bool addPiece(const QString &segment);
    const std::vector<int> &pieceAdvances(const QChar *piece, int size);
    int measuredLineLength(const QString &segment, int width, int previous);
    int measured(const QString &segment, int k);
    int estimatedStop(const QString &segment, int width);

    GraphemeBreaks *graphemes;
    QFont font;
    QFontMetrics metrics;
    QFontMetricsF metricsF;
    std::vector<Kind> kinds;                                     // of every BMP unit, font-independent
    std::vector<int> advances;                                   // single units in 1/64 px; kNotMeasured until asked
    std::unordered_map<std::u16string, std::vector<int>> pieces; // prefix advances, 1/64 px
    std::vector<qint64> sums;                                    // exact advance of each prefix summed so far, 1/64 px
    std::vector<char> stops;                                     // cluster boundaries of a measured segment
    std::vector<int> measures;                                   // measured prefixes of that segment, in px
};
