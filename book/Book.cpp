#include "Book.h"

#include "BookIndex.h"
#include "BookText.h"
#include "BookmarkFile.h"
#include "ChapterScanner.h"
#include "FileNameCodec.h"
#include "ParseContentThread.h"
#include "decodeText.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutexLocker>
#include <QTimer>

#include <cstring>

namespace {

const int kSniffLength = 64 * 1024;
// Books from this size on are indexed, so that they show their page before
// they are read whole; smaller ones read whole faster than that matters.
const qint64 kIndexedSize = 8 << 20;
// What the first page may need after its first character, and then some.
const int kAhead = 16 * 1024;
// A long book never opened before shows its first page from this much of
// its start while the whole is read.
const int kStartBytes = 64 * 1024;
// The rest of a book opened from a stretch is read at the latest this long
// after the open (ms).
const int kRestAtLatest = 1000;

bool startsWith(const QByteArray &bytes, const char *magic, int length)
{
    return bytes.size() >= length && std::memcmp(bytes.constData(), magic, size_t(length)) == 0;
}

// True when the bytes read as UTF-16 in one byte order hold no U+0000 and
// hardly any other control character: the only text with NUL bytes.
bool readsAsUtf16(const QByteArray &bytes, bool littleEndian)
{
    const uchar *data = reinterpret_cast<const uchar *>(bytes.constData());
    const int units = bytes.size() / 2;
    int controls = 0;
    for (int i = 0; i < units; ++i) {
        const uint unit = littleEndian ? data[2 * i] | (data[2 * i + 1] << 8) : (data[2 * i] << 8) | data[2 * i + 1];
        if (unit == 0)
            return false;
        if (unit < 0x20 && unit != '\t' && unit != '\n' && unit != '\r' && unit != '\f')
            ++controls;
    }
    return controls * 100 <= units;
}

bool looksBinaryData(const QByteArray &head)
{
    if (startsWith(head, "\xFF\xFE", 2) || startsWith(head, "\xFE\xFF", 2) || startsWith(head, "\x00\x00\xFE\xFF", 4))
        return false; // a byte-order mark says what the text is
    static const struct
    {
        const char *bytes;
        int length;
    } magics[] = {{"\x7F"
                   "ELF",
                   4},
                  {"\x89PNG", 4},
                  {"\xFF\xD8\xFF", 3},
                  {"GIF8", 4},
                  {"PK\x03\x04", 4},
                  {"%PDF-", 5},
                  {"\x1F\x8B", 2},
                  {"BZh", 3},
                  {"\xFD"
                   "7zXZ",
                   5},
                  {"Rar!", 4}};
    for (const auto &magic : magics) {
        if (startsWith(head, magic.bytes, magic.length))
            return true;
    }
    if (!head.contains('\0'))
        return false;
    return !readsAsUtf16(head, true) && !readsAsUtf16(head, false);
}

} // namespace

Book::Book() : QObject(nullptr)
{
    connect(&reading, &QFutureWatcher<BookText>::finished, this, &Book::completeText);
    connect(&shown_, &ShownText::finished, this, &Book::onShaped);
    connect(&shown_, &ShownText::ranOver, this, &Book::transformRanOver, Qt::QueuedConnection);
    connect(&bookmarks_, &BookmarkStore::changed, this, [this] { ++bookmarkChanges; });
}

Book::~Book()
{
    bookmarks_.flush();
    reading.waitForFinished();
    if (parser)
        parser->stop();
}

Book::OpenError Book::check(const QString &path)
{
    const QFileInfo info(path);
    if (path.isEmpty() || !info.exists())
        return NotFound;
    if (info.isDir())
        return IsFolder;
    // A pipe or a device would block the reader or never end.
    if (!info.isFile())
        return NotRegular;
    if (!info.isReadable())
        return NoPermission;
    if (info.size() > MaxFileSize)
        return TooLarge;
    return NoError;
}

bool Book::looksBinary(const QString &path)
{
    QFile file(path);
    if (check(path) != NoError || !file.open(QIODevice::ReadOnly))
        return false;
    return looksBinaryData(file.read(kSniffLength));
}

bool Book::open(const QString &path, TextEncoding encoding)
{
    openError_ = check(path);
    if (openError_ != NoError)
        return false;
    const QFileInfo info(path);
    const bool indexed = info.size() >= kIndexedSize;
    if (indexed) {
        const BookIndex index = BookIndex::load(path);
        if (index.fits(path, encoding) && openStretch(path, encoding, index))
            return true;
        if (BookmarkStore::placeOf(path) == 0 && openStart(path, encoding))
            return true;
    }
    BookText whole = BookText::read(path, encoding);
    if (whole.error != BookText::NoError) {
        openError_ = whole.error == BookText::TooLarge ? TooLarge : ReadFailed;
        return false;
    }
    adopt(path, whole.text, whole.encoding);
    reading_ = whole.reading;
    complete_ = true;
    shown_.shape(decoded_, BookmarkStore::placeOf(path), rule_);
    loadBookmarks();
    if (shown_.isComplete())
        startParse();
    if (indexed)
        BookText::indexLater(path, encoding);
    return true;
}

// A long book never opened before: its first page from the start of the
// file, the encoding guessed from that much; the whole is read (and the
// encoding decided from all of it) in the background.
bool Book::openStart(const QString &path, TextEncoding encoding)
{
    const BookText start = BookText::readStart(path, encoding, kStartBytes);
    if (start.error != BookText::NoError || start.text.isEmpty())
        return false;
    adopt(path, start.text, start.encoding);
    reading_ = start.reading;
    stretch_ = BookIndex::Stretch();
    stretchText = start.text;
    complete_ = false;
    restEncoding = encoding;
    restStarted = false;
    readFrom_ = 0;
    indexWhenRead = true;
    QTimer::singleShot(kRestAtLatest, this, &Book::readRest);
    shown_.shape(decoded_, 0, rule_);
    loadBookmarks();
    return true;
}

// A long book opened before: read first just the stretch around the place
// the reader will show, and the rest in the background. Offsets mean what
// they mean in the whole text, so nothing else needs to know.
bool Book::openStretch(const QString &path, TextEncoding encoding, const BookIndex &index)
{
    const int place = qBound(0, BookmarkStore::placeOf(path), qMax(0, index.length() - 1));
    const BookIndex::Stretch stretch = index.stretchAround(place, kAhead);
    const QString part = BookText::readStretch(path, index.reading(), stretch);
    if (part.isNull())
        return false;
    QString text(index.length(), Qt::Uninitialized);
    std::copy(part.cbegin(), part.cend(), text.begin() + stretch.from.character);
    adopt(path, text, index.encoding());
    reading_ = index.reading();
    stretch_ = stretch;
    stretchText = part;
    complete_ = false;
    restEncoding = encoding;
    restStarted = false;
    readFrom_ = stretch.from.character;
    indexWhenRead = false;
    shown_.shapeStretch(decoded_, stretch.from.character, stretch.to.character, rule_);
    // The rest is read once the first page is on screen (the window says
    // so), or soon in any case.
    QTimer::singleShot(kRestAtLatest, this, &Book::readRest);
    loadBookmarks();
    return true;
}

void Book::adopt(const QString &path, const QString &text, TextEncoding encoding)
{
    waitForText();
    bookmarks_.flush();
    emit replaced();
    if (parser)
        parser->clear();
    path_ = path;
    title_ = FileNameCodec::displayed(QFileInfo(path).baseName());
    decoded_ = text;
    shown_.setTransform(transformSource ? transformSource(path) : nullptr);
    placeShift_ = 0;
    firstPlacePending = false;
    ++bookmarkChanges;
    open_ = true;
    ++serial_;
    encoding_ = encoding;
}

void Book::readRest()
{
    if (complete_ || restStarted)
        return;
    restStarted = true;
    reading.setFuture(BookText::readLater(path_, restEncoding));
}

void Book::waitForText()
{
    if (!complete_)
        completeText();
    shown_.wait();
}

void Book::completeText()
{
    if (complete_)
        return;
    readRest();
    complete_ = true;
    BookText whole = reading.result();
    // The file went away or changed size since the stretch was read: the
    // text read now is what the book holds; offsets beyond it are clamped
    // by the reader.
    placeShift_ = 0;
    if (whole.error == BookText::NoError) {
        decoded_ = whole.text;
        placeShift_ = stretchShift();
        // The whole file may say otherwise than the start it was guessed from.
        encoding_ = whole.encoding;
        reading_ = whole.reading;
    } else {
        decoded_.fill(QChar::ReplacementCharacter);
    }
    stretchText.clear();
    if (indexWhenRead && whole.error == BookText::NoError)
        BookText::indexLater(path_, restEncoding);
    shown_.shape(decoded_, bookmarks_.lastReadOffset(), rule_, true);
    if (shown_.isComplete())
        onShaped();
}

void Book::onShaped()
{
    ++bookmarkChanges;
    startParse();
    if (firstPlacePending) {
        firstPlacePending = false;
        addBookmark(0, true);
    }
    emit textChanged();
    emit textCompleted();
}

void Book::setTransformSource(std::function<std::shared_ptr<const TextTransform>(const QString &path)> source)
{
    transformSource = std::move(source);
}

void Book::reshape()
{
    if (!open_)
        return;
    shown_.setTransform(transformSource ? transformSource(path_) : nullptr);
    if (!complete_)
        return; // shaped when the rest is read
    shown_.shape(decoded_, bookmarks_.lastReadOffset(), rule_);
    if (shown_.isComplete()) {
        onShaped();
        return;
    }
    // The stretch around the place is shown until the rest is shaped.
    ++bookmarkChanges;
    emit textChanged();
}

// The stretch shown first came from the index; a book changed in place
// since it was indexed (same size and time, other characters before the
// stretch) holds that stretch elsewhere in its text. How far elsewhere:
// the same bytes, so that the page stays on the same words.
int Book::stretchShift()
{
    if (QStringView(decoded_).mid(stretch_.from.character, stretchText.size()) == QStringView(stretchText))
        return 0;
    BookIndex::forget(path_);
    BookText::indexLater(path_, restEncoding);
    return offsetAtByte(stretch_.from.byte) - stretch_.from.character;
}

void Book::clear()
{
    if (!complete_)
        completeText();
    shown_.cancel();
    if (open_)
        emit replaced();
    if (parser)
        parser->clear();
    title_.clear();
    decoded_.clear();
    shown_.shape(decoded_, 0, rule_);
    stretchText.clear();
    bookmarks_.clear();
    open_ = false;
    ++serial_;
}

QString Book::title(bool withBrackets) const
{
    if (!withBrackets)
        return title_;
    return tr("《") + title_ + tr("》");
}

void Book::startParse()
{
    if (!parser) {
        parser.reset(new ParseContentThread(text(), &chapters_, &chapterLock, rule_));
        parser->setCustomRuleBudget(customRuleBudget);
        connect(parser.get(), &QThread::finished, this, &Book::onParseEnd);
        parser->start(QThread::InheritPriority);
    } else {
        parser->restart(text(), rule_);
    }
}

void Book::setChapterRule(const ChapterRule &rule)
{
    const ChapterRule usable = rule.isValid() ? rule : ChapterRule();
    if (usable == rule_)
        return;
    rule_ = usable;
    // A transform may treat headings apart.
    if (hasText() && complete_ && shown_.hasTransform())
        reshape();
    else if (hasText() && complete_)
        startParse();
}

int Book::countChapters(const ChapterRule &rule, QDeadlineTimer deadline, bool *complete, int *scanned)
{
    waitForText();
    return ChapterScanner(rule).count(text(), deadline, complete, scanned);
}

void Book::setCustomRuleBudget(int budget)
{
    customRuleBudget = budget;
    if (parser)
        parser->setCustomRuleBudget(budget);
}

void Book::onParseEnd()
{
    // The end of a parse that a later one replaced may arrive while that
    // one runs: its list is not ready yet.
    if (parser && parser->isRunning())
        return;
    if (parser && parser->ranOutOfTime())
        emit chapterRuleTooSlow(chapterCount());
    ++bookmarkChanges; // the bookmarks are titled by the chapters
    emit chaptersReady();
}

void Book::waitForChapters()
{
    if (parser)
        parser->wait();
}

bool Book::isParsing() const
{
    return parser && parser->isRunning();
}

QList<Chapter> Book::chapters() const
{
    QMutexLocker locker(&chapterLock);
    return chapters_;
}

int Book::chapterCount() const
{
    QMutexLocker locker(&chapterLock);
    return chapters_.size();
}

int Book::chapterIndexAtLocked(int offset) const
{
    if (offset < 0 || chapters_.isEmpty())
        return -1;
    if (offset <= chapters_.first().offset)
        return 0;
    int index = 0;
    for (int i = 0; i < chapters_.size() && chapters_.at(i).offset <= offset; ++i)
        index = i;
    return index;
}

int Book::chapterIndexAt(int offset) const
{
    QMutexLocker locker(&chapterLock);
    return chapterIndexAtLocked(offset);
}

Chapter Book::chapterAt(int offset) const
{
    QMutexLocker locker(&chapterLock);
    const int index = chapterIndexAtLocked(offset);
    return index < 0 ? Chapter() : chapters_.at(index);
}

Chapter Book::chapter(int index) const
{
    QMutexLocker locker(&chapterLock);
    return index >= 0 && index < chapters_.size() ? chapters_.at(index) : Chapter();
}

qint64 Book::byteOffsetOf(int position) const
{
    return BookText::byteOffsetOf(path_, reading_, decodedOffset(position));
}

int Book::offsetAtByte(qint64 byte) const
{
    return shownOffset(BookText::characterOffsetOf(path_, reading_, byte));
}
