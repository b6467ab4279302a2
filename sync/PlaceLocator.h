#pragma once

#include "SyncRecord.h"

#include <QString>

/// Turns an offset of the decoded text into a place another machine can
/// find again, and finds such a place in this machine's copy of the book.
class PlaceLocator
{
public:
    /// The place at `offset` of `text`, moved at `time`.
    static SyncPlace describe(const QString &text, int offset, qint64 time);
    /// Where `place` is in `text`: its offset when the words after it are
    /// there; else the nearest spot where they are, close to the offset or
    /// to the percentage; else the percentage. Always within the text.
    static int locate(const QString &text, const SyncPlace &place);
};
