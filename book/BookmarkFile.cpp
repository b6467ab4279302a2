#include "BookmarkFile.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QDataStream>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <algorithm>
#include <atomic>
#include <cstring>

#ifdef Q_OS_WIN
#include <io.h>
#include <windows.h>
#else
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

const char kSuffix[] = ".bmk";
// Our temporary files are ".<name>.<pid>-<n>.tavril-save": a name no user
// gives a file, so the clean-up never takes one of theirs.
const char kTempSuffix[] = ".tavril-save";
const int kMostBackups = 99;
// Beyond these no bookmark file goes: a count or a first title past them
// says the file is something else.
const qint64 kMostRecords = 1000000;
const quint32 kLongestTitleBytes = 1 << 20;

qint64 processId()
{
#ifdef Q_OS_WIN
    return qint64(GetCurrentProcessId());
#else
    return qint64(::getpid());
#endif
}

bool processRuns(qint64 pid)
{
#ifdef Q_OS_WIN
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, DWORD(pid));
    if (!process)
        return false;
    DWORD code = 0;
    const bool running = GetExitCodeProcess(process, &code) && code == STILL_ACTIVE;
    CloseHandle(process);
    return running;
#else
    return ::kill(pid_t(pid), 0) == 0 || errno == EPERM;
#endif
}

// The pid in a temporary file name of ours for `fileName`, or -1 when the
// name is not one: compared literally, character by character.
qint64 tempOwner(const QString &name, const QString &fileName)
{
    const QString prefix = QLatin1Char('.') + fileName + QLatin1Char('.');
    if (!name.startsWith(prefix) || !name.endsWith(QLatin1String(kTempSuffix)))
        return -1;
    const QString middle = name.mid(prefix.size(), name.size() - prefix.size() - int(sizeof kTempSuffix - 1));
    const int dash = middle.indexOf(QLatin1Char('-'));
    bool pidOk = false;
    bool countOk = false;
    const qint64 pid = middle.left(dash).toLongLong(&pidOk);
    middle.mid(dash + 1).toUInt(&countOk);
    const auto digitsOnly = [](const QString &s) {
        return !s.isEmpty() && std::all_of(s.cbegin(), s.cend(), [](QChar c) { return c >= '0' && c <= '9'; });
    };
    if (dash <= 0 || !pidOk || !countOk || !digitsOnly(middle.left(dash)) || !digitsOnly(middle.mid(dash + 1)))
        return -1;
    return pid;
}

// A save killed on the way leaves its temporary file behind; another
// reader's save in progress is left alone.
void removeLeftovers(const QString &path)
{
    const QFileInfo info(path);
    QDir folder = info.absoluteDir();
    const QStringList names = folder.entryList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QString &name : names) {
        const qint64 owner = tempOwner(name, info.fileName());
        if (owner > 0 && owner != processId() && !processRuns(owner))
            folder.remove(name);
    }
}

bool syncToDisk(QFile &file)
{
#ifdef Q_OS_WIN
    return FlushFileBuffers(HANDLE(_get_osfhandle(file.handle())));
#else
    return ::fsync(file.handle()) == 0;
#endif
}

// Puts `from` in the place of `to` in one step.
bool replaceFile(const QString &from, const QString &to, QString *error)
{
#ifdef Q_OS_WIN
    const bool done = MoveFileExW(reinterpret_cast<const wchar_t *>(QDir::toNativeSeparators(from).utf16()),
                                  reinterpret_cast<const wchar_t *>(QDir::toNativeSeparators(to).utf16()),
                                  MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    if (!done)
        *error = QStringLiteral("MoveFileEx failed (%1)").arg(GetLastError());
    return done;
#else
    if (std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0)
        return true;
    *error = QString::fromLocal8Bit(std::strerror(errno));
    return false;
#endif
}

// The first bytes of a bookmark file that lost its records: a count that
// some file could have, and a first record that starts like one.
bool startsLikeBookmarks(const QByteArray &bytes)
{
    QDataStream in(bytes);
    qint32 count = 0;
    qint32 offset = 0;
    quint32 titleBytes = 0;
    in >> count;
    if (count < 0 || count > kMostRecords)
        return false;
    in >> offset >> titleBytes;
    if (in.status() != QDataStream::Ok)
        return true; // cut short: as far as it goes, it is one
    return titleBytes == 0xFFFFFFFF || (titleBytes % 2 == 0 && titleBytes <= kLongestTitleBytes);
}

} // namespace

QString BookmarkFile::pathFor(const QString &bookPath)
{
    const int slash = bookPath.lastIndexOf(QLatin1Char('/'));
    QString name = bookPath.mid(slash + 1);
    name.replace(QLatin1String(".txt"), QLatin1String(kSuffix), Qt::CaseInsensitive);
    if (!name.endsWith(QLatin1String(kSuffix)))
        name += QLatin1String(kSuffix);
    QString path = bookPath.left(slash + 1) + name;
    // A book that is itself named *.bmk would be overwritten by its bookmarks.
    if (path == bookPath)
        path += QLatin1String(kSuffix);
    return path;
}

QString BookmarkFile::fallbackPathFor(const QString &bookPath)
{
    const QFileInfo book(bookPath);
    const QString absolute = book.absoluteFilePath();
    // The name's bytes: two names that are not UTF-8 must not share a copy.
    const QByteArray digest =
        QCryptographicHash::hash(QFile::encodeName(absolute), QCryptographicHash::Sha1).toHex().left(16);
    const QString folder =
        QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + QStringLiteral("/bookmarks/");
    return folder + book.completeBaseName() + QLatin1Char('-') + QString::fromLatin1(digest) + QLatin1String(kSuffix);
}

BookmarkFile::Stamp BookmarkFile::stampOf(const QString &path)
{
    Stamp stamp;
    const QFileInfo info(path);
    if (!info.exists())
        return stamp;
    stamp.exists = true;
    stamp.size = info.size();
    stamp.modified = info.lastModified().toMSecsSinceEpoch();
#ifndef Q_OS_WIN
    struct stat status;
    if (::stat(QFile::encodeName(path).constData(), &status) == 0)
        stamp.inode = quint64(status.st_ino);
#endif
    return stamp;
}

bool BookmarkFile::read(QIODevice &device, QList<Bookmark> *bookmarks)
{
    bookmarks->clear();
    if (device.bytesAvailable() == 0 && device.atEnd())
        return true;
    QDataStream in(&device);
    qint32 count = 0;
    in >> count;
    if (in.status() != QDataStream::Ok || count < 0)
        return false;
    // The count comes from the file: nothing is sized by it, and a count
    // larger than the records that follow is damage after the last whole one.
    for (qint32 i = 0; i < count; ++i) {
        Bookmark bookmark;
        in >> bookmark;
        if (in.status() != QDataStream::Ok)
            return false;
        bookmarks->append(bookmark);
    }
    if (in.atEnd())
        return true;
    // Bytes after the declared records are damage too; whole records among
    // them are still the user's.
    while (!in.atEnd()) {
        Bookmark bookmark;
        in >> bookmark;
        if (in.status() != QDataStream::Ok)
            break;
        bookmarks->append(bookmark);
    }
    return false;
}

BookmarkFile::Content BookmarkFile::read(const QString &path, QList<Bookmark> *bookmarks)
{
    bookmarks->clear();
    QFile file(path);
    if (!file.exists())
        return Missing;
    if (!file.open(QIODevice::ReadOnly))
        return Unreadable;
    // Only bookmark files are read whole: a foreign file shows itself in its
    // first bytes, however large it is.
    const QByteArray head = file.peek(64);
    if (!startsLikeBookmarks(head) && head.size() >= 4)
        return Foreign;
    if (read(file, bookmarks))
        return Whole;
    return Damaged;
}

void BookmarkFile::write(QIODevice &device, const QList<Bookmark> &bookmarks)
{
    QDataStream out(&device);
    out << qint32(bookmarks.size());
    for (const Bookmark &bookmark : bookmarks)
        out << bookmark;
}

QByteArray BookmarkFile::serialize(const QList<Bookmark> &bookmarks)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    write(buffer, bookmarks);
    return bytes;
}

BookmarkFile::SaveResult BookmarkFile::saveBytes(const QString &path, const QByteArray &bytes)
{
    static std::atomic<quint32> saves{0};
    SaveResult result;
    removeLeftovers(path);
    const QFileInfo info(path);
    const QString temp = info.absoluteDir().filePath(QStringLiteral(".%1.%2-%3%4")
                                                         .arg(info.fileName())
                                                         .arg(processId())
                                                         .arg(saves++)
                                                         .arg(QLatin1String(kTempSuffix)));
    QFile file(temp);
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
        result.cannotCreate = true;
        result.error = file.errorString();
        return result;
    }
    // Every step is checked: a short write must never replace a good file.
    const bool written = file.write(bytes) == bytes.size() && file.flush() && syncToDisk(file);
    result.error = file.errorString();
    file.close();
    if (written && file.error() == QFileDevice::NoError && replaceFile(temp, path, &result.error)) {
        result.ok = true;
        result.error.clear();
        return result;
    }
    QFile::remove(temp);
    return result;
}

bool BookmarkFile::save(const QString &path, const QList<Bookmark> &bookmarks)
{
    return saveBytes(path, serialize(bookmarks)).ok;
}

QString BookmarkFile::freeBackupPath(const QString &path)
{
    for (int n = 1; n <= kMostBackups; ++n) {
        const QString candidate = n == 1 ? path + QStringLiteral(".bak") : path + QStringLiteral(".%1.bak").arg(n);
        if (!QFileInfo::exists(candidate))
            return candidate;
    }
    return QString();
}
