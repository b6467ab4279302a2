#include "PlaceSync.h"

#include "PlaceLocator.h"
#include "ReaderConfig.h"
#include "ReadingSession.h"
#include "SyncState.h"

#include <QDateTime>
#include <QEventLoop>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTimer>

#include <utility>

namespace {

qint64 now()
{
    return QDateTime::currentMSecsSinceEpoch();
}

// Problems only the user can mend: no retry until the settings change.
bool needsUser(SyncStore::Problem problem)
{
    return problem == SyncStore::NotSet || problem == SyncStore::Insecure || problem == SyncStore::Credentials ||
           problem == SyncStore::Certificate;
}

// Whatever keeps the store out of reach is told once, whichever way it shows.
int toldAs(SyncStore::Problem problem)
{
    return needsUser(problem) ? int(problem) : -1;
}

} // namespace

PlaceSync::PlaceSync(ReadingSession *session, ReaderConfig *config, QObject *parent)
    : QObject(parent), session(session), config(config), account_(config), notice(config),
      stateFolder(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + QStringLiteral("/sync"))
{
    connect(session, &ReadingSession::changed, this, &PlaceSync::onSessionChanged);
    connect(session->book(), &Book::replaced, this, &PlaceSync::onBookReplaced);
    connect(config, &ReaderConfig::settingChanged, this, &PlaceSync::onSettingChanged);
    connect(&notice, &SyncNotice::changed, this, &PlaceSync::changed);
    connect(&schedule, &UploadSchedule::due, this, &PlaceSync::uploadAll);
    connect(&schedule, &UploadSchedule::retryDue, this, &PlaceSync::retry);
    connect(&account_, &SyncAccount::passwordReady, this, [this] {
        if (std::exchange(syncNowWaits, false))
            syncNow();
        else if (std::exchange(waitingForPassword, false))
            retry();
    });
    connect(&account_, &SyncAccount::storeDropped, this, &PlaceSync::onStoreDropped);
    connect(&account_, &SyncAccount::passwordWanted, this, &PlaceSync::passwordWanted);
    setTiming(SyncTiming());
    onSessionChanged(); // a book opened before sync was made
}

// The account and its store go first: no answer may reach a half-gone sync.
PlaceSync::~PlaceSync()
{
    account_.blockSignals(true);
    account_.reset();
}

void PlaceSync::setTiming(const SyncTiming &times)
{
    timing = times;
    schedule.setTiming(timing);
    account_.setTimeouts(timing.transfer, timing.keychain);
}

void PlaceSync::onSessionChanged()
{
    Book *book = session->book();
    if (book->serial() != bookSerial) {
        bookSerial = book->serial();
        currentKey.clear();
        fetched = false;
        notice.hide();
        // Nothing before the page is shown: the work starts from the event loop.
        const quint64 serial = bookSerial;
        if (book->isOpen() && isEnabled())
            QTimer::singleShot(0, this, [this, serial] { begin(serial); });
        return;
    }
    const State state = current();
    if (state && !applying && notePlace(state, now()))
        schedule.changed();
}

// The book's last place and bookmarks go out before another takes its place.
void PlaceSync::onBookReplaced()
{
    disconnect(waitingForText);
    notice.hide();
    const State state = current();
    if (!state)
        return;
    observeCurrent();
    currentKey.clear();
    if (state->isDirty())
        upload(state, false);
}

void PlaceSync::onSettingChanged(const QString &key)
{
    if (!key.startsWith(QLatin1String("sync/")) || key == QLatin1String("sync/deviceName") ||
        key == QLatin1String("sync/deviceId"))
        return;
    account_.reset();
    told.clear();
    schedule.succeeded();
    if (!isEnabled()) {
        schedule.clear();
        return;
    }
    if (key != QLatin1String("sync/enabled") || !session->book()->isOpen())
        return;
    if (currentKey.isEmpty()) {
        begin(bookSerial);
    } else {
        fetched = false;
        fetch();
    }
}

// What was under way is not lost: a fetch is made again when next due, and
// the records not uploaded stay marked as changed.
void PlaceSync::onStoreDropped()
{
    fetching = false;
    uploadAgain.clear();
    if (uploading.isEmpty())
        return;
    uploading.clear();
    emit uploadsSettled();
}

// Text read only in part (a long book) is waited for: the book's name among
// machines and every place count in the whole text.
void PlaceSync::begin(quint64 serial)
{
    Book *book = session->book();
    if (serial != bookSerial || !book->isOpen() || !isEnabled() || !currentKey.isEmpty())
        return;
    if (!book->isComplete()) {
        disconnect(waitingForText);
        waitingForText = connect(book, &Book::textCompleted, this, [this, serial] {
            disconnect(waitingForText);
            begin(serial);
        });
        return;
    }
    const QString key = SyncState::keyOf(book->decodedText());
    State state = states.value(key);
    if (!state) {
        state.reset(new SyncState(stateFolder, key, account_.deviceId()));
        state->load();
        states.insert(key, state);
    }
    // What changed while sync did not watch changed at the latest when the
    // bookmark file was last written; a book never read is at its start.
    const QFileInfo file(book->bookmarkPath());
    const qint64 unwatched = file.exists() ? file.lastModified().toMSecsSinceEpoch() : now();
    currentKey = key;
    notePlace(state, unwatched);
    state->observeBookmarks(book->bookmarkStore()->bookmarks().mid(1), unwatched);
    fetch();
}

// A place never moved while synced (the start of a book seen first) has no
// time: any other machine's place wins over it.
bool PlaceSync::notePlace(const State &state, qint64 time)
{
    Book *book = session->book();
    const int offset = book->decodedOffset(session->position());
    const bool fresh = !state->knowsBook();
    return state->notePlace(PlaceLocator::describe(book->decodedText(), offset, fresh && offset == 0 ? 0 : time));
}

void PlaceSync::observeCurrent()
{
    const State state = current();
    if (!state)
        return;
    notePlace(state, now());
    state->observeBookmarks(session->book()->bookmarkStore()->bookmarks().mid(1), now());
}

SyncStore *PlaceSync::usableStore()
{
    SyncStore::Problem problem;
    QString why;
    SyncStore *store = account_.store(&problem, &why);
    if (problem != SyncStore::NoProblem)
        fail(problem, why);
    waitingForPassword = !store && problem == SyncStore::NoProblem;
    return store;
}

void PlaceSync::fetch()
{
    const State state = current();
    if (!state || fetching)
        return;
    SyncStore *store = usableStore();
    if (!store)
        return;
    fetching = true;
    const quint64 serial = bookSerial;
    store->list(state->key(), ownName(), state->knownTags(), [this, state, serial](const SyncStore::Listing &listing) {
        fetching = false;
        onListed(state, serial, listing);
    });
}

void PlaceSync::onListed(const State &state, quint64 serial, const SyncStore::Listing &listing)
{
    if (listing.problem != SyncStore::NoProblem)
        return fail(listing.problem, listing.detail);
    schedule.succeeded();
    state->takeFiles(listing.files);
    QList<QPair<QString, QString>> skipped;
    const QList<SyncRecord> records = state->records(&skipped);
    for (const auto &file : qAsConst(skipped))
        tellSkipped(file.first, file.second);
    // A book closed meanwhile merges at its next open: bookmarks taken now
    // would be missing from its file then, and taken for removed.
    if (serial == bookSerial && state->key() == currentKey) {
        fetched = true;
        apply(state, SyncMerge::merge(state->own(), records));
    }
    state->save();
    if (state->isDirty())
        return upload(state, true);
    emit syncFinished(true, records.isEmpty() ? tr("已同步") : tr("已同步（另有 %1 份记录）").arg(records.size()));
}

void PlaceSync::apply(const State &state, const SyncMerge::Result &merged)
{
    Book *book = session->book();
    mergeBookmarks(merged.bookmarks);
    if (merged.placeIsOwn) {
        state->adopt(merged, nullptr);
        return;
    }
    const int before = book->decodedOffset(session->position());
    const int found = PlaceLocator::locate(book->decodedText(), merged.place);
    if (found != before) {
        applying = true;
        session->jumpTo(book->shownOffset(found));
        applying = false;
    }
    const int after = book->decodedOffset(session->position());
    if (after != before)
        notice.show(before, timing.undo);
    // The place keeps the other machine's time: it is not a newer move.
    const SyncPlace place = PlaceLocator::describe(book->decodedText(), after, merged.place.changedAt);
    state->adopt(merged, &place);
}

// The bookmarks the book keeps stay in their order; those new to it follow.
void PlaceSync::mergeBookmarks(const QList<SyncBookmark> &merged)
{
    QList<Bookmark> wanted;
    for (const SyncBookmark &bookmark : merged)
        wanted.append(Bookmark{bookmark.offset, bookmark.title, bookmark.summary});
    BookmarkStore *store = session->book()->bookmarkStore();
    QList<Bookmark> kept;
    for (const Bookmark &bookmark : store->bookmarks().mid(1)) {
        if (wanted.contains(bookmark) && !kept.contains(bookmark))
            kept.append(bookmark);
    }
    for (const Bookmark &bookmark : qAsConst(wanted)) {
        if (!kept.contains(bookmark))
            kept.append(bookmark);
    }
    store->replaceBookmarks(kept);
}

void PlaceSync::upload(const State &state, bool endsRound)
{
    if (uploading.contains(state->key())) {
        uploadAgain.insert(state->key());
        return;
    }
    SyncStore *store = usableStore();
    if (!store)
        return;
    state->own().deviceName = account_.deviceName();
    const quint64 revision = state->currentRevision();
    state->save(); // the queue: what waits to go out survives a quit
    uploading.insert(state->key());
    store->put(state->key(), ownName(), state->own().toJson(),
               [this, state, revision, endsRound](SyncStore::Problem problem, const QString &detail) {
                   onUploaded(state, revision, problem, detail, endsRound);
               });
}

void PlaceSync::uploadAll()
{
    if (!isEnabled())
        return;
    observeCurrent();
    for (const State &state : qAsConst(states)) {
        if (state->isDirty())
            upload(state, false);
    }
}

void PlaceSync::onUploaded(const State &state, quint64 revision, SyncStore::Problem problem, const QString &detail,
                           bool endsRound)
{
    uploading.remove(state->key());
    const bool again = uploadAgain.remove(state->key());
    if (problem != SyncStore::NoProblem) {
        fail(problem, detail);
    } else {
        schedule.succeeded();
        state->markUploaded(revision);
        state->save();
        if (again && state->isDirty())
            upload(state, false);
        else if (state->isDirty())
            schedule.changed();
        else if (state->key() != currentKey)
            states.remove(state->key());
        emit syncFinished(true, endsRound ? tr("已同步") : tr("已上传阅读位置"));
    }
    if (uploading.isEmpty())
        emit uploadsSettled();
}

void PlaceSync::retry()
{
    if (!isEnabled())
        return;
    if (!fetched)
        fetch();
    uploadAll();
}

void PlaceSync::windowHidden()
{
    schedule.clear();
    uploadAll();
}

bool PlaceSync::flushNow(int waitMs)
{
    schedule.clear();
    uploadAll();
    if (!uploading.isEmpty()) {
        QEventLoop loop;
        connect(this, &PlaceSync::uploadsSettled, &loop, &QEventLoop::quit);
        QTimer::singleShot(waitMs, &loop, &QEventLoop::quit);
        loop.exec();
    }
    if (!isEnabled())
        return true;
    for (const State &state : qAsConst(states)) {
        if (state->isDirty())
            return false;
    }
    return true;
}

void PlaceSync::syncNow()
{
    SyncStore *store = usableStore();
    if (!store) {
        syncNowWaits = account_.password()->state() == SyncPassword::Loading;
        return;
    }
    if (current() && isEnabled()) {
        observeCurrent();
        if (!fetching) // else its end is told as this one's
            fetch();
        return;
    }
    uploadAll();
    store->probe([this](SyncStore::Problem problem, const QString &detail) {
        if (problem != SyncStore::NoProblem)
            return fail(problem, detail);
        emit syncFinished(true, isEnabled() ? tr("连接正常") : tr("连接正常（同步未开启）"));
    });
}

// Going back is a move of the reader's own: newer than the other machine's.
bool PlaceSync::undo()
{
    if (!notice.isShown())
        return false;
    const int previous = notice.previous();
    notice.hide();
    session->jumpTo(session->book()->shownOffset(previous));
    return true;
}

void PlaceSync::fail(SyncStore::Problem problem, const QString &detail)
{
    const QString text = SyncStore::problemText(problem, detail);
    emit syncFinished(false, text);
    if (!told.contains(toldAs(problem))) {
        told.insert(toldAs(problem));
        emit message(tr("同步：%1").arg(text));
    }
    if (needsUser(problem))
        schedule.clear();
    else
        schedule.failed();
}

void PlaceSync::tellSkipped(const QString &name, const QString &why)
{
    if (toldRecords.contains(name))
        return;
    toldRecords.insert(name);
    emit message(tr("同步：跳过了无法读取的记录 %1：%2").arg(name, why));
}
