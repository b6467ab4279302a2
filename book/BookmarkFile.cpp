#include "BookmarkFile.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QDataStream>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>
#include <QStandardPaths>

namespace {

const char kSuffix[] = ".bmk";

// QSaveFile writes to "<name>.XXXXXX" beside the file and renames it over
// the file at commit; a save killed on the way leaves that file behind.
void removeLeftovers(const QString &path)
{
    const QFileInfo info(path);
    const QRegularExpression leftover(QLatin1Char('^') + QRegularExpression::escape(info.fileName()) +
                                      QStringLiteral("\\.[A-Za-z0-9]{6}$"));
    QDir folder = info.absoluteDir();
    const QStringList names =
        folder.entryList({info.fileName() + QStringLiteral(".??????")}, QDir::Files | QDir::Hidden);
    for (const QString &name : names) {
        if (leftover.match(name).hasMatch())
            folder.remove(name);
    }
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
    const QByteArray digest = QCryptographicHash::hash(absolute.toUtf8(), QCryptographicHash::Sha1).toHex().left(16);
    const QString folder =
        QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + QStringLiteral("/bookmarks/");
    return folder + book.completeBaseName() + QLatin1Char('-') + QString::fromLatin1(digest) + QLatin1String(kSuffix);
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
    return true;
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
    SaveResult result;
    removeLeftovers(path);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        result.cannotCreate = true;
        result.error = file.errorString();
        return result;
    }
    // Qt 5's commit() does not notice a failed buffered write and would put
    // a short file in place of a good one: check every step before it.
    if (file.write(bytes) != bytes.size() || !file.flush() || file.error() != QFileDevice::NoError) {
        result.error = file.errorString();
        file.cancelWriting();
        file.commit();
        return result;
    }
    result.ok = file.commit();
    if (!result.ok)
        result.error = file.errorString();
    return result;
}

bool BookmarkFile::save(const QString &path, const QList<Bookmark> &bookmarks)
{
    return saveBytes(path, serialize(bookmarks)).ok;
}
