#pragma once

#include <QString>

/// One chapter heading found in a book: the trimmed heading line and the
/// offset of its "第". `valid` is false only in the empty entry that a lookup
/// returns when it finds nothing.
struct Chapter
{
    QString title;
    int offset = 0;
    bool valid = false;
};
