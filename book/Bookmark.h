#pragma once

#include <QDataStream>
#include <QDebug>
#include <QHash>
#include <QMetaType>
#include <QString>

/// A place in a book. Entry 0 of a book's list is the automatic bookmark.
struct Bookmark
{
    int offset = 0;
    QString title;
    QString summary;
};

inline bool operator==(const Bookmark &a, const Bookmark &b)
{
    return a.offset == b.offset && a.title == b.title && a.summary == b.summary;
}
inline bool operator!=(const Bookmark &a, const Bookmark &b)
{
    return !(a == b);
}
inline uint qHash(const Bookmark &bookmark, uint seed = 0)
{
    return qHash(bookmark.offset, seed) ^ qHash(bookmark.title, seed) ^ qHash(bookmark.summary, seed);
}

Q_DECLARE_METATYPE(Bookmark)

/// The bookmark file's record: offset, title, summary, big-endian.
QDataStream &operator<<(QDataStream &out, const Bookmark &bookmark);
QDataStream &operator>>(QDataStream &in, Bookmark &bookmark);
QDebug operator<<(QDebug debug, const Bookmark &bookmark);
