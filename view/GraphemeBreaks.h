#pragma once

#include <QChar>
#include <QHash>
#include <QString>

#include <vector>

/// Where grapheme clusters begin (QTextBoundaryFinder::Grapheme), so that no
/// line, page or stored position falls inside an emoji, a surrogate pair or a
/// letter with its combining marks. Most text is made of characters that form
/// a cluster on their own; the boundary finder is asked only around others.
class GraphemeBreaks
{
public:
    /// True for a UTF-16 unit that is a cluster of its own whatever its
    /// neighbours are. Surrogates never are.
    bool standsAlone(QChar c);
    /// The same for a whole character, which may take two units.
    bool standsAlone(uint codePoint);
    /// The start of the cluster that holds `pos` (pos itself at a boundary),
    /// clamped to 0..text.size(). `known` is a boundary at or before `pos`
    /// where the search may begin, for long runs of joining characters.
    int clusterStart(const QString &text, int pos, int known = 0);
    /// The first boundary at or after `pos`, clamped to 0..text.size().
    int clusterEnd(const QString &text, int pos, int known = 0);
    /// Marks the boundaries of `segment`, which must start and end at
    /// boundaries of the text it was cut from: (*stops)[k] for k = 0..size.
    void findBoundaries(const QString &segment, std::vector<char> *stops);

private:
    bool certainBoundary(const QString &text, int pos);
    int windowStart(const QString &text, int pos, int known);

    enum : quint8 { Unknown, Alone, MayJoin };
    std::vector<quint8> kinds; // of every BMP unit, filled as they are met
    QHash<uint, bool> supplementary;
};
