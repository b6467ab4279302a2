#pragma once

#include <QVector>

/// A monotone correspondence between the positions 0..sourceLength() of a
/// text and 0..shownLength() of a text derived from it (rules, script
/// conversion, tidying), both ways, in log time.
///
/// Meaning: the derived text is the source cut into stretches that were
/// kept (mapped 1:1) or replaced by shown text of any length. A position
/// inside a replaced stretch maps to the start of its counterpart; an empty
/// stretch (a removal on the shown side, an insertion on the source side)
/// maps its single position to the start of its counterpart. When two
/// stretches could claim a position, the earlier one wins. That makes
/// toSource(toShown(p)) <= p and toShown(toSource(q)) <= q, both monotone,
/// and exact inside kept stretches.
///
/// Stored as two piecewise functions (one per direction) of "constant" and
/// "slope 1" pieces; an unchanged stretch costs nothing, and the identity
/// map holds no pieces at all. Copies are implicitly shared.
class OffsetMap
{
public:
    OffsetMap() = default;
    static OffsetMap identity(int length);

    bool isIdentity() const { return m_forward.isEmpty() && m_backward.isEmpty(); }
    int sourceLength() const { return m_sourceLength; }
    int shownLength() const { return m_shownLength; }

    /// Positions outside 0..length are clamped first.
    int toShown(int source) const;
    int toSource(int shown) const;

    /// This maps A→B, `next` maps B→C; the result maps A→C and gives, at
    /// every position, exactly what the two lookups in turn give (both ways).
    /// When next.sourceLength() differs from shownLength(), positions handed
    /// to `next` are clamped to its range.
    OffsetMap then(const OffsetMap &next) const;

    /// The map of source stretch [from, to) onto shown stretch
    /// [toShown(from), toShown(to)), both counted from 0. Exact inside;
    /// a shown position whose source lies before `from` gives 0.
    OffsetMap slice(int from, int to) const;

    /// Number of stored pieces (both directions): memory is about 8 bytes each.
    int pieceCount() const { return m_forward.size() + m_backward.size(); }

private:
    friend class OffsetMapBuilder;

    /// From `at` up to the next piece's `at` (the last one up to and
    /// including the length), the function is `value + (x - at)` or, for a
    /// constant piece, `~value`. The sign bit holds the kind so that a piece
    /// takes 8 bytes: maps of converted books can have millions.
    struct Piece
    {
        int at;
        int value;
        bool isConstant() const { return value < 0; }
        int valueAt(int x) const { return value < 0 ? ~value : value + (x - at); }
    };
    using Pieces = QVector<Piece>;

    static int lookUp(const Pieces &pieces, int length, int position);
    static Pieces compose(const Pieces &first, int firstLength, const Pieces &second, int secondLength);
    static Pieces restrict(const Pieces &pieces, int length, int from, int to, int valueFrom, int valueTo);
    static void appendPiece(Pieces *pieces, int at, int value, bool constant);
    static void canonicalize(Pieces *pieces, int length);
    void dropIdentityPieces();

    Pieces m_forward;  // over source positions, values are shown positions
    Pieces m_backward; // over shown positions, values are source positions
    int m_sourceLength = 0;
    int m_shownLength = 0;
};
