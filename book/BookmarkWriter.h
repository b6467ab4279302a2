#pragma once

#include "BookmarkFile.h"

#include <QMap>
#include <QMutex>
#include <QObject>
#include <QThread>
#include <QWaitCondition>

/// Writes bookmark files on a thread of its own, so that a page turn never
/// waits for the disk. Only the newest bytes for a file are written: states
/// that pile up while a write runs are folded into one. Each write replaces
/// the file atomically (BookmarkFile::saveBytes), so a killed reader loses at
/// most the state being written and never leaves a damaged file.
class BookmarkWriter : public QObject
{
    Q_OBJECT

public:
    BookmarkWriter();
    /// Writes what is still waiting, then stops.
    ~BookmarkWriter() override;

    /// How the newest finished write of a file ended, and what the file
    /// looked like right after it.
    struct Written
    {
        BookmarkFile::SaveResult result;
        quint64 serial = 0; // that of the submit() it wrote
        BookmarkFile::Stamp stamp;
    };

    /// Queues `bytes` for `path`, replacing anything queued for it before;
    /// returns a serial number that grows with every call.
    quint64 submit(const QString &path, const QByteArray &bytes);
    /// Waits until everything submitted so far is written.
    void flush();
    /// How the last write of `path` ended (after flush(): the newest state's).
    BookmarkFile::SaveResult lastResult(const QString &path) const;
    Written lastWritten(const QString &path) const;

signals:
    /// A write ended; emitted on the writer's thread (connect queued).
    void written(const QString &path, const BookmarkFile::SaveResult &result);

private:
    void run();

    mutable QMutex lock;
    QWaitCondition work;
    QWaitCondition idle;
    struct Job
    {
        QByteArray bytes;
        quint64 serial = 0;
    };
    QMap<QString, Job> pending;
    QMap<QString, Written> results;
    quint64 serial = 0;
    bool writing = false;
    bool stopping = false;
    QThread *thread;
};

Q_DECLARE_METATYPE(BookmarkFile::SaveResult)
