#include "TextRange.h"

#include <algorithm>

QVector<TextRange> TextRange::normalized(QVector<TextRange> ranges, int length)
{
    for (TextRange &r : ranges) {
        r.start = std::clamp(r.start, 0, std::max(0, length));
        r.end = std::clamp(r.end, r.start, std::max(0, length));
    }
    std::sort(ranges.begin(), ranges.end(), [](const TextRange &a, const TextRange &b) { return a.start < b.start; });
    QVector<TextRange> out;
    for (const TextRange &r : qAsConst(ranges)) {
        if (r.end <= r.start)
            continue;
        if (!out.isEmpty() && r.start <= out.last().end)
            out.last().end = std::max(out.last().end, r.end);
        else
            out.append(r);
    }
    return out;
}
