#pragma once

#include "BookIndex.h"
#include "BookText.h"
#include "Bookmark.h"
#include "BookmarkStore.h"
#include "Chapter.h"
#include "ChapterRule.h"
#include "ShownText.h"
#include "TextTransform.h"
#include "decodeText.h"

#include <QDeadlineTimer>
#include <QFutureWatcher>
#include <QList>
#include <QMutex>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>

class ParseContentThread;

/// The open book: its path, title and decoded text, the chapters a worker
/// thread finds in it, and its bookmarks with their file beside the book.
///
/// The chapter list is filled on the worker while the GUI reads it. Readers
/// never get a reference into it: chapters() returns a snapshot copied under
/// the lock, and chapterCount(), chapter(), chapterAt() and chapterIndexAt()
/// each take the lock for their one look-up.
///
/// A long book opened before opens at once: its index (in the cache folder)
/// tells which stretch of the file holds the reading place, and only that
/// is read before open() returns; the rest follows on a worker. Until then
/// text() holds just that stretch (isComplete() is false); waitForText()
/// waits for the rest, and everything else behaves as for a book read whole.
///
/// The bookmarks are the BookmarkStore's, which the book owns; the book
/// makes their titles and summaries from its text and chapters.
///
/// What the book shows may differ from what the file holds: a TextTransform
/// (clean-up rules, another script, tidied paragraphs) makes the shown text
/// from the decoded one. text(), chapters and every offset of this interface
/// are the shown text's; the bookmark file keeps offsets into the decoded
/// text, and the book converts at that border, so a transform turned on and
/// off changes nothing stored.
class Book : public QObject
{
    Q_OBJECT

public:
    /// Larger files are refused by open(), from their size alone: the text
    /// of a larger one might not fit in a string.
    static constexpr qint64 MaxFileSize = qint64(1023) << 20;

    /// Why a file cannot be opened as a book.
    enum OpenError { NoError, NotFound, IsFolder, NotRegular, NoPermission, TooLarge, ReadFailed };
    Q_ENUM(OpenError)

    Book();
    ~Book() override;

    /// What open() would say of `path`, without reading it.
    static OpenError check(const QString &path);
    /// True for a file that plainly is not text: an executable, an image, an
    /// archive, or NUL bytes where UTF-16 would not put them.
    static bool looksBinary(const QString &path);

    /// Loads and decodes the file (in `encoding`, or the one it looks like),
    /// loads its bookmarks and starts the chapter parse. False for a file
    /// that cannot be opened (openError() says why), and then nothing changes.
    bool open(const QString &path, TextEncoding encoding = TextEncoding::Auto);
    OpenError openError() const { return openError_; }
    /// Forgets title, text, chapters and bookmarks; path and length stay.
    void clear();
    /// A book was opened and not closed since.
    bool isOpen() const { return open_; }
    /// Changes whenever another book is opened or the book is closed: a
    /// command that waited (a dialog) checks it before it acts on the book.
    quint64 serial() const { return serial_; }

    bool hasText() const { return !decoded_.isEmpty(); }
    /// The whole text is read and shaped; until then only the stretch around
    /// the reading place is (see above).
    bool isComplete() const { return complete_ && shown_.isComplete(); }
    /// Waits until the whole text is read (at once when it is).
    void waitForText();
    /// Where the text read so far begins: 0 once complete, else the start
    /// of the stretch (a line start). Nothing before it may be looked at.
    int readFrom() const { return complete_ ? 0 : shownOffset(readFrom_); }
    /// The text as shown.
    const QString &text() const { return shown_.text(); }
    /// The text as the file holds it, before any transform: what stored
    /// offsets (the bookmark file's) count in.
    const QString &decodedText() const { return decoded_; }
    /// A place of the shown text in the decoded text, and back; a character
    /// the transform removed maps to the nearest kept one.
    int decodedOffset(int shown) const { return shown_.map().isIdentity() ? shown : shown_.map().toSource(shown); }
    int shownOffset(int decoded) const { return shown_.map().isIdentity() ? decoded : shown_.map().toShown(decoded); }
    int length() const { return shown_.text().size(); }
    QString path() const { return path_; }
    QString title(bool withBrackets = false) const;
    /// The encoding the open book was read in: the one asked for, or the one
    /// Auto chose.
    TextEncoding textEncoding() const { return encoding_; }
    /// How the text was read: finer than the encoding (GBK or GB18030).
    TextReading textReading() const { return reading_; }
    /// Where in the file the character at `position` starts, and back: the
    /// same bytes whatever encoding the book is read in next.
    qint64 byteOffsetOf(int position) const;
    int offsetAtByte(qint64 byte) const;
    /// Where a place of the text shown before the last textChanged() stands
    /// now: the same words, unless the book was changed in place since its
    /// index was made.
    int carriedPlace(int position) const { return shown_.carried(position, placeShift_); }
    /// How the book finds the transform for a book file (null: none); asked
    /// at every open.
    void setTransformSource(std::function<std::shared_ptr<const TextTransform>(const QString &path)> source);
    /// Asks for the open book's transform again and shows the text it makes,
    /// keeping the place (textChanged()).
    void reshape();
    /// A search in the shown text matches other forms of the characters too
    /// when this says so: search foldedForSearch(text()) for the folded keyword.
    bool foldsForSearch() const { return shown_.hasTransform() && shown_.currentTransform()->foldsForSearch(); }
    QString foldedForSearch(const QString &text) const
    {
        return foldsForSearch() ? shown_.currentTransform()->foldedForSearch(text) : text;
    }

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
                      bool *complete = nullptr, int *scanned = nullptr);
    /// A scan by a user's pattern gives up after this long (ms).
    static constexpr int CustomRuleBudget = 10000;
    void setCustomRuleBudget(int budget);
    /// Waits for a running chapter parse to end (tools and tests).
    void waitForChapters();
    bool isParsing() const;

    /// The bookmarks at their places in the shown text, titled from it.
    QList<Bookmark> bookmarks() const;
    BookmarkStore *bookmarkStore() { return &bookmarks_; }
    /// Makes a bookmark (the reading place when `autoSave`) and saves the
    /// list; false when no book is open or the save failed (the bookmark is
    /// kept all the same and saved with the next one).
    bool addBookmark(int offset, bool autoSave);
    bool autoSaveBookmark(int offset) { return addBookmark(offset, true); }
    bool removeBookmark(int index);
    int lastReadOffset() const { return shownOffset(bookmarks_.lastReadOffset()); }
    /// Waits until every queued save is written.
    void flushBookmarks() { bookmarks_.flush(); }
    /// Where the bookmarks are read from and written to.
    QString bookmarkPath() const { return bookmarks_.path(); }
    /// Why the last save failed; empty after a good one.
    QString lastSaveError() const { return bookmarks_.lastSaveError(); }

signals:
    /// The chapter parse has ended or was stopped: views opened while it ran
    /// can now show every chapter it found.
    void chaptersReady();
    /// The book is about to be closed or replaced by another.
    void replaced();
    /// The whole text is read and shaped (see isComplete()).
    void textCompleted();
    /// text() was replaced: carriedPlace() tells where a place went.
    void textChanged();
    /// The transform left out rules that ran over their time (their names).
    void transformRanOver(const QStringList &names);
    /// The scan by the user's pattern ran out of its budget: `found`
    /// chapters, from the start of the book.
    void chapterRuleTooSlow(int found);

public slots:
    void onParseEnd();
    /// Starts reading the rest of a book opened from a stretch (the window
    /// calls it once the first page is on screen).
    void readRest();

private slots:
    void completeText();
    void onShaped();

private:
    void startParse();
    int chapterIndexAtLocked(int offset) const;
    bool openStretch(const QString &path, TextEncoding encoding, const BookIndex &index);
    void adopt(const QString &path, const QString &text, TextEncoding encoding);
    Bookmark makeBookmark(int offset, bool autoSave) const;
    Bookmark shownBookmark(int decodedOffset, bool autoSave) const;
    bool openStart(const QString &path, TextEncoding encoding);
    void loadBookmarks();
    int stretchShift();

    QString path_;
    QString title_;
    QString decoded_;
    ShownText shown_;
    QList<Chapter> chapters_;
    std::function<std::shared_ptr<const TextTransform>(const QString &)> transformSource;
    mutable QList<Bookmark> shownBookmarks; // bookmarks() of a transformed book, while `bookmarkChanges` holds
    mutable quint64 shownBookmarksAt = ~quint64(0);
    quint64 bookmarkChanges = 0;
    bool firstPlacePending = false; // a new book's place is stored once its text is read
    bool indexWhenRead = false;
    TextEncoding encoding_ = TextEncoding::Auto;
    TextReading reading_ = TextReading::Utf8;
    BookIndex::Stretch stretch_; // of a book opened from its index
    QString stretchText;         // what that stretch read as
    int placeShift_ = 0;
    ChapterRule rule_;
    int customRuleBudget = CustomRuleBudget;
    std::unique_ptr<ParseContentThread> parser;
    mutable QMutex chapterLock;
    OpenError openError_ = NoError;
    bool open_ = false;
    quint64 serial_ = 0;
    bool complete_ = true;
    QFutureWatcher<BookText> reading;
    TextEncoding restEncoding = TextEncoding::Auto;
    bool restStarted = false;
    int readFrom_ = 0;
    BookmarkStore bookmarks_;
};
