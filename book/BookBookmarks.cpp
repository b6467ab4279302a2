// The bookmarks of a Book: where they are kept, reading them, and saving
// them through the background writer.

#include "Book.h"

#include "BookmarkFile.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {
const int kSummaryLength = 100;
} // namespace

int Book::clampedOffset(int offset) const
{
    return qBound(0, offset, text_.size());
}

bool Book::addBookmark(int offset, bool autoSave)
{
    if (!open_)
        return false;
    waitForText();
    const Chapter chapter = chapterAt(offset);
    int summaryStart = offset;
    if (offset == chapter.offset)
        summaryStart = offset + chapter.title.size();
    // Offsets from a damaged or outdated file are kept as they are, but never
    // used to read outside the text.
    summaryStart = clampedOffset(summaryStart);
    const QString summary = text_.mid(summaryStart, kSummaryLength).trimmed();
    QString title = chapter.title;
    if (autoSave) {
        title += tr("（自动保存）");
        if (!bookmarks_.isEmpty()) {
            Bookmark &automatic = bookmarks_[0];
            automatic.offset = offset;
            automatic.title = title;
            automatic.summary = summary;
            // A page turn never waits for the disk: the writer saves the
            // newest place in the background.
            return saveBookmarks();
        }
    }
    bookmarks_.append(Bookmark{offset, title, summary});
    return saveBookmarksNow();
}

bool Book::removeBookmark(int index)
{
    if (!open_ || index >= bookmarks_.size())
        return false;
    if (index >= 0)
        bookmarks_.removeAt(index);
    saveBookmarksNow();
    return true;
}

int Book::lastReadOffset() const
{
    return bookmarks_.isEmpty() ? 0 : bookmarks_.first().offset;
}

QString Book::bookmarkPath() const
{
    return bookmarkPath_.isEmpty() ? BookmarkFile::pathFor(path_) : bookmarkPath_;
}

// The file beside the book wins, unless the per-user copy is newer: that one
// was written because the folder beside the book could not be.
QString Book::chooseBookmarkPath() const
{
    return chooseBookmarkPath(path_);
}

QString Book::chooseBookmarkPath(const QString &bookPath)
{
    const QString beside = BookmarkFile::pathFor(bookPath);
    const QString fallback = BookmarkFile::fallbackPathFor(bookPath);
    const QFileInfo besideInfo(beside);
    const QFileInfo fallbackInfo(fallback);
    const bool besideReadable = besideInfo.isFile() && besideInfo.isReadable();
    if (!fallbackInfo.isFile())
        return besideInfo.exists() && !besideReadable ? fallback : beside;
    if (besideReadable && besideInfo.lastModified() >= fallbackInfo.lastModified())
        return beside;
    return fallback;
}

// Where the reader will open the book at `bookPath`: the automatic bookmark.
int Book::firstBookmarkOffset(const QString &bookPath)
{
    QFile file(chooseBookmarkPath(bookPath));
    QList<Bookmark> bookmarks;
    if (file.open(QIODevice::ReadOnly))
        BookmarkFile::read(file, &bookmarks);
    return bookmarks.isEmpty() ? 0 : bookmarks.first().offset;
}

void Book::loadBookmarks()
{
    bookmarks_.clear();
    keepDamagedFile = false;
    bookmarkPath_ = chooseBookmarkPath();
    if (bookmarkPath_ != BookmarkFile::pathFor(path_))
        emit bookmarksRelocated(bookmarkPath_);
    QFile file(bookmarkPath_);
    if (!file.exists()) {
        addBookmark(0, true);
        return;
    }
    if (file.open(QIODevice::ReadOnly) && BookmarkFile::read(file, &bookmarks_))
        return;
    file.close();
    const QString backup = backUpDamagedFile(bookmarkPath_);
    keepDamagedFile = backup.isEmpty();
    emit bookmarksDamaged(bookmarks_.size(), backup);
}

// Beside the damaged file, else in the per-user folder; empty when neither works.
QString Book::backUpDamagedFile(const QString &path) const
{
    const QStringList candidates = {path + QStringLiteral(".bak"),
                                    BookmarkFile::fallbackPathFor(path_) + QStringLiteral(".bak")};
    for (const QString &backup : candidates) {
        QDir().mkpath(QFileInfo(backup).absolutePath());
        QFile::remove(backup);
        if (QFile::copy(path, backup))
            return backup;
    }
    return QString();
}

bool Book::saveBookmarks()
{
    if (!open_)
        return false;
    if (bookmarkPath_.isEmpty())
        bookmarkPath_ = chooseBookmarkPath();
    if (keepDamagedFile && QFile::exists(bookmarkPath_)) {
        lastSaveError_ = tr("书签文件已损坏且无法备份，为保全它不再写入");
        emit bookmarkSaveFailed(lastSaveError_);
        return false;
    }
    QDir().mkpath(QFileInfo(bookmarkPath_).absolutePath());
    writer.submit(bookmarkPath_, BookmarkFile::serialize(bookmarks_));
    return true;
}

bool Book::saveBookmarksNow()
{
    return saveBookmarks() && settleSaves();
}

void Book::flushBookmarks()
{
    settleSaves();
}

// Waits for the writer and deals with how the last save ended here and now:
// a book closed right after a move must not lose the move to a folder it
// could not write.
bool Book::settleSaves()
{
    writer.flush();
    if (bookmarkPath_.isEmpty())
        return true;
    BookmarkFile::SaveResult result = writer.lastResult(bookmarkPath_);
    if (!result.ok && result.cannotCreate && relocate())
        result = writer.lastResult(bookmarkPath_);
    lastSaveError_ = result.ok ? QString() : result.error;
    return result.ok;
}

// The folder beside the book cannot be written: the per-user copy takes over.
bool Book::relocate()
{
    const QString fallback = BookmarkFile::fallbackPathFor(path_);
    if (bookmarkPath_ == fallback)
        return false;
    bookmarkPath_ = fallback;
    keepDamagedFile = false;
    saveBookmarks();
    writer.flush();
    if (!writer.lastResult(fallback).ok)
        return false; // the per-user folder cannot be written either
    emit bookmarksRelocated(fallback);
    return true;
}

void Book::onWritten(const QString &path, const BookmarkFile::SaveResult &result)
{
    if (path != bookmarkPath_)
        return; // another book's, or a place given up
    if (!result.ok && result.cannotCreate && relocate())
        return;
    lastSaveError_ = result.ok ? QString() : result.error;
    if (!result.ok)
        emit bookmarkSaveFailed(result.error);
}
