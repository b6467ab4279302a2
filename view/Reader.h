#pragma once

#include "DelayRun.h"
#include "GraphemeBreaks.h"
#include "LineBreaker.h"
#include "PunctuationRules.h"
#include "ReadingSession.h"

#include <QList>
#include <QObject>
#include <QRect>

class QPainter;
class ReaderConfig;

/// The page on screen: which characters of the book stand on which line, in
/// the page's rectangle, and the painting of them (or of the start screen).
/// The reading place and the moves are its session's.
class Reader : public QObject, public Pager
{
    Q_OBJECT

public:
    explicit Reader(ReaderConfig *config);

    ReadingSession *session() { return &session_; }
    Book *book() { return session_.book(); }
    ReaderConfig *config() const { return config_; }
    int position() const { return session_.position(); }
    int pageLength() const override { return pageLength_; }
    bool pageShowsText() const override;
    int mostOnAPage() const override;
    /// Characters per line of the page on screen, line feeds included.
    QList<int> lines() const { return lines_; }

    /// The page's rectangle in the window. A change lays the page out again
    /// once changes have settled (100 ms: a resize drags through many).
    /// True when it did not change.
    bool setPageRect(const QRect &rect);
    QRect pageRect() const { return pageRect_; }
    /// Where the lines of the page go: the page, less the progress line
    /// when it is shown.
    QRect textArea() const;
    /// Lays the page out again from the same first character.
    void refresh() { session_.refresh(); }

    /// How many characters of `text` from `from` (never past `to`) fit on one
    /// page; with `store` the lines and the page length are kept. `from`
    /// should start a grapheme cluster; no line ends inside one, and a `to`
    /// inside one stops the page before it. With the punctuation rules on, a
    /// line may reach one mark past the page width (a closing mark, or the
    /// second half of a dash or ellipsis pair, hangs).
    int layoutPage(const QString &text, int from, int to, bool store) override;
    /// The page, or the start screen when there is nothing to show.
    void paint(QPainter *painter);
    /// Underlines the text [start, end) where it stands on the page (the
    /// sentence read aloud); -1: nothing.
    void setMark(int start, int end);

signals:
    void changed();

private:
    void paintPage(QPainter *painter);
    void paintProgress(QPainter *painter);
    QFont progressFont() const;
    void paintLine(QPainter *painter, const QPoint &at, QString line, bool hangs, int markFrom, int markTo);
    void paintStartScreen(QPainter *painter);

    GraphemeBreaks graphemes_;
    LineBreaker lineBreaker_{&graphemes_};
    PunctuationRules punctuation_{&graphemes_};

    QList<int> lines_;
    QList<int> hangingLines_; // indexes of lines that keep a mark past the page width
    int pageLength_ = 0;
    int markStart = -1;
    int markEnd = -1;
    QRect pageRect_;
    DelayRun relayoutDelay{100};
    ReaderConfig *config_;
    ReadingSession session_{this};
};
