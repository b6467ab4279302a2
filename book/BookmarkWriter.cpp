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

quint64 BookmarkWriter::submit(const QString &path, const QByteArray &bytes)
{
    QMutexLocker locker(&lock);
    pending.insert(path, Job{bytes, ++serial});
    work.wakeAll();
    return serial;
}

void BookmarkWriter::flush()
{
    QMutexLocker locker(&lock);
    while (writing || !pending.isEmpty())
        idle.wait(&lock);
}

BookmarkFile::SaveResult BookmarkWriter::lastResult(const QString &path) const
{
    return lastWritten(path).result;
}

BookmarkWriter::Written BookmarkWriter::lastWritten(const QString &path) const
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
        const Job job = pending.take(path);
        writing = true;
        locker.unlock();
        Written done;
        done.result = BookmarkFile::saveBytes(path, job.bytes);
        done.serial = job.serial;
        done.stamp = BookmarkFile::stampOf(path);
        locker.relock();
        results.insert(path, done);
        locker.unlock();
        emit written(path, done.result);
        locker.relock();
        writing = false;
        if (pending.isEmpty())
            idle.wakeAll();
    }
}
