#pragma once

#include "Bookmark.h"
#include "Chapter.h"
#include "ChapterRule.h"
#include "decodeText.h"

#include <QDeadlineTimer>
#include <QList>
#include <QMutex>
#include <QObject>
#include <QString>

#include <memory>

class ParseContentThread;

/// The open book: its path, title and decoded text, the chapters a worker
/// thread finds in it, and its bookmarks with their file beside the book.
///
/// The chapter list is filled on the worker while the GUI reads it. Readers
/// never get a reference into it: chapters() returns a snapshot copied under
/// the lock, and chapterCount(), chapter(), chapterAt() and chapterIndexAt()
/// each take the lock for their one look-up.
class Book : public QObject
{
    Q_OBJECT

public:
    /// Larger files are refused by open(): their text could not be held.
    static constexpr qint64 MaxFileSize = qint64(1) << 30;

    Book();
    ~Book() override;

    /// Loads and decodes the file (in `encoding`, or the one it looks like),
    /// loads its bookmarks and starts the chapter parse. False for a missing,
    /// unreadable or too large file, and then nothing changes.
    bool open(const QString &path, TextEncoding encoding = TextEncoding::Auto);
    /// Forgets title, text, chapters and bookmarks; path and length stay.
    void clear();

    bool hasText() const { return !text_.isEmpty(); }
    const QString &text() const { return text_; }
    int length() const { return length_; }
    QString path() const { return path_; }
    QString title(bool withBrackets = false) const;
    /// The encoding the open book was read in: the one asked for, or the one
    /// Auto chose.
    TextEncoding textEncoding() const { return encoding_; }

    QList<Chapter> chapters() const;
    int chapterCount() const;
    int chapterIndexAt(int offset) const;
    Chapter chapterAt(int offset) const;
    Chapter chapter(int index) const;
    /// Uses `rule` for this and later books, parsing the open book again in
    /// the background (chaptersReady() at the end). An invalid custom rule is
    /// taken as Standard; an unchanged rule does nothing.
    void setChapterRule(const ChapterRule &rule);
    ChapterRule chapterRule() const { return rule_; }
    /// How many chapters `rule` finds in the open text, for a preview on the
    /// GUI thread: gives up at `deadline`, and *complete then says false.
    int countChapters(const ChapterRule &rule, QDeadlineTimer deadline = QDeadlineTimer(QDeadlineTimer::Forever),
                      bool *complete = nullptr) const;
    /// Waits for a running chapter parse to end (tools and tests).
    void waitForChapters();
    bool isParsing() const;

    QList<Bookmark> &bookmarks() { return bookmarks_; }
    bool addBookmark(int offset, bool autoSave);
    bool autoSaveBookmark(int offset) { return addBookmark(offset, true); }
    bool removeBookmark(int index);
    int lastReadOffset() const;
    void loadBookmarks();
    void saveBookmarks();
    QString bookmarkPath() const;

signals:
    /// The chapter parse has ended or was stopped: views opened while it ran
    /// can now show every chapter it found.
    void chaptersReady();

public slots:
    void onParseEnd();

private:
    void startParse();
    int chapterIndexAtLocked(int offset) const;
    int clampedOffset(int offset) const;

    QString path_;
    QString title_;
    QString text_;
    QList<Chapter> chapters_;
    QList<Bookmark> bookmarks_;
    int length_ = 0;
    TextEncoding encoding_ = TextEncoding::Auto;
    ChapterRule rule_;
    std::unique_ptr<ParseContentThread> parser;
    mutable QMutex chapterLock;
    // Set when the bookmark file could not be read: the next save first
    // keeps that file as ".bak", so the user can still recover it.
    bool bookmarkFileDamaged = false;
};
