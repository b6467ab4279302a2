#include "BookmarkStore.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>

namespace {

// Beside the per-user copy: the state of the file beside the book that the
// copy took over from. The file beside wins again only once it changes.
QString supersededPath(const QString &bookPath)
{
    return BookmarkFile::fallbackPathFor(bookPath) + QStringLiteral(".beside");
}

QByteArray stampText(const BookmarkFile::Stamp &stamp)
{
    return QStringLiteral("%1 %2 %3 %4\n")
        .arg(int(stamp.exists))
        .arg(stamp.size)
        .arg(stamp.modified)
        .arg(stamp.inode)
        .toLatin1();
}

} // namespace

BookmarkStore::BookmarkStore()
{
    connect(&writer, &BookmarkWriter::written, this, &BookmarkStore::onWritten, Qt::QueuedConnection);
}

BookmarkStore::~BookmarkStore()
{
    settle();
}

// The file beside the book, unless the per-user copy took over from it (the
// folder could not be written, or the name belongs to another file) and it
// has not changed since.
BookmarkStore::Choice BookmarkStore::choose(const QString &bookPath)
{
    const QString beside = BookmarkFile::pathFor(bookPath);
    const QString fallback = BookmarkFile::fallbackPathFor(bookPath);
    QList<Bookmark> ignored;
    const BookmarkFile::Content content = BookmarkFile::read(beside, &ignored);
    Choice choice;
    choice.foreignBeside = content == BookmarkFile::Foreign;
    const bool besideUsable = content != BookmarkFile::Foreign && content != BookmarkFile::Unreadable;
    if (!QFileInfo(fallback).isFile()) {
        choice.path = besideUsable ? beside : fallback;
        choice.supersedes = !besideUsable;
        return choice;
    }
    QFile record(supersededPath(bookPath));
    if (!besideUsable || content == BookmarkFile::Missing) {
        choice.path = fallback;
    } else if (record.open(QIODevice::ReadOnly)) {
        choice.path = record.readAll() == stampText(BookmarkFile::stampOf(beside)) ? fallback : beside;
    } else {
        // A copy from before the record was kept: the newer file, and the
        // copy on a tie (it was written because the other could not be).
        const bool besideNewer = QFileInfo(beside).lastModified() > QFileInfo(fallback).lastModified();
        choice.path = besideNewer ? beside : fallback;
        choice.supersedes = !besideNewer;
    }
    return choice;
}

void BookmarkStore::recordSuperseded(const QString &bookPath)
{
    QDir().mkpath(QFileInfo(supersededPath(bookPath)).absolutePath());
    BookmarkFile::saveBytes(supersededPath(bookPath),
                            stampText(BookmarkFile::stampOf(BookmarkFile::pathFor(bookPath))));
}

int BookmarkStore::placeOf(const QString &bookPath)
{
    QList<Bookmark> bookmarks;
    BookmarkFile::read(choose(bookPath).path, &bookmarks);
    return bookmarks.isEmpty() ? 0 : bookmarks.first().offset;
}

bool BookmarkStore::load(const QString &book)
{
    clear();
    bookPath = book;
    const Choice choice = choose(book);
    path_ = choice.path;
    if (choice.supersedes)
        recordSuperseded(book);
    const QString beside = BookmarkFile::pathFor(book);
    if (choice.foreignBeside && path_ != beside)
        emit foreignFileKept(beside, path_);
    else if (path_ != beside)
        emit relocated(path_);
    const BookmarkFile::Content content = BookmarkFile::read(path_, &list);
    if (content == BookmarkFile::Damaged || content == BookmarkFile::Foreign || content == BookmarkFile::Unreadable)
        backUpDamagedFile();
    base = list;
    known = BookmarkFile::stampOf(path_);
    return content != BookmarkFile::Missing;
}

// Beside the damaged file, else in the per-user folder, under a name no
// earlier copy has; when neither works the file is never overwritten.
void BookmarkStore::backUpDamagedFile()
{
    QString backup = BookmarkFile::freeBackupPath(path_);
    if (backup.isEmpty() || !QFile::copy(path_, backup)) {
        backup = BookmarkFile::freeBackupPath(BookmarkFile::fallbackPathFor(bookPath));
        QDir().mkpath(QFileInfo(backup).absolutePath());
        if (backup.isEmpty() || !QFile::copy(path_, backup))
            backup.clear();
    }
    keepDamagedFile = backup.isEmpty();
    emit damaged(list.size(), backup);
}

void BookmarkStore::clear()
{
    settle();
    bookPath.clear();
    path_.clear();
    list.clear();
    base.clear();
    known = BookmarkFile::Stamp();
    keepDamagedFile = false;
    lastSaveError_.clear();
}

bool BookmarkStore::setPlace(const Bookmark &place)
{
    if (path_.isEmpty())
        return false;
    placeChangedAt = QDateTime::currentMSecsSinceEpoch();
    if (list.isEmpty()) {
        list.append(place);
        return save(true);
    }
    list[0] = place;
    // A page turn never waits for the disk: the writer saves the newest
    // place in the background.
    return save(false);
}

bool BookmarkStore::add(const Bookmark &bookmark)
{
    if (path_.isEmpty())
        return false;
    list.append(bookmark);
    return save(true);
}

bool BookmarkStore::remove(int index)
{
    if (path_.isEmpty() || index >= list.size())
        return false;
    if (index >= 0)
        list.removeAt(index);
    save(true);
    return true;
}

bool BookmarkStore::replaceBookmarks(const QList<Bookmark> &bookmarks)
{
    if (path_.isEmpty() || list.isEmpty())
        return false;
    const QList<Bookmark> replaced = QList<Bookmark>{list.first()} + bookmarks;
    if (replaced == list)
        return true;
    list = replaced;
    emit changed();
    return save(true);
}

void BookmarkStore::flush()
{
    settle();
}

// Another reader (a second copy of the program, another machine through a
// shared folder) wrote the file since we last read or wrote it: its changes
// join ours instead of being overwritten.
void BookmarkStore::absorbOtherWrites()
{
    const BookmarkWriter::Written last = writer.lastWritten(path_);
    if (last.serial < submitted)
        return; // our own write is on its way: the file is ours or older
    if (last.serial > 0 && last.result.ok && last.serial == submitted) {
        known = last.stamp;
        submitted = 0; // this stamp is taken; the next write brings a new one
    }
    const BookmarkFile::Stamp now = BookmarkFile::stampOf(path_);
    if (now == known || !now.exists)
        return;
    QList<Bookmark> theirs;
    const BookmarkFile::Content content = BookmarkFile::read(path_, &theirs);
    if (content == BookmarkFile::Damaged)
        backUpDamagedFile();
    known = now;
    if (content != BookmarkFile::Whole && content != BookmarkFile::Damaged)
        return;
    const QList<Bookmark> merged = merge(base, list, theirs, placeChangedAt >= now.modified);
    base = theirs;
    if (merged != list) {
        list = merged;
        emit changed();
    }
}

bool BookmarkStore::save(bool wait)
{
    if (path_.isEmpty())
        return false;
    if (keepDamagedFile && QFile::exists(path_)) {
        lastSaveError_ = tr("书签文件已损坏且无法备份，为保全它不再写入");
        emit saveFailed(lastSaveError_);
        return false;
    }
    absorbOtherWrites();
    QDir().mkpath(QFileInfo(path_).absolutePath());
    submitted = writer.submit(path_, BookmarkFile::serialize(list));
    base = list;
    return wait ? settle() : true;
}

// Waits for the writer and deals with how the last save ended here and now:
// a book closed right after a move must not lose the move to a folder it
// could not write.
bool BookmarkStore::settle()
{
    writer.flush();
    if (path_.isEmpty())
        return true;
    BookmarkFile::SaveResult result = writer.lastResult(path_);
    if (!result.ok && result.cannotCreate && relocate())
        result = writer.lastResult(path_);
    lastSaveError_ = result.ok ? QString() : result.error;
    return result.ok;
}

// The folder beside the book cannot be written: the per-user copy takes over.
bool BookmarkStore::relocate()
{
    const QString fallback = BookmarkFile::fallbackPathFor(bookPath);
    if (path_ == fallback)
        return false;
    path_ = fallback;
    keepDamagedFile = false;
    known = BookmarkFile::stampOf(path_);
    submitted = 0;
    save(false);
    writer.flush();
    if (!writer.lastResult(fallback).ok)
        return false; // the per-user folder cannot be written either
    recordSuperseded(bookPath);
    emit relocated(fallback);
    return true;
}

void BookmarkStore::onWritten(const QString &path, const BookmarkFile::SaveResult &result)
{
    if (path != path_)
        return; // another book's, or a place given up
    if (!result.ok && result.cannotCreate && relocate())
        return;
    lastSaveError_ = result.ok ? QString() : result.error;
    if (!result.ok)
        emit saveFailed(result.error);
}

QList<Bookmark> BookmarkStore::merge(const QList<Bookmark> &base, const QList<Bookmark> &ours,
                                     const QList<Bookmark> &theirs, bool oursNewer)
{
    QList<Bookmark> merged;
    // The reading place: the side that moved it, or the later move.
    const bool oursMoved = ours.value(0) != base.value(0);
    const bool theirsMoved = theirs.value(0) != base.value(0);
    if (!ours.isEmpty() || !theirs.isEmpty()) {
        if (theirs.isEmpty() || (ours.size() > 0 && oursMoved && (!theirsMoved || oursNewer)))
            merged.append(ours.first());
        else
            merged.append(theirs.first());
    }
    // The rest as counted sets: what each side added or removed since the
    // base. A removal on either side stays removed; an addition on either
    // side is kept, once where both made the same one.
    QHash<Bookmark, int> theirChange;
    QHash<Bookmark, int> ourChange;
    for (int i = 1; i < base.size(); ++i) {
        --theirChange[base.at(i)];
        --ourChange[base.at(i)];
    }
    for (int i = 1; i < theirs.size(); ++i)
        ++theirChange[theirs.at(i)];
    for (int i = 1; i < ours.size(); ++i)
        ++ourChange[ours.at(i)];
    for (int i = 1; i < ours.size(); ++i) {
        int &change = theirChange[ours.at(i)];
        if (change < 0)
            ++change; // they removed it
        else
            merged.append(ours.at(i));
    }
    for (int i = 1; i < theirs.size(); ++i) {
        int &added = theirChange[theirs.at(i)];
        int &alsoOurs = ourChange[theirs.at(i)];
        if (added <= 0)
            continue;
        --added;
        if (alsoOurs > 0)
            --alsoOurs; // we made the same one: it is in already
        else
            merged.append(theirs.at(i));
    }
    return merged;
}
