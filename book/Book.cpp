#include "Book.h"

#include "BookmarkFile.h"
#include "ChapterScanner.h"
#include "ParseContentThread.h"
#include "decodeText.h"

#include <QFile>
#include <QFileInfo>
#include <QMutexLocker>

namespace {
const int kSummaryLength = 100;
}

Book::Book() : QObject(nullptr) {}

Book::~Book()
{
    if (parser)
        parser->stop();
}

bool Book::open(const QString &path, TextEncoding encoding)
{
    const QFileInfo info(path);
    if (!info.exists() || !info.isFile() || info.size() > MaxFileSize)
        return false;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    // Mapping spares a copy of the whole file; a file that cannot be mapped
    // (a pipe, say) is read instead.
    QByteArray bytes;
    if (uchar *mapped = file.size() > 0 ? file.map(0, file.size()) : nullptr) {
        bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(mapped), int(file.size()));
    } else {
        bytes = file.readAll();
        if (file.error() != QFileDevice::NoError)
            return false;
    }
    QString decoded = decodeText(bytes, encoding, &encoding);
    if (decoded.isNull() && !bytes.isEmpty())
        return false; // more characters than a string can hold
    normalizeLineEnds(decoded);
    bytes.clear();
    file.close();

    if (parser)
        parser->clear();
    path_ = path;
    title_ = info.baseName();
    text_ = decoded;
    length_ = text_.size();
    encoding_ = encoding;
    loadBookmarks();
    startParse();
    return true;
}

void Book::clear()
{
    if (parser)
        parser->clear();
    title_.clear();
    text_.clear();
    bookmarks_.clear();
    bookmarkFileDamaged = false;
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
            saveBookmarks();
            return true;
        }
    }
    bookmarks_.append(Bookmark{offset, title, summary});
    saveBookmarks();
    return true;
}

bool Book::removeBookmark(int index)
{
    if (index >= bookmarks_.size())
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
    return BookmarkFile::pathFor(path_);
}

void Book::loadBookmarks()
{
    bookmarks_.clear();
    bookmarkFileDamaged = false;
    QFile file(bookmarkPath());
    if (!file.exists()) {
        addBookmark(0, true);
        return;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        bookmarkFileDamaged = true; // unreadable now; do not overwrite it blindly
        return;
    }
    bookmarkFileDamaged = !BookmarkFile::read(file, &bookmarks_);
}

void Book::saveBookmarks()
{
    const QString path = bookmarkPath();
    if (bookmarkFileDamaged) {
        const QString backup = path + QStringLiteral(".bak");
        QFile::remove(backup);
        if (!QFile::copy(path, backup) && QFile::exists(path))
            return; // keep the damaged file rather than lose it
        bookmarkFileDamaged = false;
    }
    BookmarkFile::save(path, bookmarks_);
}
