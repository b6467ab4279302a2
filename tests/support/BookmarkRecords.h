#pragma once

// The records of a bookmark file's bytes, read with the reader's own code.

#include "BookmarkFile.h"

#include <QBuffer>

// The bookmarks read from `bytes`; *whole: the bytes were undamaged.
inline QList<Bookmark> bookmarkRecords(QByteArray bytes, bool *whole = nullptr)
{
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QList<Bookmark> bookmarks;
    const bool read = BookmarkFile::read(buffer, &bookmarks);
    if (whole)
        *whole = read;
    return bookmarks;
}
