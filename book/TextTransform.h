#pragma once

#include "ChapterRule.h"
#include "OffsetMap.h"

#include <QString>
#include <QStringList>

#include <atomic>

/// What the reader does to a book's decoded text before it shows it (rules
/// that clean it, another script, tidied paragraphs): the shown text, and a
/// map from the decoded text onto it. Stored offsets keep counting in the
/// decoded text; the map converts both ways. Used from worker threads, so
/// everything here is const.
class TextTransform
{
public:
    virtual ~TextTransform() = default;

    /// The shown text of all of `decoded`, whose chapter headings `rule`
    /// finds. False when *cancel turned true (or memory ran out). Rules that
    /// ran over their time are left out and named in *runaway.
    virtual bool apply(const QString &decoded, const ChapterRule &rule, const std::atomic<bool> *cancel, QString *shown,
                       OffsetMap *map, QStringList *runaway) const = 0;
    /// The shown text of decoded[from, to) alone (both line starts or the
    /// ends), the same as that part of apply()'s result, for the first page
    /// before the whole book is done; *map counts from `from`.
    virtual bool applyToStretch(const QString &decoded, int from, int to, const ChapterRule &rule, QString *shown,
                                OffsetMap *map) const = 0;
    /// Whether a search should match in other forms of the characters too
    /// (another script is shown than the file's), through foldedForSearch():
    /// folded text and a folded keyword match at the same positions.
    virtual bool foldsForSearch() const { return false; }
    virtual QString foldedForSearch(const QString &text) const { return text; }
};
