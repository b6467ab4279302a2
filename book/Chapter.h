#pragma once

#include <QString>

/// One chapter heading found in a book: the trimmed heading line and the
/// offset where the heading starts (its "第" under the standard rule, the
/// line's first non-space character otherwise). `valid` is false only in the
/// empty entry that a lookup returns when it finds nothing.
struct Chapter
{
    QString title;
    int offset = 0;
    bool valid = false;
};
