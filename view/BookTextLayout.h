#pragma once

#include <QCache>
#include <QFont>
#include <QString>

class QTextLayout;

/// The visual lines of a book's text at one width, laid out only where asked.
///
/// The text is cut into blocks that are laid out one by one: a paragraph, or,
/// in a paragraph longer than kMaxBlock characters, the pieces between
/// multiples of kMaxBlock. No block costs more than a few thousand characters
/// to lay out, and the block around any offset is found by looking at most
/// about twice that far, so there is no pass or index over the whole text.
class BookTextLayout
{
public:
    /// A visual line: the start of its block and its number in the block.
    struct Line
    {
        int block = 0;
        int number = 0;
    };

    static const int kMaxBlock = 4096;

    BookTextLayout();
    ~BookTextLayout();

    /// Shares `text`, which is never copied as a whole.
    void setText(const QString &text);
    const QString &text() const { return bookText; }
    void setFont(const QFont &font);
    void setWidth(qreal width);

    /// Start of the block that holds `offset` (a paragraph's end belongs to
    /// its last block).
    int blockAt(int offset) const;
    /// End of the block, before its line feed if it ends a paragraph.
    int blockEnd(int block) const;
    /// Start of the next or previous block, or -1 at either end.
    int nextBlock(int block) const;
    int previousBlock(int block) const;
    /// The block laid out. Valid until the next call: it may drop others.
    QTextLayout *layout(int block);

    Line lineAt(int offset);
    /// Move to the next or previous line; false (and unchanged) at either end.
    bool nextLine(Line *line);
    bool previousLine(Line *line);
    /// Moves up to `count` lines down (up when negative).
    Line moved(Line line, int count);
    int lineStart(const Line &line);
    int lineEnd(const Line &line);
    qreal lineHeight(const Line &line);

private:
    bool isLongParagraph(int start) const;
    bool endsParagraph(int offset) const;
    int boundary(int piece) const;
    int boundaryAtOrBefore(int offset) const;
    int boundaryAfter(int offset) const;
    int lastLineFeed(int from, int limit) const;
    int firstLineFeed(int from, int end) const;

    QString bookText;
    QFont font;
    qreal width = 1;
    QCache<int, QTextLayout> layouts;
};
