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
const quint16 kVersion = 2;
const int kSamples = 16;
const int kDigestSize = 20; // SHA-1
const int kLargestIndex = 1 << 21;
const qint64 kSampleSize = 4096;
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

qint64 modifiedOf(const QFileInfo &file)
{
    return file.lastModified().toMSecsSinceEpoch();
}

// The least recently used indexes go when there are too many.
void prune(const QString &folder)
{
    const QFileInfoList files =
        QDir(folder).entryInfoList({QStringLiteral("*.idx")}, QDir::Files, QDir::Time | QDir::Reversed);
    for (int i = 0; i + BookIndex::MostBooks < files.size(); ++i)
        QFile::remove(files.at(i).absoluteFilePath());
}

} // namespace

qint64 BookIndex::lineStartFrom(const QByteArray &bytes, qint64 from, TextReading reading)
{
    const int unit = unitOf(reading);
    for (qint64 at = from - from % unit; at + unit <= bytes.size(); at += unit) {
        if (isLineFeedAt(bytes.constData(), at, reading))
            return at + unit;
    }
    return bytes.size();
}

BookIndex BookIndex::build(const QByteArray &bytes, const QString &text, TextReading reading, TextEncoding requested,
                           const QFileInfo &file)
{
    BookIndex index;
    index.size = bytes.size();
    index.modified = modifiedOf(file);
    index.fingerprint = fingerprintOf(file.absoluteFilePath());
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
        QCryptographicHash::hash(QFile::encodeName(QFileInfo(bookPath).absoluteFilePath()), QCryptographicHash::Sha1)
            .toHex();
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
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out << kMagic << kVersion << size << modified << fingerprint << quint8(requested_) << quint8(reading_)
        << qint32(checkpoints.size());
    for (const Checkpoint &checkpoint : checkpoints)
        out << checkpoint.byte << qint32(checkpoint.character);
    // A digest of everything before it: any flipped bit shows.
    bytes += QCryptographicHash::hash(bytes, QCryptographicHash::Sha1);
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        file.cancelWriting();
        return false;
    }
    const bool saved = file.commit();
    prune(QFileInfo(path).absolutePath());
    return saved;
}

void BookIndex::forget(const QString &bookPath)
{
    QFile::remove(pathFor(bookPath));
}

QByteArray BookIndex::fingerprintOf(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    QCryptographicHash hash(QCryptographicHash::Sha1);
    const qint64 size = file.size();
    hash.addData(QByteArray::number(size));
    for (int i = 0; i < kSamples; ++i) {
        const qint64 at = size <= kSampleSize ? 0 : (size - kSampleSize) * i / (kSamples - 1);
        if (!file.seek(at))
            return QByteArray();
        hash.addData(file.read(kSampleSize));
        if (size <= kSampleSize)
            break;
    }
    return hash.result();
}

BookIndex BookIndex::load(const QString &bookPath)
{
    QFile file(pathFor(bookPath));
    if (!file.open(QIODevice::ReadOnly))
        return BookIndex();
    const QByteArray bytes = file.read(kLargestIndex + 1);
    const QByteArray payload = bytes.left(bytes.size() - kDigestSize);
    QDataStream in(payload);
    quint32 magic = 0;
    quint16 version = 0;
    quint8 requested = 0;
    quint8 reading = 0;
    qint32 count = 0;
    BookIndex index;
    in >> magic >> version;
    if (magic == kMagic && version == kVersion)
        in >> index.size >> index.modified >> index.fingerprint >> requested >> reading >> count;
    // Every count is checked against what the file can hold before anything
    // is sized by it; a book is never larger than a reader opens.
    const bool sane = bytes.size() <= kLargestIndex && bytes.size() > kDigestSize &&
                      QCryptographicHash::hash(payload, QCryptographicHash::Sha1) == bytes.right(kDigestSize) &&
                      in.status() == QDataStream::Ok && magic == kMagic && version == kVersion && count >= 2 &&
                      count <= kMostCheckpoints && index.size > 0 && index.size <= qint64(1) << 30 &&
                      requested <= quint8(TextEncoding::Utf32) && reading <= quint8(TextReading::Utf32Be) &&
                      index.fingerprint.size() == kDigestSize && count * qint64(12) <= payload.size();
    if (sane) {
        index.requested_ = TextEncoding(requested);
        index.reading_ = TextReading(reading);
        index.checkpoints.reserve(count);
    }
    Checkpoint previous{-1, -1};
    for (qint32 i = 0; sane && i < count; ++i) {
        Checkpoint checkpoint;
        qint32 character = 0;
        in >> checkpoint.byte >> character;
        checkpoint.character = character;
        // Checkpoints only ever move forward, never by more characters than
        // bytes (no encoding makes more), and end at the file's end.
        const bool forward = i == 0 ? checkpoint.byte == 0 && character == 0
                                    : checkpoint.byte > previous.byte && character >= previous.character &&
                                          character - previous.character <= checkpoint.byte - previous.byte;
        if (in.status() != QDataStream::Ok || !forward)
            break;
        index.checkpoints.append(checkpoint);
        previous = checkpoint;
    }
    if (!sane || index.checkpoints.size() != count || previous.byte != index.size || !in.atEnd()) {
        file.close();
        forget(bookPath);
        return BookIndex();
    }
    // Used now: the last to go when the cache is pruned.
    file.close();
    if (file.open(QIODevice::ReadWrite))
        file.setFileTime(QDateTime::currentDateTime(), QFileDevice::FileModificationTime);
    return index;
}

bool BookIndex::fits(const QString &bookPath, TextEncoding requested) const
{
    const QFileInfo file(bookPath);
    return isValid() && file.size() == size && modifiedOf(file) == modified && requested == requested_ &&
           fingerprintOf(bookPath) == fingerprint;
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
