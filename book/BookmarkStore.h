#pragma once

#include "Bookmark.h"
#include "BookmarkFile.h"
#include "BookmarkWriter.h"

#include <QList>
#include <QObject>
#include <QString>

/// The bookmarks of the open book and their file: where they are kept (beside
/// the book, or in the per-user data folder when that folder cannot be
/// written or a file that is no bookmark file holds the name), reading them,
/// and saving them in the background. Entry 0 is the reading place.
///
/// Nothing the reader did not write is ever replaced: a damaged file is
/// copied first (never over an earlier copy), a foreign one is left alone,
/// and changes another reader made to the file since it was read are merged
/// in before each save.
class BookmarkStore : public QObject
{
    Q_OBJECT

public:
    BookmarkStore();
    ~BookmarkStore() override;

    /// Reads the bookmarks of the book at `bookPath`. False when the book has
    /// no bookmark file yet.
    bool load(const QString &bookPath);
    /// Forgets the book, after its last save is written.
    void clear();

    const QList<Bookmark> &bookmarks() const { return list; }
    /// Entry 0's offset, or 0 without one.
    int lastReadOffset() const { return list.isEmpty() ? 0 : list.first().offset; }
    /// Stores the reading place (entry 0) in the background; false when it
    /// cannot be saved at all.
    bool setPlace(const Bookmark &place);
    /// Adds a bookmark (kept in any case) and waits for the save; false when
    /// it could not be saved (lastSaveError() says why).
    bool add(const Bookmark &bookmark);
    /// False for an index past the end; otherwise removes it (a negative one
    /// removes nothing), saves and waits.
    bool remove(int index);
    /// Replaces every bookmark after the reading place with `bookmarks` (a
    /// merge with another machine's), saves and waits; changed() when the
    /// list differs. False without a reading place or when the save failed.
    bool replaceBookmarks(const QList<Bookmark> &bookmarks);
    /// Waits until every queued save is written.
    void flush();
    /// Where the bookmarks are read from and written to.
    QString path() const { return path_; }
    QString lastSaveError() const { return lastSaveError_; }

    /// Where the reader will open the book at `bookPath`: its reading place.
    static int placeOf(const QString &bookPath);
    /// Three-way merge of a list with another reader's: what either side
    /// added since `base` is kept, what either side removed is gone. Of two
    /// changed reading places, ours when `oursNewer`.
    static QList<Bookmark> merge(const QList<Bookmark> &base, const QList<Bookmark> &ours,
                                 const QList<Bookmark> &theirs, bool oursNewer);

signals:
    /// The bookmark file was damaged: `kept` whole records survived, and the
    /// damaged file was copied to `backupPath` (empty: it could not be, and
    /// it is left as it is).
    void damaged(int kept, const QString &backupPath);
    /// The book's folder cannot be written: the bookmarks live at `path`.
    void relocated(const QString &path);
    /// The file at the bookmark path is not a bookmark file: it is left
    /// alone, and the bookmarks live at `path`.
    void foreignFileKept(const QString &foreignPath, const QString &path);
    /// A save failed; the file on disk is the previous one.
    void saveFailed(const QString &reason);
    /// The list changed by a merge with another reader's file.
    void changed();

private slots:
    void onWritten(const QString &path, const BookmarkFile::SaveResult &result);

private:
    struct Choice
    {
        QString path;
        bool foreignBeside = false;
        bool supersedes = false; // the per-user copy takes over from the file beside
    };
    static Choice choose(const QString &bookPath);
    bool save(bool wait);
    void absorbOtherWrites();
    bool settle();
    bool relocate();
    void backUpDamagedFile();
    static void recordSuperseded(const QString &bookPath);

    QString bookPath;
    QString path_;
    QList<Bookmark> list;
    QList<Bookmark> base; // as last read from or written to the file
    BookmarkFile::Stamp known;
    quint64 submitted = 0;
    qint64 placeChangedAt = 0;
    QString lastSaveError_;
    // Set when a damaged bookmark file could not be backed up: it is then
    // never overwritten, so the user can still recover it.
    bool keepDamagedFile = false;
    BookmarkWriter writer;
};
