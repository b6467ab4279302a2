#pragma once

#include <QString>
#include <QVector>

/// Where "跳转" goes: a percentage of the book ("37.5%") or a chapter
/// number ("12", or "第12章"). ASCII and full-width digits alike.
struct JumpTarget
{
    int offset = -1;
    QString error; // why not, when offset is -1

    /// The place `input` names in a book of `length` characters whose
    /// chapters start at `chapterStarts`.
    static JumpTarget parse(const QString &input, int length, const QVector<int> &chapterStarts);
};
