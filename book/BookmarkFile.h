#pragma once

#include "Bookmark.h"

#include <QIODevice>
#include <QList>
#include <QString>

/// The bookmark file: a count, then offset, title and summary per record,
/// in QDataStream's default (big-endian) form, nothing after the last record.
class BookmarkFile
{
public:
    /// The file beside a book: ".txt" in the file name (any case) becomes
    /// ".bmk", and ".bmk" is appended when the name does not end in it.
    static QString pathFor(const QString &bookPath);

    /// Reads every record; false, with `bookmarks` empty, for a damaged or
    /// short file. An empty device is an empty list, not damage.
    static bool read(QIODevice &device, QList<Bookmark> *bookmarks);
    static void write(QIODevice &device, const QList<Bookmark> &bookmarks);

    /// Replaces the file at `path` in one step: a crash or a full disk during
    /// the write leaves the previous file whole.
    static bool save(const QString &path, const QList<Bookmark> &bookmarks);
};
