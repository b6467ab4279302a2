#pragma once

#include <QVector>

/// A stretch [start, end) of a text, such as a heading line (without its
/// line end).
struct TextRange
{
    int start = 0;
    int end = 0;

    bool operator==(const TextRange &o) const { return start == o.start && end == o.end; }

    /// The ranges clamped to 0..length, sorted, with empty ones dropped and
    /// overlapping or touching ones merged: what callers hand in is never
    /// trusted to be in order.
    static QVector<TextRange> normalized(QVector<TextRange> ranges, int length);
};
