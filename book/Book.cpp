#include "Book.h"

#include "BookmarkFile.h"
#include "ChapterScanner.h"
#include "ParseContentThread.h"
#include "decodeText.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutexLocker>

#include <cstring>

namespace {

const int kSummaryLength = 100;
const int kSniffLength = 64 * 1024;

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

Book::Book() : QObject(nullptr) {}

Book::~Book()
{
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
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        openError_ = file.error() == QFileDevice::PermissionsError ? NoPermission : ReadFailed;
        return false;
    }
    // Read, never mapped: a file cut short by another program while it is
    // mapped would kill the reader with SIGBUS.
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError || bytes.size() > MaxFileSize) {
        openError_ = bytes.size() > MaxFileSize ? TooLarge : ReadFailed;
        return false;
    }
    file.close();
    QString decoded = decodeText(bytes, encoding, &encoding);
    if (decoded.isNull() && !bytes.isEmpty()) {
        openError_ = TooLarge; // more characters than a string can hold
        return false;
    }
    normalizeLineEnds(decoded);
    bytes.clear();

    emit replaced();
    if (parser)
        parser->clear();
    path_ = path;
    title_ = QFileInfo(path).baseName();
    text_ = decoded;
    length_ = text_.size();
    open_ = true;
    ++serial_;
    encoding_ = encoding;
    loadBookmarks();
    startParse();
    return true;
}

void Book::clear()
{
    if (open_)
        emit replaced();
    if (parser)
        parser->clear();
    title_.clear();
    text_.clear();
    bookmarks_.clear();
    bookmarkPath_.clear();
    keepDamagedFile = false;
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
        parser.reset(new ParseContentThread(text_, &chapters_, &chapterLock, rule_));
        connect(parser.get(), &QThread::finished, this, &Book::onParseEnd);
        parser->start(QThread::InheritPriority);
    } else {
        parser->restart(text_, rule_);
    }
}

void Book::setChapterRule(const ChapterRule &rule)
{
    const ChapterRule usable = rule.isValid() ? rule : ChapterRule();
    if (usable == rule_)
        return;
    rule_ = usable;
    if (hasText())
        startParse();
}

int Book::countChapters(const ChapterRule &rule, QDeadlineTimer deadline, bool *complete) const
{
    return ChapterScanner(rule).count(text_, deadline, complete);
}

void Book::onParseEnd()
{
    // The end of a parse that a later one replaced may arrive while that
    // one runs: its list is not ready yet.
    if (parser && parser->isRunning())
        return;
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

int Book::clampedOffset(int offset) const
{
    return qBound(0, offset, text_.size());
}

bool Book::addBookmark(int offset, bool autoSave)
{
    if (!open_)
        return false;
    const Chapter chapter = chapterAt(offset);
    int summaryStart = offset;
    if (offset == chapter.offset)
        summaryStart = offset + chapter.title.size();
    // Offsets from a damaged or outdated file are kept as they are, but never
    // used to read outside the text.
    summaryStart = clampedOffset(summaryStart);
    const QString summary = text_.mid(summaryStart, kSummaryLength).trimmed();
    QString title = chapter.title;
    if (autoSave) {
        title += tr("（自动保存）");
        if (!bookmarks_.isEmpty()) {
            Bookmark &automatic = bookmarks_[0];
            automatic.offset = offset;
            automatic.title = title;
            automatic.summary = summary;
            return saveBookmarks();
        }
    }
    bookmarks_.append(Bookmark{offset, title, summary});
    return saveBookmarks();
}

bool Book::removeBookmark(int index)
{
    if (!open_ || index >= bookmarks_.size())
        return false;
    if (index >= 0)
        bookmarks_.removeAt(index);
    saveBookmarks();
    return true;
}

int Book::lastReadOffset() const
{
    return bookmarks_.isEmpty() ? 0 : bookmarks_.first().offset;
}

QString Book::bookmarkPath() const
{
    return bookmarkPath_.isEmpty() ? BookmarkFile::pathFor(path_) : bookmarkPath_;
}

// The file beside the book wins, unless the per-user copy is newer: that one
// was written because the folder beside the book could not be.
QString Book::chooseBookmarkPath() const
{
    const QString beside = BookmarkFile::pathFor(path_);
    const QString fallback = BookmarkFile::fallbackPathFor(path_);
    const QFileInfo besideInfo(beside);
    const QFileInfo fallbackInfo(fallback);
    const bool besideReadable = besideInfo.isFile() && besideInfo.isReadable();
    if (!fallbackInfo.isFile())
        return besideInfo.exists() && !besideReadable ? fallback : beside;
    if (besideReadable && besideInfo.lastModified() >= fallbackInfo.lastModified())
        return beside;
    return fallback;
}

void Book::loadBookmarks()
{
    bookmarks_.clear();
    keepDamagedFile = false;
    bookmarkPath_ = chooseBookmarkPath();
    if (bookmarkPath_ != BookmarkFile::pathFor(path_))
        emit bookmarksRelocated(bookmarkPath_);
    QFile file(bookmarkPath_);
    if (!file.exists()) {
        addBookmark(0, true);
        return;
    }
    if (file.open(QIODevice::ReadOnly) && BookmarkFile::read(file, &bookmarks_))
        return;
    file.close();
    const QString backup = backUpDamagedFile(bookmarkPath_);
    keepDamagedFile = backup.isEmpty();
    emit bookmarksDamaged(bookmarks_.size(), backup);
}

// Beside the damaged file, else in the per-user folder; empty when neither works.
QString Book::backUpDamagedFile(const QString &path) const
{
    const QStringList candidates = {path + QStringLiteral(".bak"),
                                    BookmarkFile::fallbackPathFor(path_) + QStringLiteral(".bak")};
    for (const QString &backup : candidates) {
        QDir().mkpath(QFileInfo(backup).absolutePath());
        QFile::remove(backup);
        if (QFile::copy(path, backup))
            return backup;
    }
    return QString();
}

BookmarkFile::SaveResult Book::writeBookmarks(const QString &path)
{
    if (keepDamagedFile && QFile::exists(path)) {
        BookmarkFile::SaveResult kept;
        kept.error = tr("书签文件已损坏且无法备份，为保全它不再写入");
        return kept;
    }
    QDir().mkpath(QFileInfo(path).absolutePath());
    return BookmarkFile::saveBytes(path, BookmarkFile::serialize(bookmarks_));
}

bool Book::saveBookmarks()
{
    if (!open_)
        return false;
    if (bookmarkPath_.isEmpty())
        bookmarkPath_ = chooseBookmarkPath();
    BookmarkFile::SaveResult result = writeBookmarks(bookmarkPath_);
    const QString fallback = BookmarkFile::fallbackPathFor(path_);
    if (!result.ok && result.cannotCreate && bookmarkPath_ != fallback) {
        const BookmarkFile::SaveResult moved = writeBookmarks(fallback);
        if (moved.ok) {
            bookmarkPath_ = fallback;
            keepDamagedFile = false;
            emit bookmarksRelocated(fallback);
        }
        result = moved.ok ? moved : result;
    }
    lastSaveError_ = result.ok ? QString() : result.error;
    if (!result.ok)
        emit bookmarkSaveFailed(result.error);
    return result.ok;
}
