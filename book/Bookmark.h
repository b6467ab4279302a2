#pragma once

#include <QDataStream>
#include <QDebug>
#include <QMetaType>
#include <QString>

/// A place in a book. Entry 0 of a book's list is the automatic bookmark.
struct Bookmark
{
    int offset = 0;
    QString title;
    QString summary;
};

Q_DECLARE_METATYPE(Bookmark)

/// The bookmark file's record: offset, title, summary, big-endian.
QDataStream &operator<<(QDataStream &out, const Bookmark &bookmark);
QDataStream &operator>>(QDataStream &in, Bookmark &bookmark);
QDebug operator<<(QDebug debug, const Bookmark &bookmark);
