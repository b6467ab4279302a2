#pragma once

#include "Book.h"
#include "GraphemeBreaks.h"
#include "LineBreaker.h"
#include "PunctuationRules.h"

#include <QList>
#include <QObject>

class QPainter;
class ReaderConfig;

/// The reading position and the page on screen: which characters of the book
/// stand on which line. Every move is stored as the book's automatic bookmark.
class Reader : public QObject
{
    Q_OBJECT

public:
    explicit Reader(ReaderConfig *config);

    Book *book() { return &book_; }
    ReaderConfig *config() const { return config_; }
    int position() const { return position_; }
    int pageLength() const { return pageLength_; }
    /// Characters per line of the page on screen, line feeds included.
    QList<int> lines() const { return lines_; }

    /// Opens the book at its automatic bookmark; false when the file could
    /// not be opened (the current book then stays).
    bool openBook(const QString &path, TextEncoding encoding = TextEncoding::Auto);
    /// Reads the open book again in `encoding`, keeping the page at the same
    /// text as far as the two readings allow.
    bool reopenIn(TextEncoding encoding);
    void closeBook();
    /// Lays the page out again from the same first character.
    void refresh();
    /// Page and chapter moves; false when there is nowhere to go.
    bool nextPage();
    bool previousPage();
    bool nextChapter();
    bool previousChapter();
    /// Moves to `offset`, or to the start of the grapheme cluster it falls in.
    void jumpTo(int offset);
    /// Bookmarks the page; false when no book is open or the save failed.
    bool addBookmark();

    /// How many characters of `text` from `from` (never past `to`) fit on one
    /// page; with `store` the lines and the page length are kept. `from`
    /// should start a grapheme cluster; no line ends inside one, and a `to`
    /// inside one stops the page before it. With the punctuation rules on, a
    /// line may reach one mark past the page width (a closing mark, or the
    /// second half of a dash or ellipsis pair, hangs).
    int layoutPage(const QString &text, int from, int to, bool store);
    /// The page, or the start screen when there is nothing to show.
    void paint(QPainter *painter);
    /// Where the page starts in the book, as a percentage with one decimal,
    /// and the chapter's title: "37.5%  第三章 风起". Empty without a book.
    QString progressText() const;
    /// Where the lines of the page go: the text area, less the progress line
    /// when it is shown.
    QRect textArea() const;

signals:
    void changed();

private slots:
    void onTextCompleted();

private:
    bool pageShowsText() const;
    /// Where the page that ends exactly at `end` starts; lays it out.
    int startOfPageEndingAt(int end);
    void paintPage(QPainter *painter);
    void paintProgress(QPainter *painter);
    QFont progressFont() const;
    void paintLine(QPainter *painter, const QPoint &at, QString line, bool hangs);
    void paintStartScreen(QPainter *painter);

    GraphemeBreaks graphemes_;
    LineBreaker lineBreaker_{&graphemes_};
    PunctuationRules punctuation_{&graphemes_};

    QList<int> lines_;
    QList<int> hangingLines_; // indexes of lines that keep a mark past the page width
    int position_ = 0;
    int pageLength_ = 0;
    QPair<int, qint64> switchedAt{-1, 0}; // where the last change of encoding left the page, and its byte
    Book book_;
    ReaderConfig *config_;
};
