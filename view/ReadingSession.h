#pragma once

#include "Book.h"
#include "GraphemeBreaks.h"

#include <QObject>
#include <QPair>

/// What a reading session needs of the page on screen: how much of the text
/// fits on it from a place. The Reader lays pages out; tests may use others.
class Pager
{
public:
    virtual ~Pager() = default;
    /// How many characters of `text` from `from` (never past `to`) fit on one
    /// page; with `store` that page becomes the one shown.
    virtual int layoutPage(const QString &text, int from, int to, bool store) = 0;
    /// Characters on the page shown, from its last stored layout.
    virtual int pageLength() const = 0;
    /// The page shown holds at least one character.
    virtual bool pageShowsText() const = 0;
    /// More characters than any page can hold.
    virtual int mostOnAPage() const = 0;
};

/// The open book and the reading place: opening and closing, page and
/// chapter moves, jumps and the automatic bookmark that follows every move.
/// Needs no widget: the commands of the reader run against it.
class ReadingSession : public QObject
{
    Q_OBJECT

public:
    explicit ReadingSession(Pager *pager);

    Book *book() { return &book_; }
    const Book *book() const { return &book_; }
    /// Offset of the first character of the page on screen.
    int position() const { return position_; }
    /// Offset just past the last character of the page on screen.
    int pageEnd() const { return position_ + pager->pageLength(); }

    /// Opens the book at its automatic bookmark; false when the file could
    /// not be opened (the current book then stays).
    bool openBook(const QString &path, TextEncoding encoding = TextEncoding::Auto);
    /// Reads the open book again in `encoding`, keeping the page at the same
    /// bytes of the file.
    bool reopenIn(TextEncoding encoding);
    void closeBook();
    /// Lays the page out again from the same first character.
    void refresh();
    /// Page and chapter moves; false when there is nowhere to go.
    bool nextPage();
    bool previousPage();
    bool nextChapter();
    bool previousChapter();
    /// Moves to `offset`, or to the start of the grapheme cluster it falls
    /// in; a place on the book's last page shows that page whole.
    void jumpTo(int offset);
    /// Bookmarks the page; false when no book is open or the save failed.
    bool addBookmark();
    /// Where the page starts in the book, as a percentage with one decimal,
    /// and the chapter's title: "37.5%  第三章 风起". Empty without a book.
    QString progressText() const;

signals:
    /// The page may look different.
    void changed();

private slots:
    void onTextChanged();

private:
    /// Where the page that ends exactly at `end` starts; lays it out.
    int startOfPageEndingAt(int end);
    bool moveToChapter(int index);

    Book book_;
    Pager *pager;
    GraphemeBreaks graphemes;
    int position_ = 0;
    QPair<int, qint64> switchedAt{-1, 0}; // where the last change of encoding left the page, and its byte
};
