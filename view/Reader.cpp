#include "Reader.h"

#include "ReaderConfig.h"

#include <QFontMetrics>
#include <QPainter>

#include <climits>

namespace {

const QChar kLineFeed(QLatin1Char('\n'));

// The lines whose height plus the gaps between them fit in `height`.
int linesOn(int height, int lineHeight, int lineSpace)
{
    const int step = lineHeight + lineSpace;
    return step > 0 ? (height + lineSpace) / step : 0;
}

void setPointSize(QPainter *painter, int size)
{
    QFont font = painter->font();
    font.setPointSize(qMax(1, size)); // a tiny window must not ask for size 0
    painter->setFont(font);
}

} // namespace

Reader::Reader(ReaderConfig *config) : QObject(nullptr), config_(config)
{
    connect(&session_, &ReadingSession::changed, this, &Reader::changed);
    connect(&relayoutDelay, &QThread::finished, this, &Reader::refresh);
}

bool Reader::pageShowsText() const
{
    for (int count : lines_) {
        if (count > 0)
            return true;
    }
    return false;
}

int Reader::mostOnAPage() const
{
    const QFontMetrics metrics(config_->font());
    const QRect page = textArea();
    const int wide = qMax(1, metrics.horizontalAdvance(QStringLiteral("一")));
    // A line holds at most its chunk, run on to the end of a cluster, and a
    // hanging mark or two.
    const int lines = qMax(1, linesOn(page.height(), metrics.height(), config_->lineSpace()));
    return lines * (qMax(1, page.width() / wide) * 2 + 8);
}

bool Reader::setPageRect(const QRect &rect)
{
    if (rect == pageRect_)
        return true;
    pageRect_ = rect;
    relayoutDelay.trigger();
    return false;
}

int Reader::layoutPage(const QString &text, int from, int to, bool store)
{
    if (text.isEmpty())
        return 0;
    from = qMax(0, from);
    const QFontMetrics metrics(config_->font());
    const QRect page = textArea();
    const int width = page.width();
    const int lineSpace = config_->lineSpace();
    // A page too small for a line of this font still shows one, clipped:
    // an open book always shows its text.
    const int maxLines = page.isEmpty() ? 0 : qMax(1, linesOn(page.height(), metrics.height(), lineSpace));
    if (store) {
        lines_.clear();
        hangingLines_.clear();
    }
    if (to < text.size())
        to = graphemes_.clusterStart(text, to, from);
    const int limit = qMax(0, to - from);
    const int wide = qMax(1, metrics.horizontalAdvance(QStringLiteral("一")));
    const int chunk = qMax(1, width / wide) * 2;
    if (maxLines <= 0)
        return 0;

    lineBreaker_.setFont(config_->font());
    const bool ruled = config_->punctuationRules();
    int consumed = 0;
    int count = 0;
    for (int line = 0; line < maxLines; ++line) {
        const int start = from + consumed;
        if (start >= text.size())
            break;
        // The chunk of characters, run on to the end of a cluster it would
        // cut; LineBreaker tells how much of it the line holds.
        const int end = graphemes_.clusterEnd(text, start + qMin(chunk, text.size() - start), start);
        const QString segment = text.mid(start, end - start);
        count = lineBreaker_.lineLength(segment, width, count);
        // A character wider than the page still stands at the page's top,
        // clipped, rather than stop the book there.
        if (count == 0 && line == 0)
            count = graphemes_.clusterEnd(text, start + 1, start) - start;
        const int fitting = count;
        if (ruled)
            count = punctuation_.lineLength(text, start, count);
        int stop = consumed + count;
        if (stop > limit) {
            count = limit - consumed;
            stop = limit;
        }
        if (store) {
            if (count > fitting)
                hangingLines_.append(lines_.size());
            lines_.append(count);
        }
        consumed = stop;
        if (consumed >= limit)
            break;
    }
    if (store && consumed != 0)
        pageLength_ = consumed;
    return consumed;
}

void Reader::paint(QPainter *painter)
{
    if (!lines_.isEmpty() && session_.book()->hasText())
        paintPage(painter);
    else
        paintStartScreen(painter);
}

QFont Reader::progressFont() const
{
    QFont font = config_->font();
    // Small, yet readable: 80 % of the text, in its colour.
    const qreal size = font.pointSizeF() > 0 ? font.pointSizeF() : QFontMetricsF(font).height() * 0.75;
    font.setPointSizeF(qMax(6.0, size * 0.8));
    return font;
}

QRect Reader::textArea() const
{
    QRect page = pageRect_;
    // The progress line takes the foot of the page; the text fills the rest.
    if (config_->showProgress())
        page.setBottom(page.bottom() - QFontMetrics(progressFont()).height() - config_->lineSpace());
    return page;
}

void Reader::paintProgress(QPainter *painter)
{
    const QRect page = pageRect_;
    painter->setPen(config_->textColor());
    painter->setFont(progressFont());
    const QFontMetrics metrics = painter->fontMetrics();
    const QString text = metrics.elidedText(session_.progressText(), Qt::ElideRight, page.width());
    painter->drawText(QPoint(page.left(), page.bottom() - metrics.descent()), text);
}

void Reader::paintPage(QPainter *painter)
{
    painter->setFont(config_->font());
    painter->setPen(config_->textColor());
    const QFontMetrics metrics = painter->fontMetrics();
    const QRect page = pageRect_;
    const int x = page.left();
    int y = page.top() + metrics.ascent();
    int at = session_.position();
    const QString &text = session_.book()->text();
    for (int i = 0; i < lines_.size(); ++i) {
        const int length = lines_.at(i);
        const int markFrom = qBound(0, markStart - at, length);
        const int markTo = qBound(0, markEnd - at, length);
        paintLine(painter, QPoint(x, y), text.mid(at, length), hangingLines_.contains(i), markFrom, markTo);
        at += length;
        y += metrics.height() + config_->lineSpace();
    }
    if (config_->showProgress())
        paintProgress(painter);
}

// A mark hanging past the page width would reach beyond the window's 2-pixel
// margin and be cut off by its edge. Its line is drawn narrowed to the page
// width instead: a few percent on a page that holds a dozen characters a
// line, and nothing is ever drawn outside the page.
void Reader::paintLine(QPainter *painter, const QPoint &at, QString line, bool hangs, int markFrom, int markTo)
{
    if (line.endsWith(kLineFeed))
        line.chop(1); // the line feed ends the line; it is not drawn
    const QFontMetrics metrics = painter->fontMetrics();
    const int width = pageRect_.width();
    const int advance = hangs ? metrics.horizontalAdvance(line) : 0;
    painter->save();
    painter->translate(at);
    if (advance > width && width > 0)
        painter->scale(qreal(width) / advance, 1);
    painter->drawText(QPoint(0, 0), line);
    markTo = qMin(markTo, line.size());
    if (markFrom < markTo) {
        // A thin line in the text's colour, half way into the descent.
        const int left = metrics.horizontalAdvance(line.left(markFrom));
        const int right = metrics.horizontalAdvance(line.left(markTo));
        const int below = qMax(1, metrics.descent() / 2);
        painter->drawLine(left, below, right, below);
    }
    painter->restore();
}

void Reader::setMark(int start, int end)
{
    if (start == markStart && end == markEnd)
        return;
    markStart = start;
    markEnd = end;
    emit changed();
}

void Reader::paintStartScreen(QPainter *painter)
{
    const QRect page = pageRect_;
    const int w = page.width();
    const int h = page.height();
    const int x1 = page.left();
    const int y1 = page.top();
    const int x2 = page.right();
    const int y2 = page.bottom();
    const QFont original = painter->font();

    setPointSize(painter, w / 20);
    painter->drawText(QRect(QPoint(x1, y1), QPoint(x2, y1 + h / 2 - 6)), Qt::AlignBottom | Qt::AlignHCenter,
                      tr("Tavril阅读器"));

    const int midY = (y1 + y2) / 2;
    const int midX = (x1 + x2) / 2;
    const int left = int(midX / 1.7);
    const int right = int(w - midX / 1.7);
    painter->drawLine(left, midY, right, midY);
    painter->drawLine(left, midY + 3, right, midY + 3);

    const QRect lower(QPoint(x1, h / 2 + 8), QPoint(x2, 2 * (h / 2) - 3));
    setPointSize(painter, w / 45);
    painter->drawText(lower, Qt::AlignTop | Qt::AlignHCenter, tr("小巧 ▪ 简洁 ▪ 好用"));
    setPointSize(painter, w / 60);
    painter->setPen(QColor(0x80, 0x80, 0x80));
    painter->drawText(lower, Qt::AlignBottom | Qt::AlignHCenter, tr("点击鼠标右键开始享用"));
    painter->drawRect(page);
    painter->setFont(original);
}
