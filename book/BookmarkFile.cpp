#include "BookmarkFile.h"

#include <QDataStream>
#include <QFileInfo>
#include <QSaveFile>

namespace {
// Offset plus the length words of two null strings: no record is shorter.
const qint64 kSmallestRecord = 12;
} // namespace

QString BookmarkFile::pathFor(const QString &bookPath)
{
    const int slash = bookPath.lastIndexOf(QLatin1Char('/'));
    QString name = bookPath.mid(slash + 1);
    name.replace(QLatin1String(".txt"), QLatin1String(".bmk"), Qt::CaseInsensitive);
    if (!name.endsWith(QLatin1String(".bmk")))
        name += QLatin1String(".bmk");
    return bookPath.left(slash + 1) + name;
}

bool BookmarkFile::read(QIODevice &device, QList<Bookmark> *bookmarks)
{
    bookmarks->clear();
    if (device.bytesAvailable() == 0 && device.atEnd())
        return true;
    QDataStream in(&device);
    qint32 count = 0;
    in >> count;
    if (in.status() != QDataStream::Ok)
        return false;
    // The count comes from the file: never size anything by it before the
    // bytes that back it have been seen.
    const qint64 remaining = device.isSequential() ? device.bytesAvailable() : device.size() - device.pos();
    if (count < 0 || count > remaining / kSmallestRecord)
        return false;
    for (qint32 i = 0; i < count; ++i) {
        Bookmark bookmark;
        in >> bookmark;
        if (in.status() != QDataStream::Ok) {
            bookmarks->clear();
            return false;
        }
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

bool BookmarkFile::save(const QString &path, const QList<Bookmark> &bookmarks)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    write(file, bookmarks);
    return file.commit();
}
