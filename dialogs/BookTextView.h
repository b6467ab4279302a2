#pragma once

#include "BookTextLayout.h"

#include <QAbstractScrollArea>
#include <QTextLayout>
#include <QVector>

/// A read-only view of a whole book's text that lays out only the lines on
/// screen, wrapped at the view's width.
///
/// The vertical scroll bar counts characters: its value is the offset of the
/// first line on screen, so it spans the whole book without anything being
/// measured in advance. Arrow keys, pages, the wheel and the scroll bar's own
/// steps move by visual lines.
///
/// Positions are offsets in the text. The cursor is shown only as its
/// selection, in the palette's highlight colours; marks are a background
/// colour on ranges the owner sets for what is on screen.
class BookTextView : public QAbstractScrollArea
{
    Q_OBJECT
    Q_PROPERTY(QString placeholderText READ placeholderText WRITE setPlaceholderText)

public:
    explicit BookTextView(QWidget *parent = nullptr);
    ~BookTextView() override;

    /// Shares `text` (it is not copied). The cursor goes to 0, marks are dropped.
    void setText(const QString &text);
    const QString &text() const { return lines.text(); }
    QString placeholderText() const { return placeholder; }
    void setPlaceholderText(const QString &text);

    int cursorPosition() const { return position; }
    int selectionStart() const { return qMin(anchor, position); }
    int selectionEnd() const { return qMax(anchor, position); }
    bool hasSelection() const { return anchor != position; }
    QString selectedText() const;
    /// Both scroll the cursor's line into view.
    void setCursorPosition(int offset);
    void setSelection(int start, int end);

    /// Scrolls so that the line of `offset` is the first on screen, or as
    /// near the top as the end of the text allows.
    void showAtTop(int offset);
    int firstVisibleOffset() const { return visibleFrom; }
    /// End of the last line on screen, partly shown ones included.
    int visibleEnd() const { return visibleTo; }
    /// The cursor position nearest to a point of the viewport.
    int offsetAt(const QPoint &point);
    /// Where the cursor would be drawn at `offset`, in viewport coordinates;
    /// empty when that is not on screen.
    QRect cursorRect(int offset);

    /// Ranges [start, start + length) shown with the mark colour; meant for
    /// those on screen, not for every occurrence in the book.
    void setMarks(const QVector<int> &starts, int length);
    QVector<int> markStarts() const { return marks; }
    int markLength() const { return marksLength; }
    void setMarkColor(const QColor &color);

signals:
    /// The part of the text on screen has changed (scrolling, size, text).
    void visibleRangeChanged();

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;
    void keyPressEvent(QKeyEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;

private:
    using Line = BookTextLayout::Line;

    void relayout();
    void updateScrollRange();
    void updateVisibleRange();
    void setTop(Line line);
    void scrollByLines(int count);
    void ensureVisible(int offset);
    void onScrollAction(int action);
    int fullyVisibleLines();
    /// The top line of a screen whose last whole line is `last`.
    Line topShowingLast(Line last);
    qreal textHeight() const;
    QVector<QTextLayout::FormatRange> formatsIn(int block, int end) const;
    void paintPlaceholder(QPainter *painter);

    BookTextLayout lines;
    QString placeholder;
    Line top;
    int topOffset = 0;
    // The offset whose line stays first on screen when the lines change.
    int topAnchor = 0;
    int maxTopOffset = 0;
    int visibleFrom = 0;
    int visibleTo = 0;
    int anchor = 0;
    int position = 0;
    QVector<int> marks;
    int marksLength = 0;
    QColor markColor;
    int wheelRemainder = 0;
    bool movingScrollBar = false;
};
