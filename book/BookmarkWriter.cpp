#include "BookmarkWriter.h"

#include <QMutexLocker>

namespace {
const int kRegistered = qRegisterMetaType<BookmarkFile::SaveResult>("BookmarkFile::SaveResult");
} // namespace

BookmarkWriter::BookmarkWriter() : thread(QThread::create([this] { run(); }))
{
    thread->start();
}

BookmarkWriter::~BookmarkWriter()
{
    {
        QMutexLocker locker(&lock);
        stopping = true;
        work.wakeAll();
    }
    thread->wait();
    delete thread;
}

void BookmarkWriter::submit(const QString &path, const QByteArray &bytes)
{
    QMutexLocker locker(&lock);
    pending.insert(path, bytes);
    work.wakeAll();
}

void BookmarkWriter::flush()
{
    QMutexLocker locker(&lock);
    while (writing || !pending.isEmpty())
        idle.wait(&lock);
}

BookmarkFile::SaveResult BookmarkWriter::lastResult(const QString &path) const
{
    QMutexLocker locker(&lock);
    return results.value(path);
}

void BookmarkWriter::run()
{
    QMutexLocker locker(&lock);
    while (true) {
        while (pending.isEmpty() && !stopping)
            work.wait(&lock);
        if (pending.isEmpty())
            return; // stopping, and everything is written
        const QString path = pending.firstKey();
        const QByteArray bytes = pending.take(path);
        writing = true;
        locker.unlock();
        const BookmarkFile::SaveResult result = BookmarkFile::saveBytes(path, bytes);
        emit written(path, result);
        locker.relock();
        results.insert(path, result);
        writing = false;
        if (pending.isEmpty())
            idle.wakeAll();
    }
}
