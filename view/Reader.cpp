#include "Reader.h"

#include "ReaderConfig.h"

#include <QFontMetrics>
#include <QPainter>

#include <climits>

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

// The rest of a long book has been read. Only a file that changed since it
// was indexed moves the page: to the same words, or to the end of a book
// that became shorter.
void Reader::onTextCompleted()
{
    const int shift = book_.placeShift();
    if (shift == 0 && position_ < book_.length())
        return;
    position_ = qBound(0, position_ + shift, book_.length());
    if (position_ < book_.length())
        position_ = graphemes_.clusterStart(book_.text(), position_);
    refresh();
}

bool Reader::openBook(const QString &path, TextEncoding encoding)
{
    const bool opened = book_.open(path, encoding);
    // A damaged bookmark may hold a negative offset: start at the beginning.
    position_ = qMax(0, book_.lastReadOffset());
    if (position_ < book_.length())
        position_ = graphemes_.clusterStart(book_.text(), position_, book_.readFrom());
    pageLength_ = 0;
    refresh();
    return opened;
}

bool Reader::reopenIn(TextEncoding encoding)
{
    if (!book_.isOpen())
        return false;
    book_.waitForText();
    // The same bytes of the file, whatever the two readings make of them.
    // Back and forth without a move in between, the very same byte: a
    // coarser reading (UTF-16's pairs) must not wear the place away.
    const qint64 byte = position_ == switchedAt.first ? switchedAt.second : book_.byteOffsetOf(position_);
    if (!openBook(book_.path(), encoding))
        return false;
    book_.waitForText();
    jumpTo(qBound(0, book_.offsetAtByte(byte), qMax(0, book_.length() - 1)));
    switchedAt = {position_, byte};
    return true;
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
    if (book_.hasText()) {
        // A bookmark from a book that has since become shorter: its last
        // page, rather than an empty page that looks as if no book were
        // open, once the page has room for text.
        if (position_ >= book_.length() && layoutPage(book_.text(), 0, INT_MAX, false) > 0)
            position_ = startOfPageEndingAt(book_.length());
        layoutPage(book_.text(), position_, INT_MAX, true);
    }
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
    const QString &text = book_.text();
    // With no page laid out yet, a full page from the start is the guess.
    int guess = 2 * (pageLength_ > 0 ? pageLength_ : layoutPage(text, 0, INT_MAX, false));
    int start = -1;
    while (true) {
        if (current - guess <= 0) {
            layoutPage(text, 0, INT_MAX, true);
            return 0;
        }
        // A page never starts inside a cluster. Moving back to the cluster's
        // start could land on the last try again; the next cluster then.
        const int tried = start;
        start = graphemes_.clusterStart(text, current - guess);
        if (start <= tried)
            start = graphemes_.clusterEnd(text, tried + 1, tried);
        guess = layoutPage(text, start, current, true);
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
        position_ = graphemes_.clusterStart(book_.text(), chapter.offset);
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
        position_ = graphemes_.clusterStart(book_.text(), chapter.offset);
        book_.autoSaveBookmark(position_);
        refresh();
    }
    return chapter.valid;
}

void Reader::jumpTo(int offset)
{
    book_.waitForText(); // a move may need text beyond the stretch read first
    position_ = qMax(0, offset);
    if (position_ < book_.length())
        position_ = graphemes_.clusterStart(book_.text(), position_);
    book_.autoSaveBookmark(position_);
    refresh();
}

bool Reader::addBookmark()
{
    return book_.addBookmark(position_, false);
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
    const int lineStep = metrics.height() + lineSpace;
    const int maxLines = lineStep > 0 ? (page.height() + lineSpace) / lineStep : 0;
    if (store) {
        lines_.clear();
        hangingLines_.clear();
    }
    if (to < text.size())
        to = graphemes_.clusterStart(text, to, from);
    const int limit = qMax(0, to - from);
    const int wide = qMax(1, metrics.horizontalAdvance(QStringLiteral("一")));
    const int chunk = qMax(0, width / wide) * 2;
    if (maxLines <= 0)
        return 0;

    lineBreaker_.setFont(config_->font());
    const bool ruled = config_->punctuationRules();
    int consumed = 0;
    int count = 0;
    for (int line = 0; line < maxLines; ++line) {
        const int start = from + consumed;
        if (start >= text.size() || chunk == 0)
            break;
        // The chunk of characters, run on to the end of a cluster it would
        // cut; LineBreaker tells how much of it the line holds.
        const int end = graphemes_.clusterEnd(text, start + qMin(chunk, text.size() - start), start);
        const QString segment = text.mid(start, end - start);
        count = lineBreaker_.lineLength(segment, width, count);
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
    if (!lines_.isEmpty() && book_.hasText())
        paintPage(painter);
    else
        paintStartScreen(painter);
}

QFont Reader::progressFont() const
{
    QFont font = config_->font();
    const qreal size = font.pointSizeF() > 0 ? font.pointSizeF() : QFontMetricsF(font).height() * 0.75;
    font.setPointSizeF(qMax(6.0, size * 0.75));
    return font;
}

QRect Reader::textArea() const
{
    QRect page = config_->pageRect();
    // The progress line takes the foot of the page; the text fills the rest.
    if (config_->showProgress())
        page.setBottom(page.bottom() - QFontMetrics(progressFont()).height() - config_->lineSpace());
    return page;
}

QString Reader::progressText() const
{
    const int length = book_.length();
    if (!book_.hasText() || length <= 0)
        return QString();
    const double percent = 100.0 * qMin(position_, length) / length;
    const Chapter chapter = book_.chapterAt(position_);
    const QString place = QString::number(percent, 'f', 1) + QLatin1Char('%');
    return chapter.valid ? place + QStringLiteral("  ") + chapter.title : place;
}

void Reader::paintProgress(QPainter *painter)
{
    const QRect page = config_->pageRect();
    QColor color = config_->textColor();
    color.setAlphaF(color.alphaF() * 0.6);
    painter->setPen(color);
    painter->setFont(progressFont());
    const QFontMetrics metrics = painter->fontMetrics();
    const QString text = metrics.elidedText(progressText(), Qt::ElideRight, page.width());
    painter->drawText(QPoint(page.left(), page.bottom() - metrics.descent()), text);
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
    for (int i = 0; i < lines_.size(); ++i) {
        paintLine(painter, QPoint(x, y), text.mid(at, lines_.at(i)), hangingLines_.contains(i));
        at += lines_.at(i);
        y += metrics.height() + config_->lineSpace();
    }
    if (config_->showProgress())
        paintProgress(painter);
}

// A mark hanging past the page width would reach beyond the window's 2-pixel
// margin and be cut off by its edge. Its line is drawn narrowed to the page
// width instead: a few percent on a page that holds a dozen characters a
// line, and nothing is ever drawn outside the page.
void Reader::paintLine(QPainter *painter, const QPoint &at, QString line, bool hangs)
{
    if (line.endsWith(kLineFeed))
        line.chop(1); // the line feed ends the line; it is not drawn
    const int width = config_->pageRect().width();
    const int advance = hangs ? painter->fontMetrics().horizontalAdvance(line) : 0;
    if (advance <= width || width <= 0) {
        painter->drawText(at, line);
        return;
    }
    painter->save();
    painter->translate(at);
    painter->scale(qreal(width) / advance, 1);
    painter->drawText(QPoint(0, 0), line);
    painter->restore();
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
