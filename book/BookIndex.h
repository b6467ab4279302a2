#pragma once

#include "decodeText.h"

#include <QFileInfo>
#include <QString>
#include <QVector>

/// Where lines of a book file start, in bytes and in characters of its text,
/// about every 128 KiB: enough to read any stretch of the book without
/// reading all of it, so that a long book shows its page at once. Kept per
/// book in the user's cache folder and trusted only while the file keeps its
/// size and modification time.
class BookIndex
{
public:
    struct Checkpoint
    {
        qint64 byte = 0;
        int character = 0;
    };
    /// Bytes [from.byte, to.byte) read as characters [from.character, to.character).
    struct Stretch
    {
        Checkpoint from;
        Checkpoint to;
    };

    /// The index of `bytes`, which read as `text` (line ends made one LF)
    /// with `reading`. Invalid when some stretch does not read, on its own,
    /// as the same characters (an odd mark in the middle, say).
    static BookIndex build(const QByteArray &bytes, const QString &text, TextReading reading, TextEncoding requested,
                           const QFileInfo &file);
    /// The stored index of the book at `bookPath`; invalid when there is none
    /// or it is damaged.
    /// Everything in the file is checked before it is used: a damaged index
    /// is deleted (and made again after the next reading).
    static BookIndex load(const QString &bookPath);
    /// Stores the index; the oldest of more than MostBooks indexes go.
    bool save(const QString &bookPath) const;
    static void forget(const QString &bookPath);
    /// Where the index of `bookPath` is kept.
    static QString pathFor(const QString &bookPath);
    static constexpr int MostBooks = 200;

    bool isValid() const { return checkpoints.size() >= 2; }
    /// Made for this very file (its size, time and bytes), read as `requested`.
    bool fits(const QString &bookPath, TextEncoding requested) const;
    /// A digest of the size and of samples spread over the whole file: a
    /// book edited in place, even to the same size and time, reads another.
    static QByteArray fingerprintOf(const QString &path);
    /// The first line start at or after byte `from` of `bytes`, or the end.
    static qint64 lineStartFrom(const QByteArray &bytes, qint64 from, TextReading reading);
    int length() const { return isValid() ? checkpoints.last().character : 0; }
    TextReading reading() const { return reading_; }
    TextEncoding encoding() const;

    /// The stretch holding `position` and at least `ahead` characters after
    /// it, where the book has them.
    Stretch stretchAround(int position, int ahead) const;

private:
    qint64 size = -1;
    qint64 modified = 0;
    QByteArray fingerprint;
    TextEncoding requested_ = TextEncoding::Auto;
    TextReading reading_ = TextReading::Utf8;
    QVector<Checkpoint> checkpoints;
};
