#include "BookIndex.h"

#include <QCryptographicHash>
#include <QDataStream>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QStandardPaths>

namespace {

const quint32 kMagic = 0x54564958; // "TVIX"
const quint16 kVersion = 1;
const qint64 kStep = 128 << 10;       // what the first page costs to read
const int kMostCheckpoints = 1 << 16; // an 8 GiB book; anything more is damage

int unitOf(TextReading reading)
{
    switch (reading) {
    case TextReading::Utf16Le:
    case TextReading::Utf16Be:
        return 2;
    case TextReading::Utf32Le:
    case TextReading::Utf32Be:
        return 4;
    default:
        return 1;
    }
}

bool isLineFeedAt(const char *data, qint64 at, TextReading reading)
{
    switch (reading) {
    case TextReading::Utf16Le:
        return data[at] == '\n' && data[at + 1] == 0;
    case TextReading::Utf16Be:
        return data[at] == 0 && data[at + 1] == '\n';
    case TextReading::Utf32Le:
        return data[at] == '\n' && !data[at + 1] && !data[at + 2] && !data[at + 3];
    case TextReading::Utf32Be:
        return !data[at] && !data[at + 1] && !data[at + 2] && data[at + 3] == '\n';
    default:
        // No multi-byte character of these encodings holds a 0A byte.
        return data[at] == '\n';
    }
}

// The first line start at or after `from`, or the end.
qint64 lineStartFrom(const QByteArray &bytes, qint64 from, TextReading reading)
{
    const int unit = unitOf(reading);
    for (qint64 at = from - from % unit; at + unit <= bytes.size(); at += unit) {
        if (isLineFeedAt(bytes.constData(), at, reading))
            return at + unit;
    }
    return bytes.size();
}

qint64 modifiedOf(const QFileInfo &file)
{
    return file.lastModified().toMSecsSinceEpoch();
}

} // namespace

BookIndex BookIndex::build(const QByteArray &bytes, const QString &text, TextReading reading, TextEncoding requested,
                           const QFileInfo &file)
{
    BookIndex index;
    index.size = bytes.size();
    index.modified = modifiedOf(file);
    index.requested_ = requested;
    index.reading_ = reading;
    index.checkpoints.append(Checkpoint());
    qint64 byte = 0;
    int character = 0;
    while (byte < bytes.size()) {
        const qint64 next = lineStartFrom(bytes, byte + kStep, reading);
        QString stretch = decodeReading(bytes.mid(int(byte), int(next - byte)), reading);
        normalizeLineEnds(stretch);
        if (QStringView(text).mid(character, stretch.size()) != QStringView(stretch))
            return BookIndex();
        character += stretch.size();
        byte = next;
        index.checkpoints.append(Checkpoint{byte, character});
    }
    if (character != text.size())
        return BookIndex();
    return index;
}

QString BookIndex::pathFor(const QString &bookPath)
{
    const QByteArray digest =
        QCryptographicHash::hash(QFileInfo(bookPath).absoluteFilePath().toUtf8(), QCryptographicHash::Sha1).toHex();
    return QStandardPaths::writableLocation(QStandardPaths::CacheLocation) + QStringLiteral("/index/") +
           QString::fromLatin1(digest.left(20)) + QStringLiteral(".idx");
}

bool BookIndex::save(const QString &bookPath) const
{
    const QString path = pathFor(bookPath);
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile file(path);
    if (!isValid() || !file.open(QIODevice::WriteOnly))
        return false;
    QDataStream out(&file);
    out << kMagic << kVersion << size << modified << quint8(requested_) << quint8(reading_)
        << qint32(checkpoints.size());
    for (const Checkpoint &checkpoint : checkpoints)
        out << checkpoint.byte << qint32(checkpoint.character);
    if (out.status() != QDataStream::Ok || !file.flush()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

BookIndex BookIndex::load(const QString &bookPath)
{
    QFile file(pathFor(bookPath));
    if (!file.open(QIODevice::ReadOnly))
        return BookIndex();
    QDataStream in(&file);
    quint32 magic = 0;
    quint16 version = 0;
    quint8 requested = 0;
    quint8 reading = 0;
    qint32 count = 0;
    BookIndex index;
    in >> magic >> version >> index.size >> index.modified >> requested >> reading >> count;
    if (in.status() != QDataStream::Ok || magic != kMagic || version != kVersion || count < 2 ||
        count > kMostCheckpoints || requested > quint8(TextEncoding::Utf32) || reading > quint8(TextReading::Utf32Be))
        return BookIndex();
    index.requested_ = TextEncoding(requested);
    index.reading_ = TextReading(reading);
    Checkpoint previous{-1, -1};
    for (qint32 i = 0; i < count; ++i) {
        Checkpoint checkpoint;
        qint32 character = 0;
        in >> checkpoint.byte >> character;
        checkpoint.character = character;
        // Checkpoints only ever move forward, and end at the file's end.
        if (in.status() != QDataStream::Ok || checkpoint.byte <= previous.byte ||
            checkpoint.character < previous.character || (i == 0 && (checkpoint.byte || checkpoint.character)))
            return BookIndex();
        index.checkpoints.append(checkpoint);
        previous = checkpoint;
    }
    if (index.checkpoints.last().byte != index.size)
        return BookIndex();
    return index;
}

bool BookIndex::fits(const QFileInfo &file, TextEncoding requested) const
{
    return isValid() && file.size() == size && modifiedOf(file) == modified && requested == requested_;
}

TextEncoding BookIndex::encoding() const
{
    return encodingOf(reading_);
}

BookIndex::Stretch BookIndex::stretchAround(int position, int ahead) const
{
    Stretch stretch;
    if (!isValid())
        return stretch;
    int first = 0;
    while (first + 1 < checkpoints.size() - 1 && checkpoints.at(first + 1).character <= position)
        ++first;
    int last = first + 1;
    while (last + 1 < checkpoints.size() && checkpoints.at(last).character < qint64(position) + ahead)
        ++last;
    stretch.from = checkpoints.at(first);
    stretch.to = checkpoints.at(last);
    return stretch;
}
