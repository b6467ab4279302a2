#include "BookTextLayout.h"

#include <QTextLayout>

#include <algorithm>

namespace {

const QChar kLineFeed(QLatin1Char('\n'));

// Enough laid-out text for a few screens of a large window; a block's cost is
// its length.
const int kCachedCharacters = 1 << 16;

} // namespace

BookTextLayout::BookTextLayout() : layouts(kCachedCharacters) {}

BookTextLayout::~BookTextLayout() = default;

void BookTextLayout::setText(const QString &text)
{
    bookText = text;
    layouts.clear();
}

void BookTextLayout::setFont(const QFont &newFont)
{
    font = newFont;
    layouts.clear();
}

void BookTextLayout::setWidth(qreal newWidth)
{
    newWidth = qMax<qreal>(1, newWidth);
    if (newWidth == width)
        return;
    width = newWidth;
    layouts.clear();
}

// Last line feed in [limit, from], or -1.
int BookTextLayout::lastLineFeed(int from, int limit) const
{
    const QChar *data = bookText.constData();
    for (int at = from; at >= limit; --at) {
        if (data[at] == kLineFeed)
            return at;
    }
    return -1;
}

// First line feed in [from, end), or -1.
int BookTextLayout::firstLineFeed(int from, int end) const
{
    const QChar *data = bookText.constData();
    const QChar *found = std::find(data + from, data + end, kLineFeed);
    return found == data + end ? -1 : int(found - data);
}

bool BookTextLayout::endsParagraph(int offset) const
{
    return offset == bookText.size() || bookText.at(offset) == kLineFeed;
}

bool BookTextLayout::isLongParagraph(int start) const
{
    const int end = qMin(bookText.size(), start + kMaxBlock + 1);
    return end < bookText.size() && firstLineFeed(start, end) < 0;
}

// The start of the piece `piece` of a long paragraph, moved past the middle
// of a surrogate pair.
int BookTextLayout::boundary(int piece) const
{
    const int at = piece * kMaxBlock;
    if (at > 0 && at < bookText.size() && bookText.at(at).isLowSurrogate() && bookText.at(at - 1).isHighSurrogate())
        return at + 1;
    return at;
}

int BookTextLayout::boundaryAtOrBefore(int offset) const
{
    const int piece = offset / kMaxBlock;
    return boundary(piece) <= offset ? boundary(piece) : boundary(piece - 1);
}

int BookTextLayout::boundaryAfter(int offset) const
{
    const int piece = offset / kMaxBlock;
    return boundary(piece) > offset ? boundary(piece) : boundary(piece + 1);
}

int BookTextLayout::blockAt(int offset) const
{
    offset = qBound(0, offset, bookText.size());
    int piece = boundaryAtOrBefore(offset);
    // A piece ends at the paragraph's end; it never starts there, empty.
    if (piece == offset && piece > 0 && endsParagraph(offset))
        piece = boundaryAtOrBefore(offset - 1);
    const int inPiece = lastLineFeed(offset - 1, piece);
    if (inPiece >= 0 || piece == 0)
        return inPiece + 1;
    // The paragraph began before the piece: the piece is a block of its own
    // only in a long paragraph.
    const int limit = qMax(0, piece - kMaxBlock - 1);
    const int before = lastLineFeed(piece - 1, limit);
    if (before < 0 && limit > 0)
        return piece;
    return isLongParagraph(before + 1) ? piece : before + 1;
}

int BookTextLayout::blockEnd(int block) const
{
    const int size = bookText.size();
    const bool startsParagraph = block == 0 || bookText.at(block - 1) == kLineFeed;
    if (startsParagraph && !isLongParagraph(block)) {
        const int lineFeed = firstLineFeed(block, qMin(size, block + kMaxBlock + 1));
        return lineFeed >= 0 ? lineFeed : size;
    }
    const int pieceEnd = qMin(size, boundaryAfter(block));
    const int lineFeed = firstLineFeed(block, pieceEnd);
    return lineFeed >= 0 ? lineFeed : pieceEnd;
}

int BookTextLayout::nextBlock(int block) const
{
    const int end = blockEnd(block);
    if (end >= bookText.size())
        return -1;
    return bookText.at(end) == kLineFeed ? end + 1 : end;
}

int BookTextLayout::previousBlock(int block) const
{
    return block > 0 ? blockAt(block - 1) : -1;
}

QTextLayout *BookTextLayout::layout(int block)
{
    if (QTextLayout *cached = layouts.object(block))
        return cached;
    const int length = blockEnd(block) - block;
    auto *layout = new QTextLayout(bookText.mid(block, length), font);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout->setTextOption(option);
    layout->setCacheEnabled(true);
    layout->beginLayout();
    qreal y = 0;
    for (QTextLine line = layout->createLine(); line.isValid(); line = layout->createLine()) {
        line.setLeadingIncluded(true);
        line.setLineWidth(width);
        line.setPosition(QPointF(0, y));
        y += line.height();
    }
    layout->endLayout();
    layouts.insert(block, layout, qMax(1, length));
    return layout;
}

BookTextLayout::Line BookTextLayout::lineAt(int offset)
{
    Line line;
    line.block = blockAt(offset);
    const QTextLayout *blockLayout = layout(line.block);
    const int inBlock = offset - line.block;
    while (line.number + 1 < blockLayout->lineCount() && blockLayout->lineAt(line.number + 1).textStart() <= inBlock)
        ++line.number;
    return line;
}

bool BookTextLayout::nextLine(Line *line)
{
    if (line->number + 1 < layout(line->block)->lineCount()) {
        ++line->number;
        return true;
    }
    const int next = nextBlock(line->block);
    if (next < 0)
        return false;
    *line = Line{next, 0};
    return true;
}

bool BookTextLayout::previousLine(Line *line)
{
    if (line->number > 0) {
        --line->number;
        return true;
    }
    const int previous = previousBlock(line->block);
    if (previous < 0)
        return false;
    *line = Line{previous, qMax(0, layout(previous)->lineCount() - 1)};
    return true;
}

BookTextLayout::Line BookTextLayout::moved(Line line, int count)
{
    for (; count > 0 && nextLine(&line); --count) {
    }
    for (; count < 0 && previousLine(&line); ++count) {
    }
    return line;
}

int BookTextLayout::lineStart(const Line &line)
{
    const QTextLayout *blockLayout = layout(line.block);
    return line.block + (line.number < blockLayout->lineCount() ? blockLayout->lineAt(line.number).textStart() : 0);
}

int BookTextLayout::lineEnd(const Line &line)
{
    const QTextLayout *blockLayout = layout(line.block);
    if (line.number >= blockLayout->lineCount())
        return line.block;
    const QTextLine textLine = blockLayout->lineAt(line.number);
    return line.block + textLine.textStart() + textLine.textLength();
}

qreal BookTextLayout::lineHeight(const Line &line)
{
    const QTextLayout *blockLayout = layout(line.block);
    return line.number < blockLayout->lineCount() ? blockLayout->lineAt(line.number).height() : 0;
}
