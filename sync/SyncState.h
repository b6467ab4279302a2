#pragma once

#include "Bookmark.h"
#include "SyncMerge.h"
#include "SyncRecord.h"
#include "SyncStore.h"

#include <QHash>
#include <QList>
#include <QPair>
#include <QString>

/// What this machine keeps of one book for syncing, in a JSON file of its
/// own (never in the bookmark file, whose format stays): its own record with
/// the times sync saw each change, the other machines' files as last
/// fetched (with their tags, so unchanged ones are not fetched again), and
/// whether its record still waits for an upload.
class SyncState
{
public:
    /// `folder` holds the states of all books; `key` names the book, and
    /// `deviceId` this machine.
    SyncState(const QString &folder, const QString &key, const QString &deviceId);

    /// The book's name among machines: a digest of what its text reads as,
    /// so the same book in GBK on one machine and UTF-8 on another (or with
    /// other line ends) shares its records.
    static QString keyOf(const QString &decodedText);

    QString key() const { return key_; }
    /// Reads the stored state; false when there is none or it is damaged
    /// (then it starts afresh, and the book counts as not seen before).
    bool load();
    /// Writes the state atomically; false when it could not be.
    bool save() const;
    /// The book was seen by sync before (a state was loaded or observed).
    bool knowsBook() const { return known; }

    SyncRecord &own() { return own_; }
    const SyncRecord &own() const { return own_; }
    /// The bookmarks after the reading place as the book has them now: one
    /// sync has not seen is stamped `now`, one gone is recorded as removed
    /// at `now`. True when the record changed.
    bool observeBookmarks(const QList<Bookmark> &bookmarks, qint64 now);
    /// The reading place moved to `place`; true when it is another offset.
    bool notePlace(const SyncPlace &place);
    /// Takes over the merge's bookmarks and removals, and its place when
    /// `place` is set. True when the record changed.
    bool adopt(const SyncMerge::Result &merged, const SyncPlace *place);

    /// Tags of the other machines' files, for a listing that skips the
    /// unchanged ones; then the new listing's files.
    QHash<QString, QByteArray> knownTags() const;
    void takeFiles(const QList<SyncStore::File> &files);
    /// The other machines' records; files that are no records are left
    /// out, with the reason, in `skipped` (name, why).
    QList<SyncRecord> records(QList<QPair<QString, QString>> *skipped) const;

    /// The record changed since its last upload.
    bool isDirty() const { return revision != uploadedRevision; }
    quint64 currentRevision() const { return revision; }
    /// The upload of `uploaded` went through.
    void markUploaded(quint64 uploaded) { uploadedRevision = uploaded; }

private:
    struct Cached
    {
        QByteArray tag;
        QByteArray bytes;
        bool tooLarge = false;
    };
    QString path() const;
    void touch() { ++revision; }

    QString folder;
    QString key_;
    SyncRecord own_;
    QHash<QString, Cached> files;
    bool known = false;
    quint64 revision = 0;
    quint64 uploadedRevision = 0;
};
