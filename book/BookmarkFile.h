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
    /// How a save ended. `cannotCreate` tells a folder (or file) we may not
    /// write from a write that failed on the way (a full disk).
    struct SaveResult
    {
        bool ok = false;
        bool cannotCreate = false;
        QString error;
    };

    /// What a file looked like when the reader last read or wrote it: any
    /// replacement by another program changes it (a rename gives a new inode).
    struct Stamp
    {
        bool exists = false;
        qint64 size = 0;
        qint64 modified = 0; // ms since the epoch
        quint64 inode = 0;
        bool operator==(const Stamp &o) const
        {
            return exists == o.exists && size == o.size && modified == o.modified && inode == o.inode;
        }
        bool operator!=(const Stamp &o) const { return !(*this == o); }
    };
    static Stamp stampOf(const QString &path);

    /// What lies at a bookmark path.
    enum Content { Missing, Unreadable, Whole, Damaged, Foreign };

    /// The file beside a book: ".txt" in the file name (any case) becomes
    /// ".bmk", and ".bmk" is appended when the name does not end in it. Never
    /// the book's own path (a book named "x.bmk" keeps its bookmarks in "x.bmk.bmk").
    static QString pathFor(const QString &bookPath);
    /// Where the bookmarks of a book in a folder we cannot write are kept:
    /// the per-user data folder, under a name made from the book's absolute path.
    static QString fallbackPathFor(const QString &bookPath);

    /// Reads the records. False for a damaged file; `bookmarks` then holds
    /// every whole record before the damage, and those that follow the
    /// declared ones (a count zeroed by a bad sector leaves its records). An
    /// empty device is an empty list, not damage.
    static bool read(QIODevice &device, QList<Bookmark> *bookmarks);
    /// Reads the file at `path` and says what it is. A file with no whole
    /// record whose first bytes are no bookmark file's either (a count no
    /// file has, a first title no record has) is Foreign: some other file
    /// that happens to have the name, which the reader must never replace.
    static Content read(const QString &path, QList<Bookmark> *bookmarks);
    static void write(QIODevice &device, const QList<Bookmark> &bookmarks);
    static QByteArray serialize(const QList<Bookmark> &bookmarks);

    /// Replaces the file at `path` in one step: a crash, a full disk or any
    /// failed write leaves the previous file whole. Temporary files that a
    /// killed save left behind are removed first.
    static SaveResult saveBytes(const QString &path, const QByteArray &bytes);
    static bool save(const QString &path, const QList<Bookmark> &bookmarks);

    /// A name for a copy of the damaged file at `path` that no earlier copy
    /// has: "x.bmk.bak", then "x.bmk.2.bak" and on; empty when all are taken.
    static QString freeBackupPath(const QString &path);
};
