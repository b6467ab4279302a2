#include "BookTextView.h"

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>

namespace {

// The margin QPlainTextEdit's document keeps around the text.
const int kMargin = 4;

} // namespace

BookTextView::BookTextView(QWidget *parent) : QAbstractScrollArea(parent), markColor(Qt::yellow)
{
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setCursor(Qt::IBeamCursor);
    lines.setFont(font());
    connect(verticalScrollBar(), &QAbstractSlider::actionTriggered, this, &BookTextView::onScrollAction);
    relayout();
}

BookTextView::~BookTextView() = default;

void BookTextView::setText(const QString &text)
{
    lines.setText(text);
    anchor = position = 0;
    marks.clear();
    marksLength = 0;
    top = Line();
    topOffset = topAnchor = 0;
    relayout();
}

void BookTextView::setPlaceholderText(const QString &text)
{
    placeholder = text;
    viewport()->update();
}

QString BookTextView::selectedText() const
{
    return text().mid(selectionStart(), selectionEnd() - selectionStart());
}

void BookTextView::setCursorPosition(int offset)
{
    setSelection(offset, offset);
}

void BookTextView::setSelection(int start, int end)
{
    anchor = qBound(0, start, text().size());
    position = qBound(0, end, text().size());
    // Its last character first, then its start: a selection that wraps is
    // shown whole, whichever way the view had to move.
    ensureVisible(qMax(selectionStart(), selectionEnd() - 1));
    ensureVisible(selectionStart());
    viewport()->update();
}

void BookTextView::showAtTop(int offset)
{
    setTop(lines.lineAt(offset));
    topAnchor = qBound(0, offset, text().size());
}

void BookTextView::setMarks(const QVector<int> &starts, int length)
{
    marks = starts;
    std::sort(marks.begin(), marks.end());
    marksLength = qMax(0, length);
    viewport()->update();
}

void BookTextView::setMarkColor(const QColor &color)
{
    markColor = color;
    viewport()->update();
}

qreal BookTextView::textHeight() const
{
    return viewport()->height() - 2 * kMargin;
}

// Everything that depends on the width or the font, keeping the first line
// on screen where it was.
void BookTextView::relayout()
{
    const int wanted = topAnchor;
    lines.setWidth(viewport()->width() - 2 * kMargin);
    top = lines.lineAt(wanted);
    updateScrollRange();
    setTop(top);
    topAnchor = wanted;
}

BookTextView::Line BookTextView::topShowingLast(Line last)
{
    Line line = last;
    Line previous = last;
    qreal height = lines.lineHeight(last);
    while (lines.previousLine(&previous)) {
        height += lines.lineHeight(previous);
        if (height > textHeight())
            break;
        line = previous;
    }
    return line;
}

void BookTextView::updateScrollRange()
{
    maxTopOffset = lines.lineStart(topShowingLast(lines.lineAt(text().size())));
    movingScrollBar = true;
    verticalScrollBar()->setRange(0, maxTopOffset);
    movingScrollBar = false;
}

void BookTextView::setTop(Line line)
{
    if (lines.lineStart(line) > maxTopOffset)
        line = lines.lineAt(maxTopOffset);
    top = line;
    topOffset = topAnchor = lines.lineStart(line);
    movingScrollBar = true;
    verticalScrollBar()->setValue(topOffset);
    movingScrollBar = false;
    updateVisibleRange();
    viewport()->update();
}

void BookTextView::updateVisibleRange()
{
    Line line = top;
    qreal y = kMargin;
    int count = 0;
    int end = topOffset;
    do {
        end = lines.lineEnd(line);
        y += lines.lineHeight(line);
        ++count;
    } while (y < viewport()->height() && lines.nextLine(&line));
    // The slider's size and the scroll bar's wheel steps, in characters.
    verticalScrollBar()->setPageStep(qMax(1, end - topOffset));
    verticalScrollBar()->setSingleStep(qMax(1, (end - topOffset) / count));
    if (visibleFrom == topOffset && visibleTo == end)
        return;
    visibleFrom = topOffset;
    visibleTo = end;
    emit visibleRangeChanged();
}

int BookTextView::fullyVisibleLines()
{
    Line line = top;
    qreal y = kMargin + lines.lineHeight(line);
    int count = 1;
    while (lines.nextLine(&line)) {
        y += lines.lineHeight(line);
        if (y > viewport()->height())
            break;
        ++count;
    }
    return count;
}

void BookTextView::scrollByLines(int count)
{
    setTop(lines.moved(top, count));
}

void BookTextView::ensureVisible(int offset)
{
    const Line wanted = lines.lineAt(offset);
    const int start = lines.lineStart(wanted);
    if (start < topOffset) {
        setTop(wanted);
        return;
    }
    Line line = top;
    qreal y = kMargin + lines.lineHeight(line);
    while (y <= viewport()->height()) {
        if (lines.lineStart(line) == start)
            return;
        if (!lines.nextLine(&line))
            return;
        y += lines.lineHeight(line);
    }
    // Below the screen: scroll until it is the last whole line.
    setTop(topShowingLast(wanted));
}

void BookTextView::scrollContentsBy(int, int)
{
    if (!movingScrollBar)
        setTop(lines.lineAt(verticalScrollBar()->value()));
}

// The scroll bar's arrows and page clicks, and the keys that reach it, move
// by lines: its steps in characters are only estimates.
void BookTextView::onScrollAction(int action)
{
    int count = 0;
    switch (action) {
    case QAbstractSlider::SliderSingleStepAdd:
        count = 1;
        break;
    case QAbstractSlider::SliderSingleStepSub:
        count = -1;
        break;
    case QAbstractSlider::SliderPageStepAdd:
        count = qMax(1, fullyVisibleLines() - 1);
        break;
    case QAbstractSlider::SliderPageStepSub:
        count = -qMax(1, fullyVisibleLines() - 1);
        break;
    default:
        return;
    }
    verticalScrollBar()->setSliderPosition(qMin(maxTopOffset, lines.lineStart(lines.moved(top, count))));
}

int BookTextView::offsetAt(const QPoint &point)
{
    Line line = top;
    qreal y = kMargin + lines.lineHeight(line);
    const int bottom = qMin(point.y(), viewport()->height());
    while (y <= bottom) {
        if (!lines.nextLine(&line))
            return text().size(); // below the end of the text
        y += lines.lineHeight(line);
    }
    const QTextLayout *layout = lines.layout(line.block);
    if (line.number >= layout->lineCount())
        return line.block;
    return line.block + layout->lineAt(line.number).xToCursor(point.x() - kMargin);
}

QRect BookTextView::cursorRect(int offset)
{
    const Line wanted = lines.lineAt(offset);
    Line line = top;
    qreal y = kMargin;
    while (y < viewport()->height()) {
        if (line.block == wanted.block && line.number == wanted.number) {
            const QTextLine textLine = lines.layout(line.block)->lineAt(line.number);
            const qreal x = kMargin + textLine.cursorToX(offset - line.block);
            return QRect(qRound(x), qRound(y), 1, qRound(textLine.height()));
        }
        y += lines.lineHeight(line);
        if (!lines.nextLine(&line))
            break;
    }
    return QRect();
}

QVector<QTextLayout::FormatRange> BookTextView::formatsIn(int block, int end) const
{
    QVector<QTextLayout::FormatRange> formats;
    QTextCharFormat mark;
    mark.setBackground(markColor);
    for (auto it = std::lower_bound(marks.cbegin(), marks.cend(), block - marksLength + 1);
         it != marks.cend() && *it < end; ++it) {
        const int from = qMax(*it, block);
        const int to = qMin(*it + marksLength, end);
        if (to > from)
            formats.append({from - block, to - from, mark});
    }
    const int from = qMax(selectionStart(), block);
    const int to = qMin(selectionEnd(), end);
    if (to > from) {
        QTextCharFormat selected;
        selected.setBackground(palette().color(QPalette::Highlight));
        selected.setForeground(palette().color(QPalette::HighlightedText));
        formats.append({from - block, to - from, selected});
    }
    return formats;
}

void BookTextView::paintEvent(QPaintEvent *event)
{
    QPainter painter(viewport());
    if (text().isEmpty()) {
        paintPlaceholder(&painter);
        return;
    }
    painter.setPen(palette().color(QPalette::Text));
    const QTextLayout *first = lines.layout(top.block);
    qreal y = kMargin - (top.number < first->lineCount() ? first->lineAt(top.number).y() : 0);
    for (int block = top.block; block >= 0 && y < viewport()->height(); block = lines.nextBlock(block)) {
        const QVector<QTextLayout::FormatRange> formats = formatsIn(block, lines.blockEnd(block));
        QTextLayout *layout = lines.layout(block);
        layout->draw(&painter, QPointF(kMargin, y), formats, QRectF(event->rect()));
        y += layout->boundingRect().height();
    }
}

void BookTextView::paintPlaceholder(QPainter *painter)
{
    painter->setPen(palette().color(QPalette::PlaceholderText));
    painter->drawText(viewport()->rect().adjusted(kMargin, kMargin, -kMargin, -kMargin),
                      Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, placeholder);
}

void BookTextView::resizeEvent(QResizeEvent *event)
{
    QAbstractScrollArea::resizeEvent(event);
    relayout();
}

void BookTextView::changeEvent(QEvent *event)
{
    QAbstractScrollArea::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        lines.setFont(font());
        relayout();
    }
}

void BookTextView::keyPressEvent(QKeyEvent *event)
{
    if (event == QKeySequence::Copy) {
        if (hasSelection())
            QGuiApplication::clipboard()->setText(selectedText());
        return;
    }
    switch (event->key()) {
    case Qt::Key_Home:
        showAtTop(0);
        break;
    case Qt::Key_End:
        showAtTop(text().size());
        break;
    default:
        QAbstractScrollArea::keyPressEvent(event);
    }
}

void BookTextView::wheelEvent(QWheelEvent *event)
{
    // Touch pads send small deltas: whole notches of 120 are kept apart.
    wheelRemainder += event->angleDelta().y();
    const int notches = wheelRemainder / 120;
    wheelRemainder -= notches * 120;
    if (notches != 0)
        scrollByLines(-notches * QApplication::wheelScrollLines());
    event->accept();
}

void BookTextView::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        QAbstractScrollArea::mousePressEvent(event);
        return;
    }
    anchor = position = offsetAt(event->pos());
    viewport()->update();
}

void BookTextView::mouseMoveEvent(QMouseEvent *event)
{
    if (!(event->buttons() & Qt::LeftButton))
        return;
    position = offsetAt(event->pos());
    viewport()->update();
}
