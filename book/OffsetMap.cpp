#include "OffsetMap.h"

#include <algorithm>

OffsetMap OffsetMap::identity(int length)
{
    OffsetMap map;
    map.m_sourceLength = std::max(0, length);
    map.m_shownLength = map.m_sourceLength;
    return map;
}

int OffsetMap::toShown(int source) const
{
    return lookUp(m_forward, m_sourceLength, source);
}

int OffsetMap::toSource(int shown) const
{
    return lookUp(m_backward, m_shownLength, shown);
}

int OffsetMap::lookUp(const Pieces &pieces, int length, int position)
{
    position = std::clamp(position, 0, length);
    if (pieces.isEmpty())
        return position;
    auto it = std::upper_bound(pieces.cbegin(), pieces.cend(), position,
                               [](int p, const Piece &piece) { return p < piece.at; });
    return (it - 1)->valueAt(position);
}

void OffsetMap::appendPiece(Pieces *pieces, int at, int value, bool constant)
{
    if (!pieces->isEmpty()) {
        Piece &last = pieces->last();
        if (at <= last.at) {
            last.value = constant ? ~value : value;
            return;
        }
        if (constant ? (last.isConstant() && ~last.value == value)
                     : (!last.isConstant() && last.value + (at - last.at) == value))
            return;
    }
    pieces->append(Piece{at, constant ? ~value : value});
}

void OffsetMap::canonicalize(Pieces *pieces, int length)
{
    // A constant piece one position wide is also a slope piece; writing it
    // as one lets it merge with its neighbours, so that equal functions get
    // equal pieces and the identity is recognised.
    Pieces out;
    out.reserve(pieces->size());
    for (int i = 0; i < pieces->size(); ++i) {
        const Piece &p = pieces->at(i);
        const int end = i + 1 < pieces->size() ? pieces->at(i + 1).at : length + 1;
        appendPiece(&out, p.at, p.valueAt(p.at), p.isConstant() && end - p.at > 1);
    }
    *pieces = out;
}

void OffsetMap::dropIdentityPieces()
{
    auto isPlain = [](const Pieces &p) { return p.size() == 1 && p[0].at == 0 && p[0].value == 0; };
    if (m_sourceLength == m_shownLength && isPlain(m_forward) && isPlain(m_backward)) {
        m_forward.clear();
        m_backward.clear();
    }
}

OffsetMap::Pieces OffsetMap::compose(const Pieces &firstPieces, int firstLength, const Pieces &secondPieces,
                                     int secondLength)
{
    const Pieces identityPieces{Piece{0, 0}};
    const Pieces &f = firstPieces.isEmpty() ? identityPieces : firstPieces;
    const Pieces &g = secondPieces.isEmpty() ? identityPieces : secondPieces;
    Pieces out;
    out.reserve(f.size() + g.size());
    for (int i = 0; i < f.size(); ++i) {
        const Piece &p = f[i];
        if (p.isConstant()) {
            appendPiece(&out, p.at, lookUp(g, secondLength, ~p.value), true);
            continue;
        }
        const int end = i + 1 < f.size() ? f[i + 1].at : firstLength + 1;
        const int valueEnd = p.value + (end - p.at);
        // Walk the pieces of g that the values of this slope piece cross.
        int u = p.value;
        auto it = std::upper_bound(g.cbegin(), g.cend(), u, [](int v, const Piece &q) { return v < q.at; }) - 1;
        while (u < valueEnd) {
            const int x = p.at + (u - p.value);
            if (u > secondLength) {
                appendPiece(&out, x, lookUp(g, secondLength, u), true);
                break;
            }
            appendPiece(&out, x, it->valueAt(u), it->isConstant());
            ++it;
            if (it == g.cend())
                u = std::max(u + 1, secondLength + 1);
            else
                u = it->at;
        }
    }
    canonicalize(&out, firstLength);
    return out;
}

OffsetMap OffsetMap::then(const OffsetMap &next) const
{
    if (next.isIdentity() && next.m_sourceLength == m_shownLength)
        return *this;
    if (isIdentity() && next.m_sourceLength == m_sourceLength)
        return next;
    OffsetMap result;
    result.m_sourceLength = m_sourceLength;
    result.m_shownLength = next.m_shownLength;
    result.m_forward = compose(m_forward, m_sourceLength, next.m_forward, next.m_sourceLength);
    result.m_backward = compose(next.m_backward, next.m_shownLength, m_backward, m_shownLength);
    result.dropIdentityPieces();
    return result;
}

OffsetMap::Pieces OffsetMap::restrict(const Pieces &pieces, int length, int from, int to, int valueFrom, int valueTo)
{
    const Pieces identityPieces{Piece{0, 0}};
    const Pieces &p = pieces.isEmpty() ? identityPieces : pieces;
    Pieces out;
    auto it = std::upper_bound(p.cbegin(), p.cend(), from, [](int v, const Piece &q) { return v < q.at; }) - 1;
    for (; it != p.cend() && it->at <= to; ++it) {
        int a = std::max(it->at, from);
        const int b = std::min(it + 1 != p.cend() ? (it + 1)->at : length + 1, to + 1);
        int va = it->valueAt(a);
        if (it->isConstant()) {
            appendPiece(&out, a - from, std::clamp(va, valueFrom, valueTo) - valueFrom, true);
            continue;
        }
        if (va < valueFrom) {
            appendPiece(&out, a - from, 0, true);
            a += valueFrom - va;
            va = valueFrom;
            if (a >= b)
                continue;
        }
        if (va > valueTo) {
            appendPiece(&out, a - from, valueTo - valueFrom, true);
            continue;
        }
        appendPiece(&out, a - from, va - valueFrom, false);
        const int over = a + (valueTo - va) + 1;
        if (over < b)
            appendPiece(&out, over - from, valueTo - valueFrom, true);
    }
    canonicalize(&out, to - from);
    return out;
}

OffsetMap OffsetMap::slice(int from, int to) const
{
    from = std::clamp(from, 0, m_sourceLength);
    to = std::clamp(to, from, m_sourceLength);
    if (isIdentity())
        return identity(to - from);
    const int shownFrom = toShown(from);
    const int shownTo = toShown(to);
    OffsetMap result;
    result.m_sourceLength = to - from;
    result.m_shownLength = shownTo - shownFrom;
    result.m_forward = restrict(m_forward, m_sourceLength, from, to, shownFrom, shownTo);
    result.m_backward = restrict(m_backward, m_shownLength, shownFrom, shownTo, from, to);
    result.dropIdentityPieces();
    return result;
}
