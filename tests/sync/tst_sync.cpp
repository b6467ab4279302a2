// The place and the bookmarks kept in step between machines: the record
// format, the merge, finding a place in another copy, and two machines
// against rclone's WebDAV server and through a synced folder.

#include "BookmarkRecords.h"
#include "DavListing.h"
#include "PlaceLocator.h"
#include "PlaceSync.h"
#include "Reader.h"
#include "ReaderConfig.h"
#include "SyncMerge.h"
#include "SyncPreferences.h"
#include "SyncState.h"
#include "TestFiles.h"
#include "WebDavServer.h"
#include "WebDavStore.h"

#include <QtTest>
#include <QtWidgets>

Q_DECLARE_METATYPE(SyncStore::Problem)

namespace {

const char *const kIdA = "aaaaaaaa-0000-4000-8000-00000000000a";
const char *const kIdB = "bbbbbbbb-0000-4000-8000-00000000000b";

// Every paragraph names its chapter: the words after any place are its own.
QString novel()
{
    QString text;
    for (int i = 1; i <= 300; ++i)
        text += QStringLiteral("第%1章 江上\n\u3000\u3000第%1章里天色将晚，江上起了风，老渔夫收网回望远山。\n").arg(i);
    return text;
}

// A record as another machine writes it, by hand.
const char *const kRecord = R"({"format":1,"device":"aaaaaaaa-0000-4000-8000-00000000000a","deviceName":"书房",)"
                            R"("place":{"offset":120,"percent":12.5,"context":"天色将晚","changed":1700000000000},)"
                            R"("bookmarks":[{"offset":40,"title":"第1章","summary":"开端","added":1700000000001}],)"
                            R"("deleted":[{"offset":7,"title":"序","deleted":1700000000002}]})";

// "device:offset@time" for a record's place.
SyncRecord placed(const QString &spec)
{
    SyncRecord record;
    record.deviceId = spec.section(QLatin1Char(':'), 0, 0);
    record.place.offset = spec.section(QLatin1Char(':'), 1).section(QLatin1Char('@'), 0, 0).toInt();
    record.place.changedAt = spec.section(QLatin1Char('@'), 1).toLongLong();
    return record;
}

// "+offset@added -offset@deleted ..." for a record's bookmarks; titles are "t<offset>".
SyncRecord marked(const QString &spec)
{
    SyncRecord record;
    for (const QString &entry : spec.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        const int offset = entry.mid(1).section(QLatin1Char('@'), 0, 0).toInt();
        const qint64 time = entry.section(QLatin1Char('@'), 1).toLongLong();
        if (entry.startsWith(QLatin1Char('+')))
            record.bookmarks.append(SyncBookmark{offset, QStringLiteral("t%1").arg(offset), QString(), time});
        else
            record.deletions.append(SyncDeletion{offset, QStringLiteral("t%1").arg(offset), time});
    }
    return record;
}

template <typename T> QString offsets(const QList<T> &entries)
{
    QList<int> found;
    for (const T &entry : entries)
        found << entry.offset;
    std::sort(found.begin(), found.end());
    QStringList text;
    for (int offset : found)
        text << QString::number(offset);
    return text.join(QLatin1Char(' '));
}

SyncTiming quick()
{
    SyncTiming timing;
    timing.settle = 200;
    timing.longest = 1000;
    timing.firstRetry = 100;
    timing.lastRetry = 400;
    timing.undo = 500;
    timing.transfer = 2000;
    timing.keychain = 2000;
    return timing;
}

// One machine: its settings, its page, its sync and its own state folder.
struct Machine
{
    Machine(const char *id, const QString &stateFolder, const QVariantMap &settings)
    {
        config.setValue(QStringLiteral("sync/deviceId"), QString::fromLatin1(id));
        for (auto it = settings.begin(); it != settings.end(); ++it)
            config.setValue(it.key(), it.value());
        reader.setPageRect(QRect(0, 0, 400, 300));
        sync.setStateFolder(stateFolder);
        sync.setTiming(quick());
    }
    // Opens `path` and waits for its first exchange.
    bool open(const QString &path)
    {
        const int before = finished.count();
        reader.session()->openBook(path);
        reader.book()->waitForChapters();
        return waitFinished(before);
    }
    bool waitFinished(int before)
    {
        return QTest::qWaitFor([&] { return finished.count() > before; }, 5000);
    }
    bool syncNow()
    {
        const int before = finished.count();
        sync.syncNow();
        return waitFinished(before) && finished.last().at(0).toBool();
    }
    int place() { return reader.book()->decodedOffset(reader.position()); }
    QString marks() { return offsets(reader.book()->bookmarks().mid(1)); }

    ReaderConfig config;
    Reader reader{&config};
    PlaceSync sync{reader.session(), &config};
    QSignalSpy finished{&sync, &PlaceSync::syncFinished};
    QSignalSpy messages{&sync, &PlaceSync::message};
};

} // namespace

class TestSync : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    WebDavServer server;
    QString text = novel();
    QString utf8Book, gbkBook;

    QVariantMap davSettings(const QUrl &url = QUrl())
    {
        return {{"sync/enabled", true},
                {"sync/url", (url.isEmpty() ? server.url() : url).toString()},
                {"sync/user", WebDavServer::User},
                {"sync/folder", QStringLiteral("t/%1/").arg(QTest::currentTestFunction())}};
    }
    // No keychain to reach and no password in the environment, until the guard goes.
    static auto withoutKeychain()
    {
        const QByteArray bus = qgetenv("DBUS_SESSION_BUS_ADDRESS");
        qunsetenv("TAVRIL_SYNC_PASSWORD");
        qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/bus");
        return qScopeGuard([bus] {
            qputenv("TAVRIL_SYNC_PASSWORD", WebDavServer::Password);
            qputenv("DBUS_SESSION_BUS_ADDRESS", bus);
        });
    }
    QString state(const char *machine)
    {
        return dir.filePath(QStringLiteral("%1/%2").arg(QTest::currentTestFunction(), machine));
    }
    // The one book folder under `root`, where each machine's file is.
    static QString bookFolder(const QString &root)
    {
        const QStringList books = QDir(root).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
        return books.size() == 1 ? root + QLatin1Char('/') + books.first() : QString();
    }
    QString serverBook(const WebDavServer &on)
    {
        return bookFolder(on.folder() + QStringLiteral("/t/") + QTest::currentTestFunction());
    }
    // Each test reads its own copies: bookmark files beside them start empty.
    void writeBooks()
    {
        const QString name = QTest::currentTestFunction();
        utf8Book = writeFile(dir.filePath(name + QStringLiteral("-utf8.txt")), text.toUtf8());
        gbkBook = writeFile(dir.filePath(name + QStringLiteral("-gbk.txt")),
                            QTextCodec::codecForName("GBK")->fromUnicode(text));
    }

private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        qputenv("TAVRIL_SYNC_PASSWORD", WebDavServer::Password);
        const QString problem = server.start(dir.filePath(QStringLiteral("server")));
        QVERIFY2(problem.isEmpty(), qPrintable(problem));
    }
    void init()
    {
        QFile::remove(iniPath());
        writeBooks();
    }
    void cleanupTestCase() { QFile::remove(iniPath()); }

    void parseReadsEveryField()
    {
        SyncRecord record;
        QString why;
        QVERIFY2(SyncRecord::parse(kRecord, &record, &why), qPrintable(why));
        QCOMPARE(record.deviceId, QStringLiteral("aaaaaaaa-0000-4000-8000-00000000000a"));
        QCOMPARE(record.deviceName, QStringLiteral("书房"));
        QCOMPARE(record.place.offset, 120);
        QCOMPARE(record.place.percent, 12.5);
        QCOMPARE(record.place.context, QStringLiteral("天色将晚"));
        QCOMPARE(record.place.changedAt, Q_INT64_C(1700000000000));
        QCOMPARE(record.bookmarks.size(), 1);
        QCOMPARE(record.bookmarks.first().summary, QStringLiteral("开端"));
        QCOMPARE(record.bookmarks.first().addedAt, Q_INT64_C(1700000000001));
        QCOMPARE(record.deletions.first().title, QStringLiteral("序"));
        QCOMPARE(record.deletions.first().deletedAt, Q_INT64_C(1700000000002));
        SyncRecord again;
        QVERIFY(SyncRecord::parse(record.toJson(), &again, &why));
        QCOMPARE(again.toJson(), record.toJson());
    }

    void parseRejects_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        const QByteArray good(kRecord);
        const auto with = [&good](const char *from, const char *to) { return QByteArray(good).replace(from, to); };
        QTest::newRow("not JSON") << QByteArray("{\"format\":1,");
        QTest::newRow("an array") << QByteArray("[1,2,3]");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("no format") << with("\"format\":1,", "");
        QTest::newRow("a newer format") << with("\"format\":1", "\"format\":2");
        QTest::newRow("offset as text") << with("\"offset\":120", "\"offset\":\"120\"");
        QTest::newRow("negative offset") << with("\"offset\":40", "\"offset\":-40");
        QTest::newRow("fractional offset") << with("\"offset\":7", "\"offset\":7.5");
        QTest::newRow("offset past int") << with("\"offset\":120", "\"offset\":4294967296");
        QTest::newRow("percent past 100") << with("12.5", "112.5");
        QTest::newRow("title a number") << with("\"title\":\"第1章\"", "\"title\":1");
        QTest::newRow("place a string") << with("\"place\":{", "\"place\":\"x\",\"p\":{");
        QTest::newRow("device id a path") << with("aaaaaaaa-0000-4000-8000-00000000000a", "../../etc");
        QTest::newRow("negative time") << with("1700000000002", "-1");
        QTest::newRow("over 1 MiB") << with("\"开端\"", ("\"" + QByteArray(1 << 20, 'x') + "\"").constData());
    }
    void parseRejects()
    {
        QFETCH(QByteArray, bytes);
        SyncRecord record;
        record.deviceName = QStringLiteral("untouched");
        QString why;
        QVERIFY(!SyncRecord::parse(bytes, &record, &why));
        QVERIFY(!why.isEmpty());
        QCOMPARE(record.deviceName, QStringLiteral("untouched"));
    }

    void mergePlace_data()
    {
        QTest::addColumn<QString>("own");
        QTest::addColumn<QStringList>("others");
        QTest::addColumn<int>("offset");
        QTest::addColumn<bool>("isOwn");
        QTest::newRow("the newest wins") << "a:100@5" << QStringList{"b:200@7", "c:300@6"} << 200 << false;
        QTest::newRow("ours is newest") << "b:100@9" << QStringList{"a:200@7"} << 100 << true;
        QTest::newRow("a tie goes to the smaller id") << "b:100@5" << QStringList{"a:200@5"} << 200 << false;
        QTest::newRow("a tie kept when ours is smaller") << "a:100@5" << QStringList{"b:200@5"} << 100 << true;
        QTest::newRow("never moved loses to any move") << "a:0@0" << QStringList{"b:500@1"} << 500 << false;
        QTest::newRow("alone") << "a:100@5" << QStringList{} << 100 << true;
        QTest::newRow("our own conflict copy") << "a:100@5" << QStringList{"a:300@8"} << 300 << false;
    }
    void mergePlace()
    {
        QFETCH(QString, own);
        QFETCH(QStringList, others);
        QFETCH(int, offset);
        QFETCH(bool, isOwn);
        QList<SyncRecord> records;
        for (const QString &other : others)
            records << placed(other);
        const SyncMerge::Result merged = SyncMerge::merge(placed(own), records);
        QCOMPARE(merged.place.offset, offset);
        QCOMPARE(merged.placeIsOwn, isOwn);
    }

    void mergeBookmarks_data()
    {
        QTest::addColumn<QString>("own");
        QTest::addColumn<QStringList>("others");
        QTest::addColumn<QString>("bookmarks");
        QTest::addColumn<QString>("deletions");
        QTest::newRow("union") << "+10@1" << QStringList{"+20@2", "+30@3"} << "10 20 30"
                               << "";
        QTest::newRow("one bookmark made twice") << "+10@1" << QStringList{"+10@3"} << "10"
                                                 << "";
        QTest::newRow("removed after it was added") << "+10@1 +20@1" << QStringList{"-10@2"} << "20"
                                                    << "10";
        QTest::newRow("added again after the removal") << "+10@5" << QStringList{"-10@2"} << "10"
                                                       << "";
        QTest::newRow("a third machine's older add") << "+20@1" << QStringList{"-10@3", "+10@2"} << "20"
                                                     << "10";
        QTest::newRow("a removal at the same time wins") << "+10@2" << QStringList{"-10@2"} << ""
                                                         << "10";
        QTest::newRow("our removal of theirs") << "-30@4" << QStringList{"+30@1 +40@1"} << "40"
                                               << "30";
    }
    void mergeBookmarks()
    {
        QFETCH(QString, own);
        QFETCH(QStringList, others);
        QFETCH(QString, bookmarks);
        QFETCH(QString, deletions);
        QList<SyncRecord> records;
        for (const QString &other : others)
            records << marked(other);
        const SyncMerge::Result merged = SyncMerge::merge(marked(own), records);
        QCOMPARE(offsets(merged.bookmarks), bookmarks);
        QCOMPARE(offsets(merged.deletions), deletions);
    }

    // Sync stamps what it sees: a removal is one when it is gone from the
    // list, and adding it again later undoes it.
    void observeStampsRemovals()
    {
        SyncState state(dir.filePath(QStringLiteral("observe")), QStringLiteral("book"), kIdA);
        const Bookmark x{10, QStringLiteral("t10"), QString()}, y{20, QStringLiteral("t20"), QString()};
        QVERIFY(state.observeBookmarks({x, y}, 1));
        QVERIFY(!state.observeBookmarks({y, x}, 2));
        QVERIFY(state.observeBookmarks({y}, 3));
        QCOMPARE(offsets(state.own().deletions), QStringLiteral("10"));
        QCOMPARE(state.own().deletions.first().deletedAt, Q_INT64_C(3));
        QVERIFY(state.observeBookmarks({y, x}, 4));
        QCOMPARE(offsets(state.own().deletions), QString());
        QVERIFY(state.save());
        SyncState loaded(dir.filePath(QStringLiteral("observe")), QStringLiteral("book"), kIdA);
        QVERIFY(loaded.load());
        QVERIFY(loaded.isDirty());
        QCOMPARE(offsets(SyncMerge::merge(loaded.own(), {marked("-20@5")}).bookmarks), QStringLiteral("10"));
        // A damaged state starts afresh.
        writeFile(dir.filePath(QStringLiteral("observe/book.json")), "{\"record\":\"{\\\"format\\\":");
        SyncState damaged(dir.filePath(QStringLiteral("observe")), QStringLiteral("book"), kIdA);
        QVERIFY(!damaged.load());
        QVERIFY(!damaged.knowsBook());
    }

    void locate_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("offset");
        QTest::addColumn<double>("percent");
        QTest::addColumn<QString>("context");
        QTest::addColumn<int>("expected");
        const QString book = novel();
        const QString words = book.mid(3000, 20);
        QTest::newRow("the offset with its words") << book << 3000 << 0.0 << words << 3000;
        QTest::newRow("a copy with a preface") << QString(100, QChar(0x5E8F)) + book << 3000 << 0.0 << words << 3100;
        QTest::newRow("a copy cut short at the start") << book.mid(40) << 3000 << 0.0 << words << 2960;
        QTest::newRow("offset past the end") << book.left(3500) << 9000 << 20.0 << words << 3000;
        QTest::newRow("words not there: the percentage") << book << 3000 << 50.0 << "不在书里的字" << book.size() / 2;
        QTest::newRow("the end of the book") << book << book.size() << 100.0 << QString() << book.size();
        QTest::newRow("an empty book") << QString() << 3000 << 40.0 << words << 0;
        const QString twice = QString(500, QChar(0x4E00)) + QStringLiteral("同一句话") + QString(500, QChar(0x4E8C)) +
                              QStringLiteral("同一句话") + QString(500, QChar(0x4E09));
        QTest::newRow("repeated words: the nearer") << twice << 1000 << 0.0 << "同一句话" << 1004;
    }
    void locate()
    {
        QFETCH(QString, text);
        QFETCH(int, offset);
        QFETCH(double, percent);
        QFETCH(QString, context);
        QFETCH(int, expected);
        QCOMPARE(PlaceLocator::locate(text, SyncPlace{offset, percent, context, 1}), expected);
    }

    void checkAddress_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<bool>("allowInsecure");
        QTest::addColumn<SyncStore::Problem>("problem");
        QTest::newRow("https anywhere") << "https://dav.example.org/files/" << false << SyncStore::NoProblem;
        QTest::newRow("http to 127.0.0.1") << "http://127.0.0.1:8080/" << false << SyncStore::NoProblem;
        QTest::newRow("http to localhost") << "http://LOCALHOST/dav/" << false << SyncStore::NoProblem;
        QTest::newRow("http to ::1") << "http://[::1]:8080/" << false << SyncStore::NoProblem;
        QTest::newRow("http to 127.1") << "http://127.1/" << false << SyncStore::NoProblem;
        QTest::newRow("http to a name") << "http://dav.example.org/" << false << SyncStore::Insecure;
        QTest::newRow("http to localhost.") << "http://localhost./" << false << SyncStore::Insecure;
        QTest::newRow("http to a.localhost") << "http://a.localhost/" << false << SyncStore::Insecure;
        QTest::newRow("http to a private address") << "http://192.168.1.2/" << false << SyncStore::Insecure;
        QTest::newRow("http allowed") << "http://192.168.1.2/" << true << SyncStore::NoProblem;
        QTest::newRow("credentials in the address") << "https://u:p@dav.example.org/" << false << SyncStore::Address;
        QTest::newRow("not http") << "ftp://dav.example.org/" << false << SyncStore::Address;
        QTest::newRow("no address") << "" << false << SyncStore::NotSet;
    }
    void checkAddress()
    {
        QFETCH(QString, url);
        QFETCH(bool, allowInsecure);
        QFETCH(SyncStore::Problem, problem);
        QString why;
        QCOMPARE(WebDavStore::checkAddress(QUrl(url), allowInsecure, &why), problem);
    }

    void davListing_data()
    {
        QTest::addColumn<QByteArray>("xml");
        QTest::addColumn<QString>("entries"); // "name tag size folder|..."; "!" for a refusal
        QTest::newRow("rclone's")
            << QByteArray(R"(<?xml version="1.0" encoding="UTF-8"?><D:multistatus xmlns:D="DAV:">)"
                          R"(<D:response><D:href>/t/b/</D:href><D:propstat><D:prop><D:resourcetype>)"
                          R"(<D:collection xmlns:D="DAV:"/></D:resourcetype></D:prop><D:status>)"
                          R"(HTTP/1.1 200 OK</D:status></D:propstat><D:propstat><D:prop><D:getetag>)"
                          R"(</D:getetag></D:prop><D:status>HTTP/1.1 404 Not Found</D:status>)"
                          R"(</D:propstat></D:response><D:response><D:href>/t/b/%E8%BF%9B%20%231.json)"
                          R"(</D:href><D:propstat><D:prop><D:getcontentlength>13</D:getcontentlength>)"
                          R"(<D:getetag>"18e"</D:getetag><D:resourcetype></D:resourcetype></D:prop>)"
                          R"(<D:status>HTTP/1.1 200 OK</D:status></D:propstat></D:response></D:multistatus>)")
            << "b  -1 1|进 #1.json \"18e\" 13 0";
        QTest::newRow("another prefix, absolute hrefs")
            << QByteArray(R"(<multistatus xmlns="DAV:"><response><href>https://h.example/d/x.json</href><propstat>)"
                          R"(<prop><getetag>"1"</getetag></prop><status>HTTP/1.1 200 OK</status></propstat>)"
                          R"(</response></multistatus>)")
            << "x.json \"1\" -1 0";
        QTest::newRow("a login page") << QByteArray("<html><body>login</body></html>") << "!";
        QTest::newRow("cut short") << QByteArray(R"(<D:multistatus xmlns:D="DAV:"><D:response><D:href>/a)") << "!";
        QTest::newRow("an entity bomb") << QByteArray(
                                               R"(<!DOCTYPE d [<!ENTITY a "aaaaaaaaaaaaaaaa"><!ENTITY b "&a;&a;&a;)"
                                               R"(&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;"><!ENTITY c "&b;&b;)"
                                               R"(&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;">]>)"
                                               R"(<D:multistatus xmlns:D="DAV:"><D:response><D:href>&c;&c;&c;&c;)"
                                               R"(</D:href></D:response></D:multistatus>)")
                                        << "!";
    }
    void davListing()
    {
        QFETCH(QByteArray, xml);
        QFETCH(QString, entries);
        QList<DavListing::Entry> read;
        QString why;
        const bool ok = DavListing::parse(xml, &read, &why);
        QStringList found;
        for (const DavListing::Entry &entry : read)
            found << QStringLiteral("%1 %2 %3 %4")
                         .arg(entry.name, QString::fromLatin1(entry.tag))
                         .arg(entry.size)
                         .arg(int(entry.folder));
        QCOMPARE(ok ? found.join(QLatin1Char('|')) : QStringLiteral("!"), entries);
    }

    // The bookmark list replaced by a merged one is saved like any change.
    void replaceBookmarks()
    {
        Book book;
        QVERIFY(book.open(utf8Book));
        QSignalSpy changed(book.bookmarkStore(), &BookmarkStore::changed);
        const QList<Bookmark> merged{{40, QStringLiteral("第1章 江上"), QStringLiteral("甲")},
                                     {90, QString(), QString()}};
        QVERIFY(book.bookmarkStore()->replaceBookmarks(merged));
        QVERIFY(book.bookmarkStore()->replaceBookmarks(merged));
        QCOMPARE(changed.count(), 1);
        const QList<Bookmark> stored = bookmarkRecords(readFile(book.bookmarkPath()));
        QCOMPARE(stored.size(), 3);
        QCOMPARE(stored.mid(1), merged);
        book.clear();
        QVERIFY(!book.bookmarkStore()->replaceBookmarks(merged));
    }

    void twoMachinesConverge()
    {
        Machine a(kIdA, state("a"), davSettings());
        QVERIFY(a.open(utf8Book));
        a.reader.session()->jumpTo(3000);
        QVERIFY(a.reader.session()->addBookmark());
        QVERIFY(a.sync.flushNow());

        // Another machine, another path, another encoding.
        Machine b(kIdB, state("b"), davSettings());
        QVERIFY(b.open(gbkBook));
        QCOMPARE(b.place(), 3000);
        QCOMPARE(b.sync.noticeText(), QStringLiteral("已同步到另一台设备的位置"));
        QCOMPARE(b.marks(), QStringLiteral("3000"));
        QTRY_VERIFY(!b.sync.canUndo()); // the notice goes by itself
        b.reader.session()->jumpTo(5000);
        QVERIFY(b.reader.session()->addBookmark());
        QVERIFY(b.sync.flushNow());

        QVERIFY(a.syncNow());
        QCOMPARE(a.place(), 5000);
        QCOMPARE(a.marks(), QStringLiteral("3000 5000"));
        QCOMPARE(bookmarkRecords(readFile(a.reader.book()->bookmarkPath())).size(), 3);
        QVERIFY(b.syncNow());
        QCOMPARE(b.place(), 5000);
        QCOMPARE(b.marks(), a.marks());
        QCOMPARE(a.messages.count() + b.messages.count(), 0);
        // One folder for the book on the server, one file per machine.
        QCOMPARE(QDir(serverBook(server)).entryList(QDir::Files).size(), 2);
    }

    void deletionStaysDeleted()
    {
        Machine a(kIdA, state("a"), davSettings());
        QVERIFY(a.open(utf8Book));
        for (int offset : {1000, 2000}) {
            a.reader.session()->jumpTo(offset);
            QVERIFY(a.reader.session()->addBookmark());
        }
        QVERIFY(a.sync.flushNow());
        Machine b(kIdB, state("b"), davSettings());
        QVERIFY(b.open(gbkBook));
        QCOMPARE(b.marks(), QStringLiteral("1000 2000"));

        QVERIFY(a.reader.book()->removeBookmark(1));
        QVERIFY(a.sync.flushNow());
        QVERIFY(b.syncNow());
        QCOMPARE(b.marks(), QStringLiteral("2000"));
        QVERIFY(b.sync.flushNow());
        QVERIFY(a.syncNow());
        QCOMPARE(a.marks(), QStringLiteral("2000"));

        // Made again later, it is back everywhere.
        b.reader.session()->jumpTo(1000);
        QVERIFY(b.reader.session()->addBookmark());
        QVERIFY(b.sync.flushNow());
        QVERIFY(a.syncNow());
        QCOMPARE(a.marks(), QStringLiteral("1000 2000"));
    }

    // Going back is newer than the move it undoes: the other machine follows.
    void undoGoesBackEverywhere()
    {
        Machine a(kIdA, state("a"), davSettings());
        Machine b(kIdB, state("b"), davSettings());
        QVERIFY(b.open(gbkBook));
        b.reader.session()->jumpTo(1500);
        QVERIFY(b.sync.flushNow());
        QVERIFY(a.open(utf8Book));
        a.reader.session()->jumpTo(4000);
        QVERIFY(a.sync.flushNow());
        QVERIFY(b.syncNow());
        QCOMPARE(b.place(), 4000);
        QVERIFY(b.sync.undo());
        QCOMPARE(b.place(), 1500);
        QVERIFY(!b.sync.undo());
        QVERIFY(b.sync.flushNow());
        QVERIFY(a.syncNow());
        QCOMPARE(a.place(), 1500);
    }

    // Pages turned in a burst go out as one record, not one each.
    void movesGoOutTogether()
    {
        Machine a(kIdA, state("a"), davSettings());
        QVERIFY(a.open(utf8Book));
        const int before = a.finished.count();
        for (int i = 1; i <= 10; ++i)
            a.reader.session()->jumpTo(1000 * i);
        QTRY_COMPARE(a.finished.count(), before + 1);
        QCOMPARE(a.finished.last().at(0).toBool(), true);
        QVERIFY(a.sync.flushNow());
        QCOMPARE(a.finished.count(), before + 1); // nothing left to send
        SyncRecord sent;
        QString why;
        QVERIFY(SyncRecord::parse(readFile(serverBook(server) + "/" + kIdA + ".json"), &sent, &why));
        QCOMPARE(sent.place.offset, 10000);
        QCOMPARE(sent.place.context, text.mid(10000, 20));
        QCOMPARE(sent.place.percent, qRound(1000.0 * 10000 / text.size()) / 10.0);
    }

    void serverDownThenUp()
    {
        WebDavServer flaky;
        QString problem = flaky.start(dir.filePath(QStringLiteral("flaky")));
        QVERIFY2(problem.isEmpty(), qPrintable(problem));
        Machine a(kIdA, state("a"), davSettings(flaky.url()));
        QVERIFY(a.open(utf8Book));
        const QString address = flaky.address();
        flaky.stop();
        a.reader.session()->jumpTo(4000);
        const int before = a.finished.count();
        a.sync.windowHidden();
        QTRY_VERIFY(a.finished.count() >= before + 3); // the first try and two retries
        QCOMPARE(a.finished.last().at(0).toBool(), false);
        QCOMPARE(a.messages.count(), 1);
        QVERIFY(a.messages.first().first().toString().contains(QStringLiteral("无法连接服务器")));
        problem = flaky.start(flaky.folder(), address);
        QVERIFY2(problem.isEmpty(), qPrintable(problem));
        SyncRecord arrived;
        QString why;
        QTRY_VERIFY(SyncRecord::parse(readFile(serverBook(flaky) + "/" + kIdA + ".json"), &arrived, &why) &&
                    arrived.place.offset == 4000);
        QCOMPARE(a.messages.count(), 1);
    }

    void wrongPasswordToldOnce()
    {
        qputenv("TAVRIL_SYNC_PASSWORD", "wrong");
        const auto restore = qScopeGuard([] { qputenv("TAVRIL_SYNC_PASSWORD", WebDavServer::Password); });
        Machine a(kIdA, state("a"), davSettings());
        QVERIFY(a.open(utf8Book));
        QVERIFY(!a.syncNow());
        QVERIFY(!a.syncNow());
        QCOMPARE(a.messages.count(), 1);
        QVERIFY(a.messages.first().first().toString().contains(QStringLiteral("拒绝了用户名或密码")));
        QVERIFY(a.finished.last().at(1).toString().contains(QStringLiteral("HTTP 401")));
        QVERIFY(serverBook(server).isEmpty());
    }

    // Damaged, foreign and oversized files are passed over, named once; the
    // records beside them still count.
    void damagedRecordsSkipped()
    {
        Machine b(kIdB, state("b"), davSettings());
        QVERIFY(b.open(gbkBook));
        b.reader.session()->jumpTo(2500);
        QVERIFY(b.sync.flushNow());
        const QString folder = serverBook(server);
        writeFile(folder + "/broken.json", "{\"format\":1,\"device\":");
        writeFile(folder + "/foreign.json", "{\"format\":1,\"device\":\"x\",\"place\":[]}");
        writeFile(folder + "/huge.json", QByteArray(SyncRecord::MaxBytes + 1, ' '));
        Machine a(kIdA, state("a"), davSettings());
        QVERIFY(a.open(utf8Book));
        QCOMPARE(a.place(), 2500);
        QVERIFY(a.syncNow());
        QStringList told;
        for (const QList<QVariant> &message : qAsConst(a.messages))
            told << message.first().toString();
        QCOMPARE(told.size(), 3);
        for (const char *name : {"broken.json", "foreign.json", "huge.json"})
            QVERIFY2(told.filter(QLatin1String(name)).size() == 1, name);
    }

    // A server that accepts and never answers: the page keeps turning while
    // the request waits out its timeout.
    void hungServerTimesOut()
    {
        Machine a(kIdA, state("a"), davSettings());
        SyncTiming timing = quick();
        timing.transfer = 600;
        a.sync.setTiming(timing);
        QVERIFY(a.open(utf8Book));
        QVERIFY(server.pause());
        QElapsedTimer clock;
        qint64 last = 0, longestGap = 0;
        QTimer ticker;
        connect(&ticker, &QTimer::timeout, [&] {
            longestGap = qMax(longestGap, clock.elapsed() - last);
            last = clock.elapsed();
        });
        ticker.start(10);
        clock.start();
        const bool ok = a.syncNow();
        const qint64 waited = clock.elapsed();
        server.resume();
        QVERIFY(!ok);
        QVERIFY(a.finished.last().at(1).toString().contains(QStringLiteral("长时间没有回应")));
        QVERIFY2(waited >= 500 && waited < 4000, qPrintable(QString::number(waited)));
        QVERIFY2(longestGap < 200, qPrintable(QString::number(longestGap)));
        QVERIFY(a.syncNow());
    }

    // Conflict copies a sync program leaves are records too.
    void syncedFolderWithConflictCopy()
    {
        const QString shared = dir.filePath(QStringLiteral("shared"));
        QVERIFY(QDir().mkpath(shared));
        const QVariantMap settings{{"sync/enabled", true}, {"sync/localFolder", shared}};
        Machine a(kIdA, state("a"), settings);
        QVERIFY(a.open(utf8Book));
        const QString folder = bookFolder(shared);
        QVERIFY(QFile::exists(folder + "/" + kIdA + ".json"));
        const QString copy = QStringLiteral(R"({"format":1,"device":"%1","deviceName":"笔记本",)"
                                            R"("place":{"offset":6000,"percent":44.4,"context":"%2","changed":%3},)"
                                            R"("bookmarks":[{"offset":6000,"title":"远方","summary":"","added":%3}],)"
                                            R"("deleted":[]})")
                                 .arg(kIdB, text.mid(6000, 20))
                                 .arg(QDateTime::currentMSecsSinceEpoch() + 1000);
        writeFile(folder + "/" + kIdB + ".sync-conflict-20240101-120000-ABCDEFG.json", copy.toUtf8());
        QVERIFY(a.syncNow());
        QCOMPARE(a.place(), 6000);
        QCOMPARE(a.marks(), QStringLiteral("6000"));
        QCOMPARE(a.messages.count(), 0);

        // An unmounted share is not an empty one: nothing is made there.
        a.config.setValue(QStringLiteral("sync/localFolder"), dir.filePath(QStringLiteral("unmounted")));
        QVERIFY(!a.syncNow());
        QVERIFY(a.finished.last().at(1).toString().contains(QStringLiteral("同步文件夹无法使用")));
        QVERIFY(!QFileInfo::exists(dir.filePath(QStringLiteral("unmounted"))));
    }

    // A certificate nobody vouches for is told with what is wrong with it,
    // and nothing is sent past it.
    void untrustedCertificateRefused()
    {
        const QString key = dir.filePath(QStringLiteral("key.pem")),
                      certificate = dir.filePath(QStringLiteral("cert.pem"));
        QCOMPARE(QProcess::execute(QStringLiteral("openssl"),
                                   {"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1",
                                    "-nodes", "-keyout", key, "-out", certificate, "-days", "2", "-subj",
                                    "/CN=127.0.0.1", "-addext", "subjectAltName=IP:127.0.0.1"}),
                 0);
        WebDavServer tls;
        const QString problem = tls.start(dir.filePath(QStringLiteral("tls")), QStringLiteral("127.0.0.1:0"),
                                          {"--cert", certificate, "--key", key});
        QVERIFY2(problem.isEmpty(), qPrintable(problem));
        QCOMPARE(tls.url().scheme(), QStringLiteral("https"));
        Machine a(kIdA, state("a"), davSettings(tls.url()));
        QVERIFY(a.open(utf8Book));
        QVERIFY(!a.syncNow());
        QCOMPARE(a.messages.count(), 1);
        const QString told = a.messages.first().first().toString();
        QVERIFY2(told.contains(QStringLiteral("证书不可信")) &&
                     told.contains(QStringLiteral("self-signed"), Qt::CaseInsensitive),
                 qPrintable(told));
        QVERIFY(QDir(tls.folder()).isEmpty());
    }

    // Refused before anything is sent: no password goes out in the clear.
    void plainHttpRefused()
    {
        Machine a(kIdA, state("a"), davSettings(QUrl(QStringLiteral("http://192.0.2.1/dav/"))));
        QVERIFY(a.open(utf8Book));
        QCOMPARE(a.finished.last().at(0).toBool(), false);
        QVERIFY(!a.syncNow());
        QCOMPARE(a.messages.count(), 1);
        QVERIFY(a.messages.first().first().toString().contains(QStringLiteral("明文")));
    }

    // Without a keychain and a password the user is asked once a run; the answer is used at once.
    void withoutKeychainThePasswordIsAskedOnce()
    {
        const auto restore = withoutKeychain();
        Machine a(kIdA, state("a"), davSettings());
        QSignalSpy wanted(&a.sync, &PlaceSync::passwordWanted);
        a.reader.session()->openBook(utf8Book);
        QTRY_COMPARE(wanted.count(), 1);
        QVERIFY(a.finished.isEmpty()); // nothing goes out without it
        a.sync.account()->setPassword(QString::fromUtf8(WebDavServer::Password));
        QTRY_VERIFY(!a.finished.isEmpty()); // the exchange the open started goes on with the answer
        QVERIFY2(a.finished.last().at(0).toBool(), qPrintable(a.finished.last().at(1).toString()));
        QVERIFY(a.syncNow());
        QCOMPARE(wanted.count(), 1);
    }

    // Without a keychain the page says the password lasts this run only,
    // and it is never written to the settings file.
    void preferencesWithoutKeychain()
    {
        const auto restore = withoutKeychain();
        Machine a(kIdA, state("a"), {});
        SyncPreferences page(&a.config, &a.sync);
        const auto edit = [&page](const char *name) { return page.findChild<QLineEdit *>(QLatin1String(name)); };
        page.findChild<QCheckBox *>(QStringLiteral("cb_sync_enabled"))->setChecked(true);
        QTest::keyClicks(edit("et_sync_url"), server.url().toString());
        QTest::keyClicks(edit("et_sync_user"), WebDavServer::User);
        edit("et_sync_folder")->clear();
        QTest::keyClicks(edit("et_sync_folder"), QStringLiteral("t/prefs"));
        QCOMPARE(iniValue(QStringLiteral("sync/url")).toString(), server.url().toString());
        QCOMPARE(iniValue(QStringLiteral("sync/folder")).toString(), QStringLiteral("t/prefs"));
        edit("et_sync_password")->insert(QString::fromUtf8(WebDavServer::Password));
        emit edit("et_sync_password")->editingFinished();
        QLabel *state = page.findChild<QLabel *>(QStringLiteral("lb_sync_password_state"));
        QTRY_VERIFY(state->text().contains(QStringLiteral("本次运行")));
        QTest::mouseClick(page.findChild<QPushButton *>(QStringLiteral("btn_sync_now")), Qt::LeftButton);
        QLabel *result = page.findChild<QLabel *>(QStringLiteral("lb_sync_result"));
        QTRY_COMPARE(result->text(), QStringLiteral("连接正常"));
        QVERIFY(!readFile(iniPath()).contains(QByteArray(WebDavServer::Password)));
    }
};

QTEST_MAIN(TestSync)
#include "tst_sync.moc"
