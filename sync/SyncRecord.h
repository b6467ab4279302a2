#pragma once

#include <QByteArray>
#include <QCoreApplication>
#include <QList>
#include <QString>

/// A reading place as machines exchange it: the offset in the decoded text,
/// how far into the book that is, and the words that follow it, so that a
/// copy of the book that differs a little can still find it.
struct SyncPlace
{
    int offset = 0;
    double percent = 0; // one decimal
    QString context;
    qint64 changedAt = 0; // ms since the epoch; 0: never moved while synced
};

/// A bookmark with the time a machine first saw it.
struct SyncBookmark
{
    int offset = 0;
    QString title;
    QString summary;
    qint64 addedAt = 0;
};

/// A bookmark removed on some machine, by offset and title, and when.
struct SyncDeletion
{
    int offset = 0;
    QString title;
    qint64 deletedAt = 0;
};

inline bool operator==(const SyncPlace &a, const SyncPlace &b)
{
    return a.offset == b.offset && a.percent == b.percent && a.context == b.context && a.changedAt == b.changedAt;
}
inline bool operator==(const SyncBookmark &a, const SyncBookmark &b)
{
    return a.offset == b.offset && a.title == b.title && a.summary == b.summary && a.addedAt == b.addedAt;
}
inline bool operator==(const SyncDeletion &a, const SyncDeletion &b)
{
    return a.offset == b.offset && a.title == b.title && a.deletedAt == b.deletedAt;
}

/// What one machine knows of one book: its place, its bookmarks and the
/// bookmarks it saw removed. Stored as one JSON file per book and machine.
class SyncRecord
{
    Q_DECLARE_TR_FUNCTIONS(SyncRecord)

public:
    static constexpr int Format = 1;
    /// Larger files are not records: nobody's bookmarks take that much.
    static constexpr int MaxBytes = 1 << 20;
    static constexpr int ContextLength = 20;

    QString deviceId;
    QString deviceName;
    SyncPlace place;
    QList<SyncBookmark> bookmarks;
    QList<SyncDeletion> deletions;

    QByteArray toJson() const;
    /// Reads a record with every field checked; false (and `why` says what
    /// is wrong, `*record` untouched) for anything that is not a whole
    /// record of a format this reader knows.
    static bool parse(const QByteArray &bytes, SyncRecord *record, QString *why);
    /// Why a file larger than MaxBytes is no record.
    static QString tooLargeText() { return tr("大于 %1 字节").arg(MaxBytes); }
};
