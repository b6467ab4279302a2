// The bookmarks of the book: what the bookmark file keeps (places in the
// decoded text, described from it) and what the reader shows (the same
// places in the shown text, described from that).

#include "Book.h"

namespace {
const int kSummaryLength = 100;
} // namespace

// The description of the place `offset` of `text`, whose chapter is `chapter`
// (at `headingStart`, its heading ending at `headingEnd`).
static Bookmark describe(const QString &text, int offset, const QString &title, int headingStart, int headingEnd,
                         bool autoSave)
{
    int summaryStart = offset == headingStart ? headingEnd : offset;
    // Offsets from a damaged or outdated file are kept as they are, but never
    // used to read outside the text.
    summaryStart = qBound(0, summaryStart, text.size());
    return Bookmark{offset, autoSave ? title + Book::tr("（自动保存）") : title,
                    text.mid(summaryStart, kSummaryLength).trimmed()};
}

Bookmark Book::makeBookmark(int offset, bool autoSave) const
{
    const Chapter chapter = chapterAt(offset);
    const int headingEnd = chapter.offset + chapter.title.size();
    if (shown_.map().isIdentity())
        return describe(decoded_, offset, chapter.title, chapter.offset, headingEnd, autoSave);
    // What is stored does not depend on what is shown.
    const int start = decodedOffset(chapter.offset);
    const int end = decodedOffset(headingEnd);
    const QString title = chapter.valid ? decoded_.mid(start, end - start).trimmed() : QString();
    return describe(decoded_, decodedOffset(offset), title, chapter.valid ? start : -1, end, autoSave);
}

Bookmark Book::shownBookmark(int decodedOffset, bool autoSave) const
{
    const int offset = shownOffset(decodedOffset);
    const Chapter chapter = chapterAt(offset);
    return describe(text(), offset, chapter.title, chapter.offset, chapter.offset + chapter.title.size(), autoSave);
}

QList<Bookmark> Book::bookmarks() const
{
    if (shown_.map().isIdentity())
        return bookmarks_.bookmarks();
    if (shownBookmarksAt != bookmarkChanges) {
        shownBookmarks.clear();
        const QList<Bookmark> &stored = bookmarks_.bookmarks();
        for (int i = 0; i < stored.size(); ++i)
            shownBookmarks << shownBookmark(stored.at(i).offset, i == 0);
        shownBookmarksAt = bookmarkChanges;
    }
    return shownBookmarks;
}

bool Book::addBookmark(int offset, bool autoSave)
{
    if (!open_)
        return false;
    if (!isComplete()) {
        // Only a new book's first place comes here before its text is read.
        waitForText();
    }
    const Bookmark bookmark = makeBookmark(offset, autoSave);
    ++bookmarkChanges;
    return autoSave ? bookmarks_.setPlace(bookmark) : bookmarks_.add(bookmark);
}

bool Book::removeBookmark(int index)
{
    ++bookmarkChanges;
    return open_ && bookmarks_.remove(index);
}

void Book::loadBookmarks()
{
    ++bookmarkChanges;
    if (bookmarks_.load(path_))
        return;
    // A book without a bookmark file gets one with its reading place at
    // once, or as soon as its text is read.
    if (isComplete())
        addBookmark(0, true);
    else
        firstPlacePending = true;
}
