#pragma once

#include "OffsetMap.h"

/// Builds an OffsetMap from left to right, the way a transform copies its
/// input: keep(n) copies n units, replace(s, d) puts d shown units in place
/// of s source units (replace(s, 0) removes, replace(0, d) inserts).
///
/// replace() calls in a row make stretches of their own, so that their
/// common boundary maps exactly; where an empty stretch and the next one
/// would both claim a position, the earlier one has it.
class OffsetMapBuilder
{
public:
    void keep(int length);
    void replace(int sourceLength, int shownLength);
    /// Continues with a whole map, as if its text followed: its positions
    /// are shifted by what was built so far; at the junction the earlier
    /// stretch wins.
    void append(const OffsetMap &map);
    /// The map; the builder starts over empty.
    OffsetMap finish();

    int sourcePosition() const { return m_source; }
    int shownPosition() const { return m_shown; }

private:
    struct Side
    {
        OffsetMap::Pieces pieces;
        int claimedUpTo = 0; // positions below are already mapped
    };
    static void addSlope(Side *side, int at, int value, int length);
    static void addConstant(Side *side, int at, int value, int length);

    Side m_forward;
    Side m_backward;
    int m_source = 0;
    int m_shown = 0;
};
