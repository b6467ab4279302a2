#include "Reader.h"

#include "ReaderConfig.h"

#include <QFontMetrics>
#include <QPainter>

#include <climits>
#include <cmath>
#include <limits>

namespace {

const QChar kLineFeed(QLatin1Char('\n'));

void setPointSize(QPainter *painter, int size)
{
    QFont font = painter->font();
    font.setPointSize(qMax(1, size)); // a tiny window must not ask for size 0
    painter->setFont(font);
}

} // namespace

Reader::Reader(ReaderConfig *config) : QObject(nullptr), config_(config)
{
    connect(&book_, &Book::textCompleted, this, &Reader::onTextCompleted);
}

// The rest of a long book has been read. Only a file that changed meanwhile
// (and became shorter) moves the page.
void Reader::onTextCompleted()
{
    if (position_ < book_.length())
        return;
    position_ = book_.length() > 0 ? startOfPageEndingAt(book_.length()) : 0;
    refresh();
}

bool Reader::openBook(const QString &path)
{
    const bool opened = book_.open(path);
    // A damaged bookmark may hold a negative offset: start at the beginning.
    position_ = qMax(0, book_.lastReadOffset());
    pageLength_ = 0;
    // A bookmark from a book that has since become shorter: its last page,
    // rather than an empty page that looks as if no book were open.
    if (book_.hasText() && position_ >= book_.length())
        position_ = startOfPageEndingAt(book_.length());
    refresh();
    return opened;
}

void Reader::closeBook()
{
    book_.clear();
    position_ = 0;
    pageLength_ = 0;
    emit changed();
}

void Reader::refresh()
{
    if (book_.hasText())
        layoutPage(book_.text(), position_, INT_MAX, true);
    emit changed();
}

bool Reader::pageShowsText() const
{
    for (int count : lines_) {
        if (count > 0)
            return true;
    }
    return false;
}

bool Reader::nextPage()
{
    book_.waitForText(); // a move may need text beyond the stretch read first
    if (!book_.hasText())
        return false;
    // A page too small for a single character keeps an old length: moving by
    // it would skip text the reader never saw.
    if (!pageShowsText())
        return false;
    if (position_ + pageLength_ >= book_.length())
        return false;
    position_ += pageLength_;
    book_.autoSaveBookmark(position_);
    refresh();
    return true;
}

bool Reader::previousPage()
{
    book_.waitForText(); // a move may need text beyond the stretch read first
    if (!book_.hasText() || position_ == 0)
        return false;
    if (position_ < book_.length() && !pageShowsText())
        return false;
    // From beyond the end (a bookmark of a since-shortened file) the way back
    // is the page that ends at the end of the text.
    position_ = startOfPageEndingAt(qMin(position_, book_.length()));
    book_.autoSaveBookmark(position_);
    emit changed();
    return true;
}

int Reader::startOfPageEndingAt(int current)
{
    // With no page laid out yet, a full page from the start is the guess.
    int guess = 2 * (pageLength_ > 0 ? pageLength_ : layoutPage(book_.text(), 0, INT_MAX, false));
    while (true) {
        const int start = current - guess;
        if (start <= 0) {
            layoutPage(book_.text(), 0, INT_MAX, true);
            return 0;
        }
        guess = layoutPage(book_.text(), start, current, true);
        if (start + guess >= current)
            return start;
    }
}

bool Reader::nextChapter()
{
    book_.waitForText(); // a move may need text beyond the stretch read first
    if (!book_.hasText())
        return false;
    const Chapter chapter = book_.chapter(book_.chapterIndexAt(position_) + 1);
    if (chapter.valid) {
        position_ = chapter.offset;
        book_.autoSaveBookmark(position_);
        refresh();
    }
    return chapter.valid;
}

bool Reader::previousChapter()
{
    book_.waitForText(); // a move may need text beyond the stretch read first
    if (!book_.hasText())
        return false;
    const Chapter chapter = book_.chapter(book_.chapterIndexAt(position_) - 1);
    if (chapter.valid) {
        position_ = chapter.offset;
        book_.autoSaveBookmark(position_);
        refresh();
    }
    return chapter.valid;
}

void Reader::jumpTo(int offset)
{
    book_.waitForText(); // a move may need text beyond the stretch read first
    position_ = qMax(0, offset);
    book_.autoSaveBookmark(position_);
    refresh();
}

bool Reader::addBookmark()
{
    return book_.addBookmark(position_, false);
}

int Reader::largestFitting(const QFontMetrics &metrics, const QString &segment, int start, int width) const
{
    int count = qMin(start, segment.size());
    if (metrics.horizontalAdvance(segment.left(count)) <= width) {
        while (count < segment.size() && metrics.horizontalAdvance(segment.left(count + 1)) <= width)
            ++count;
        return count;
    }
    while (count > 0 && metrics.horizontalAdvance(segment.left(count)) > width)
        --count;
    return count;
}

// Characters that Chinese fonts set one by one, without kerning or
// ligatures with their neighbours.
bool Reader::isPlainCjk(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= 0x4E00 && u <= 0x9FFF) || (u >= 0x3000 && u <= 0x303F) || (u >= 0x3400 && u <= 0x4DBF) ||
           (u >= 0xFF01 && u <= 0xFF5E) || u == u'\n' || u == 0x201C || u == 0x201D || u == 0x2018 || u == 0x2019 ||
           u == 0x2014 || u == 0x2026 || u == 0x00B7;
}

// Where the line would end if every character kept its own advance. For
// plain text (Chinese, with no two other characters side by side) that is
// exact: such text is set character by character. Otherwise a sum a quarter
// of an em beyond the page's edge leaves room for any kerning.
Reader::LineEstimate Reader::estimateLine(const QString &segment, int width)
{
    const QFontMetricsF metrics(advanceFont);
    const qreal edge = width + 0.5; // horizontalAdvance() rounds the total
    LineEstimate estimate;
    bool previousCjk = true;
    qreal sum = 0;
    prefixSums.clear();
    prefixSums.push_back(0);
    int i = 0;
    for (; i < segment.size(); ++i) {
        const QChar c = segment.at(i);
        if (c.isSurrogate()) {
            estimate.plain = false;
            break;
        }
        float &advance = advances[c.unicode()];
        if (std::isnan(advance))
            advance = float(metrics.horizontalAdvance(QString(c)));
        // Kerning and ligatures need two neighbours of the kind that has
        // them; a Latin letter or digit between Chinese characters is set
        // on its own.
        const bool cjk = isPlainCjk(c);
        estimate.plain = estimate.plain && (cjk || previousCjk);
        previousCjk = cjk;
        if (sum + advance >= edge) {
            estimate.nextClear = estimate.plain || sum + advance - advanceMargin >= edge;
            break;
        }
        sum += advance;
        prefixSums.push_back(sum);
    }
    estimate.count = i;
    if (i == segment.size())
        estimate.nextClear = true;
    return estimate;
}

int Reader::lineLength(const QFontMetrics &metrics, const QString &segment, int width, int previous)
{
    // The advance of a prefix grows with its length, so the largest count
    // that fits does not depend on where the search starts, and the estimate
    // is the closest start.
    const LineEstimate estimate = estimateLine(segment, width);
    auto measured = [&](int k) { return metrics.horizontalAdvance(segment.left(k)); };
    auto advanceOf = [&](int k) { return estimate.plain ? qRound(prefixSums[size_t(k)]) : measured(k); };

    const int feed = segment.indexOf(kLineFeed);
    if (feed >= 0 && feed < estimate.count && advanceOf(feed + 1) < width)
        return feed + 1;
    int count = estimate.count;
    int advance = 0;
    if (estimate.plain) {
        advance = advanceOf(count);
    } else {
        // One real measurement; when it matches the sum exactly, the text
        // has no kerning to speak of and the estimate's end stands.
        advance = measured(count);
        if (advance > width || advance != qRound(prefixSums.back()) || !estimate.nextClear) {
            count = largestFitting(metrics, segment, count, width);
            advance = measured(count);
        }
    }
    if (advance == width) {
        // Zero-width characters (a line feed) at the edge: the search that
        // starts from the previous line's count stops as soon as it reaches
        // the edge, so it can end anywhere on that run.
        int first = count;
        while (first > 0 && advances[segment.at(first - 1).unicode()] < advanceMargin && advanceOf(first - 1) == width)
            --first;
        count = qBound(first, previous, count);
    }
    const int early = segment.leftRef(count).indexOf(kLineFeed);
    return early >= 0 ? early + 1 : count;
}

void Reader::prepareAdvances(const QFont &font)
{
    if (!advances.empty() && font == advanceFont && font.letterSpacing() == advanceFont.letterSpacing())
        return;
    advanceFont = font;
    advances.assign(0x10000, std::numeric_limits<float>::quiet_NaN());
    advanceMargin = qMax(qreal(1), QFontMetricsF(font).horizontalAdvance(QStringLiteral("一")) / 4);
}

int Reader::layoutPage(const QString &text, int from, int to, bool store)
{
    if (text.isEmpty())
        return 0;
    from = qMax(0, from);
    const QFontMetrics metrics(config_->font());
    const QRect page = config_->pageRect();
    const int width = page.width();
    const int lineSpace = config_->lineSpace();
    const int lineStep = metrics.height() + lineSpace;
    const int maxLines = lineStep > 0 ? (page.height() + lineSpace) / lineStep : 0;
    if (store)
        lines_.clear();
    const int limit = to - from;
    const int wide = qMax(1, metrics.horizontalAdvance(QStringLiteral("一")));
    const int chunk = qMax(0, width / wide) * 2;
    if (maxLines <= 0)
        return 0;

    prepareAdvances(config_->font());
    int consumed = 0;
    int count = 0;
    for (int line = 0; line < maxLines; ++line) {
        const QString segment = text.mid(from + consumed, chunk);
        if (segment.isEmpty())
            break;
        count = lineLength(metrics, segment, width, count);
        int end = consumed + count;
        if (end > limit) {
            count = limit - consumed;
            end = limit;
        }
        if (store)
            lines_.append(count);
        consumed = end;
        if (consumed >= limit)
            break;
    }
    if (store && consumed != 0)
        pageLength_ = consumed;
    return consumed;
}

void Reader::paint(QPainter *painter)
{
    if (!lines_.isEmpty() && book_.hasText())
        paintPage(painter);
    else
        paintStartScreen(painter);
}

void Reader::paintPage(QPainter *painter)
{
    painter->setFont(config_->font());
    painter->setPen(config_->textColor());
    const QFontMetrics metrics = painter->fontMetrics();
    const QRect page = config_->pageRect();
    const int x = page.left();
    int y = page.top() + metrics.ascent();
    int at = position_;
    const QString &text = book_.text();
    for (int count : lines_) {
        QString line = text.mid(at, count);
        if (line.endsWith(kLineFeed))
            line.chop(1); // the line feed ends the line; it is not drawn
        painter->drawText(QPoint(x, y), line);
        at += count;
        y += metrics.height() + config_->lineSpace();
    }
}

void Reader::paintStartScreen(QPainter *painter)
{
    const QRect page = config_->pageRect();
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
