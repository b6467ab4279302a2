#pragma once

#include "Book.h"

#include <QFont>
#include <QList>
#include <QObject>

#include <vector>

class QFontMetrics;
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
    bool openBook(const QString &path);
    void closeBook();
    /// Lays the page out again from the same first character.
    void refresh();
    /// Page and chapter moves; false when there is nowhere to go.
    bool nextPage();
    bool previousPage();
    bool nextChapter();
    bool previousChapter();
    void jumpTo(int offset);
    /// Bookmarks the page; false when no book is open or the save failed.
    bool addBookmark();

    /// How many characters of `text` from `from` (never past `to`) fit on one
    /// page; with `store` the lines and the page length are kept.
    int layoutPage(const QString &text, int from, int to, bool store);
    /// The page, or the start screen when there is nothing to show.
    void paint(QPainter *painter);

signals:
    void changed();

private slots:
    void onTextCompleted();

private:
    int largestFitting(const QFontMetrics &metrics, const QString &segment, int start, int width) const;
    struct LineEstimate
    {
        int count = 0;          // characters whose advances fit
        bool plain = true;      // the sums are exact up to one past `count`
        bool nextClear = false; // one more surely overshoots
    };
    static bool isPlainCjk(QChar c);
    LineEstimate estimateLine(const QString &segment, int width);
    int lineLength(const QFontMetrics &metrics, const QString &segment, int width, int previous);
    void prepareAdvances(const QFont &font);
    bool pageShowsText() const;
    /// Where the page that ends exactly at `end` starts; lays it out.
    int startOfPageEndingAt(int end);
    void paintPage(QPainter *painter);
    void paintStartScreen(QPainter *painter);

    // Advances of single characters in the page font (NaN: not measured
    // yet), to guess where a line ends before measuring it for real.
    QFont advanceFont;
    std::vector<float> advances;
    qreal advanceMargin = 0;
    std::vector<qreal> prefixSums; // of the line being estimated

    QList<int> lines_;
    int position_ = 0;
    int pageLength_ = 0;
    Book book_;
    ReaderConfig *config_;
};
