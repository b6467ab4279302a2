#pragma once

#include "SyncAccount.h"
#include "SyncMerge.h"
#include "SyncNotice.h"
#include "SyncStore.h"
#include "SyncTiming.h"
#include "UploadSchedule.h"

#include <QHash>
#include <QObject>
#include <QRect>
#include <QSet>
#include <QSharedPointer>

class QPainter;
class QRect;
class ReaderConfig;
class ReadingSession;
class SyncState;

/// The reading place and the bookmarks kept in step between machines. A
/// book opened is looked up in the store in the background (never before
/// its page is shown); when another machine read further since, the page
/// moves there and a notice offers the way back for a few seconds. Moves
/// go to the store a while after the place stands still (a few minutes
/// apart at most while reading), and at once when the book closes, the
/// window hides or the program quits. A failed exchange waits in a queue
/// and is tried again later and later; the user hears of it once.
///
/// All offsets exchanged count in the decoded text; the session's are
/// turned into them and back.
class PlaceSync : public QObject
{
    Q_OBJECT

public:
    PlaceSync(ReadingSession *session, ReaderConfig *config, QObject *parent = nullptr);
    ~PlaceSync() override;

    /// The settings' account: the password, this machine's id.
    SyncAccount *account() { return &account_; }

    /// The line shown on the page after a move to another machine's place.
    QString noticeText() const { return notice.text(); }
    bool canUndo() const { return notice.isShown(); }
    /// Back to the place before that move; false when there is none.
    bool undo();
    void paintNotice(QPainter *painter, const QRect &page) const { notice.paint(painter, page); }
    QRect noticeArea(const QRect &page) const { return notice.area(page); }

    /// The window was hidden: what changed goes out now.
    void windowHidden();
    /// At quit: sends what changed and waits for it at most `waitMs`; true
    /// when nothing is left to send.
    bool flushNow(int waitMs = 2000);
    /// Exchanges the open book's records now (without a book: checks the
    /// connection); syncFinished() tells how it went.
    void syncNow();

    void setTiming(const SyncTiming &timing);
    /// Where the per-book states are kept (tests; by default the user's
    /// data folder).
    void setStateFolder(const QString &folder) { stateFolder = folder; }

signals:
    /// The notice changed: the page may look different.
    void changed();
    /// Something the user should know, said once per kind per run.
    void message(const QString &text);
    /// An exchange with the store ended.
    void syncFinished(bool ok, const QString &result);
    /// Every upload under way has ended.
    void uploadsSettled();
    /// The password must be asked for (account()->setPassword() with it).
    void passwordWanted();

private:
    using State = QSharedPointer<SyncState>;

    void onSessionChanged();
    void onBookReplaced();
    void onSettingChanged(const QString &key);
    void begin(quint64 serial);
    bool notePlace(const State &state, qint64 time);
    void observeCurrent();
    SyncStore *usableStore();
    void onStoreDropped();
    bool isEnabled() const { return account_.isEnabled(); }
    void fetch();
    void onListed(const State &state, quint64 serial, const SyncStore::Listing &listing);
    void apply(const State &state, const SyncMerge::Result &merged);
    void mergeBookmarks(const QList<SyncBookmark> &merged);
    void upload(const State &state, bool endsRound);
    void uploadAll();
    void onUploaded(const State &state, quint64 revision, SyncStore::Problem problem, const QString &detail,
                    bool endsRound);
    void retry();
    void fail(SyncStore::Problem problem, const QString &detail);
    void tellSkipped(const QString &name, const QString &why);
    State current() const { return states.value(currentKey); }
    QString ownName() { return account_.deviceId() + QStringLiteral(".json"); }

    ReadingSession *session;
    ReaderConfig *config;
    SyncAccount account_;
    SyncNotice notice;
    UploadSchedule schedule;
    SyncTiming timing;
    QString stateFolder;
    QHash<QString, State> states; // the open book's, and those with uploads pending
    QString currentKey;
    quint64 bookSerial = 0;
    QMetaObject::Connection waitingForText;
    bool fetched = false;
    bool fetching = false;
    bool applying = false;
    bool waitingForPassword = false;
    bool syncNowWaits = false;
    QSet<QString> uploading;
    QSet<QString> uploadAgain;
    QSet<int> told;
    QSet<QString> toldRecords;
};
