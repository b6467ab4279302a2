#pragma once

#include "Chapter.h"

#include <QList>
#include <QString>

/// Where "跳转" goes: a percentage of the book ("37.5%"), landing at the
/// start of the line that holds that place, or a chapter by the number its
/// heading carries ("12", "第12章", "第十二章"; ASCII, full-width or Chinese
/// numerals). Where no heading carries a number, the number counts the
/// chapters of the list instead.
struct JumpTarget
{
    int offset = -1;
    QString error; // why not, when offset is -1

    /// The place `input` names in `text`, whose chapters are `chapters`.
    static JumpTarget parse(const QString &input, const QString &text, const QList<Chapter> &chapters);
    /// The number written in Arabic, full-width or Chinese numerals
    /// ("12", "１２", "十二", "一百零八", "两千"); -1 for none.
    static qint64 numberIn(const QString &numerals);
    /// The number a heading carries ("第十二章 风起" → 12); -1 for none.
    static qint64 headingNumber(const QString &heading);
};
