#include "ReadingSession.h"

#include <climits>

ReadingSession::ReadingSession(Pager *pager) : QObject(nullptr), pager(pager)
{
    connect(&book_, &Book::textChanged, this, &ReadingSession::onTextChanged);
}

// The rest of a long book has been read, or the book is shown otherwise (a
// transform turned on or off): the page keeps its words, or goes to the end
// of a book that became shorter.
void ReadingSession::onTextChanged()
{
    position_ = qBound(0, book_.carriedPlace(position_), book_.length());
    if (position_ < book_.length())
        position_ = graphemes.clusterStart(book_.text(), position_);
    refresh();
}

bool ReadingSession::openBook(const QString &path, TextEncoding encoding)
{
    const bool opened = book_.open(path, encoding);
    // A damaged bookmark may hold a negative offset: start at the beginning.
    position_ = qMax(0, book_.lastReadOffset());
    if (position_ < book_.length())
        position_ = graphemes.clusterStart(book_.text(), position_, book_.readFrom());
    refresh();
    return opened;
}

bool ReadingSession::reopenIn(TextEncoding encoding)
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

void ReadingSession::closeBook()
{
    book_.clear();
    position_ = 0;
    emit changed();
}

void ReadingSession::refresh()
{
    if (book_.hasText()) {
        // A bookmark from a book that has since become shorter: its last
        // page, rather than an empty page that looks as if no book were
        // open, once the page has room for text.
        if (position_ >= book_.length() && pager->layoutPage(book_.text(), 0, INT_MAX, false) > 0)
            position_ = startOfPageEndingAt(book_.length());
        pager->layoutPage(book_.text(), position_, INT_MAX, true);
    }
    emit changed();
}

bool ReadingSession::nextPage()
{
    book_.waitForText(); // a move may need text beyond the stretch read first
    if (!book_.hasText())
        return false;
    // A page too small for a single character keeps an old length: moving by
    // it would skip text the reader never saw.
    if (!pager->pageShowsText())
        return false;
    if (position_ + pager->pageLength() >= book_.length())
        return false;
    position_ += pager->pageLength();
    book_.autoSaveBookmark(position_);
    refresh();
    return true;
}

bool ReadingSession::previousPage()
{
    book_.waitForText();
    if (!book_.hasText() || position_ == 0)
        return false;
    if (position_ < book_.length() && !pager->pageShowsText())
        return false;
    // From beyond the end (a bookmark of a since-shortened file) the way back
    // is the page that ends at the end of the text.
    position_ = startOfPageEndingAt(qMin(position_, book_.length()));
    book_.autoSaveBookmark(position_);
    emit changed();
    return true;
}

// The fullest page that ends exactly at `current`: the earliest start from
// which the text up to `current` still fits on a page. A page back from a
// jump (or from a short last page) is then a whole page, and in the normal
// case it is the page the reader came from.
int ReadingSession::startOfPageEndingAt(int current)
{
    const QString &text = book_.text();
    const auto fits = [&](int start) { return start + pager->layoutPage(text, start, current, false) >= current; };
    int low = qMax(0, current - pager->mostOnAPage());
    int high = current;
    while (low < high) {
        const int middle = graphemes.clusterStart(text, low + (high - low) / 2);
        if (middle > low && fits(middle))
            high = middle;
        else if (middle <= low && fits(low))
            high = low;
        else
            low = graphemes.clusterEnd(text, qMax(middle, low) + 1, qMax(middle, low));
    }
    if (low <= 0) {
        pager->layoutPage(text, 0, INT_MAX, true); // from the start: a full page, which may run past `current`
        return 0;
    }
    pager->layoutPage(text, low, current, true);
    return low;
}

bool ReadingSession::moveToChapter(int index)
{
    const Chapter chapter = book_.chapter(index);
    if (chapter.valid) {
        position_ = graphemes.clusterStart(book_.text(), chapter.offset);
        book_.autoSaveBookmark(position_);
        refresh();
    }
    return chapter.valid;
}

bool ReadingSession::nextChapter()
{
    book_.waitForText();
    return book_.hasText() && moveToChapter(book_.chapterIndexAt(position_) + 1);
}

bool ReadingSession::previousChapter()
{
    book_.waitForText();
    return book_.hasText() && moveToChapter(book_.chapterIndexAt(position_) - 1);
}

void ReadingSession::jumpTo(int offset)
{
    book_.waitForText();
    position_ = qMax(0, offset);
    if (position_ < book_.length())
        position_ = graphemes.clusterStart(book_.text(), position_);
    // Near the end the last page is shown whole, not a fragment of it.
    if (position_ > 0 && book_.hasText() && pager->layoutPage(book_.text(), position_, INT_MAX, false) > 0) {
        const int last = startOfPageEndingAt(book_.length());
        if (position_ > last)
            position_ = last;
    }
    book_.autoSaveBookmark(position_);
    refresh();
}

bool ReadingSession::addBookmark()
{
    return book_.addBookmark(position_, false);
}

QString ReadingSession::progressText() const
{
    const int length = book_.length();
    if (!book_.hasText() || length <= 0)
        return QString();
    const double percent = 100.0 * qMin(position_, length) / length;
    const Chapter chapter = book_.chapterAt(position_);
    const QString place = QString::number(percent, 'f', 1) + QLatin1Char('%');
    return chapter.valid ? place + QStringLiteral("  ") + chapter.title : place;
}
