#include "OffsetMapBuilder.h"

#include <algorithm>

void OffsetMapBuilder::addSlope(Side *side, int at, int value, int length)
{
    const int skip = side->claimedUpTo - at;
    if (skip > 0) {
        at += skip;
        value += skip;
        length -= skip;
    }
    if (length <= 0)
        return;
    OffsetMap::appendPiece(&side->pieces, at, value, false);
    side->claimedUpTo = at + length;
}

// length 0 claims the single position `at` (an empty stretch).
void OffsetMapBuilder::addConstant(Side *side, int at, int value, int length)
{
    const int end = at + std::max(length, 1);
    at = std::max(at, side->claimedUpTo);
    if (at >= end)
        return;
    OffsetMap::appendPiece(&side->pieces, at, value, true);
    side->claimedUpTo = end;
}

void OffsetMapBuilder::keep(int length)
{
    if (length <= 0)
        return;
    addSlope(&m_forward, m_source, m_shown, length);
    addSlope(&m_backward, m_shown, m_source, length);
    m_source += length;
    m_shown += length;
}

void OffsetMapBuilder::replace(int sourceLength, int shownLength)
{
    sourceLength = std::max(0, sourceLength);
    shownLength = std::max(0, shownLength);
    if (sourceLength == 0 && shownLength == 0)
        return;
    addConstant(&m_forward, m_source, m_shown, sourceLength);
    addConstant(&m_backward, m_shown, m_source, shownLength);
    m_source += sourceLength;
    m_shown += shownLength;
}

void OffsetMapBuilder::append(const OffsetMap &map)
{
    const int sourceLength = map.sourceLength();
    const int shownLength = map.shownLength();
    // The final position is left to what follows unless the map gives it
    // another value than the end of its other side (an empty stretch at
    // the end claims it).
    auto appendSide = [](Side *side, const OffsetMap::Pieces &pieces, int length, int otherLength, int shift,
                         int valueShift) {
        if (pieces.isEmpty()) {
            addSlope(side, shift, valueShift, length);
            return;
        }
        for (int i = 0; i < pieces.size(); ++i) {
            const OffsetMap::Piece &p = pieces[i];
            const int end = i + 1 < pieces.size() ? pieces[i + 1].at : length;
            if (end <= p.at)
                continue;
            if (p.isConstant())
                addConstant(side, shift + p.at, valueShift + ~p.value, end - p.at);
            else
                addSlope(side, shift + p.at, valueShift + p.value, end - p.at);
        }
        const int endValue = OffsetMap::lookUp(pieces, length, length);
        if (endValue != otherLength)
            addConstant(side, shift + length, valueShift + endValue, 0);
    };
    appendSide(&m_forward, map.m_forward, sourceLength, shownLength, m_source, m_shown);
    appendSide(&m_backward, map.m_backward, shownLength, sourceLength, m_shown, m_source);
    m_source += sourceLength;
    m_shown += shownLength;
}

OffsetMap OffsetMapBuilder::finish()
{
    // The end positions map to each other unless a stretch claimed them.
    addSlope(&m_forward, m_source, m_shown, 1);
    addSlope(&m_backward, m_shown, m_source, 1);
    OffsetMap map;
    map.m_sourceLength = m_source;
    map.m_shownLength = m_shown;
    map.m_forward = std::move(m_forward.pieces);
    map.m_backward = std::move(m_backward.pieces);
    OffsetMap::canonicalize(&map.m_forward, map.m_sourceLength);
    OffsetMap::canonicalize(&map.m_backward, map.m_shownLength);
    map.dropIdentityPieces();
    *this = OffsetMapBuilder();
    return map;
}
