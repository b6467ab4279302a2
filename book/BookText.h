#pragma once

#include "BookIndex.h"
#include "decodeText.h"

#include <QFuture>
#include <QString>

/// Reading a book file into its text, whole or a stretch of it. Safe on any
/// thread: nothing here is shared.
class BookText
{
public:
    enum Error { NoError, Unreadable, TooLarge };

    QString text; // line ends made one LF
    TextEncoding encoding = TextEncoding::Auto;
    TextReading reading = TextReading::Utf8;
    Error error = NoError;

    /// The whole file read as `requested` (Auto: as it looks).
    static BookText read(const QString &path, TextEncoding requested);
    /// The file's first `bytes` bytes or so, up to a line end, read as
    /// `requested` (Auto: as they look, which the whole may contradict).
    static BookText readStart(const QString &path, TextEncoding requested, int bytes);
    /// Characters [from.character, to.character) of the stretch, read from
    /// its bytes alone; a null string when the file does not give exactly
    /// those (it changed, or cannot be read).
    static QString readStretch(const QString &path, TextReading reading, const BookIndex::Stretch &stretch);
    /// The byte at which the character `position` of the file's text (read
    /// with `reading`) starts; -1 when the file cannot be read.
    static qint64 byteOffsetOf(const QString &path, TextReading reading, int position);
    /// How many characters the file's first `byte` bytes read as with `reading`.
    static int characterOffsetOf(const QString &path, TextReading reading, qint64 byte);
    /// read() on a thread of its own, when nothing else wants the processor.
    static QFuture<BookText> readLater(const QString &path, TextEncoding requested);
    /// Reads the whole file, indexes it and stores the index, in the
    /// background; for the next opening of a long book.
    static void indexLater(const QString &path, TextEncoding requested);
};
