// Syncing the place against rclone's WebDAV server on loopback, where
// another machine's record of the book waits:
//  - opening the book until its place is laid out, with sync on against sync
//    off (goal: at most 1.1x: the exchange never stands before the page), and
//    when the other machine's place arrived, in the background;
//  - the bytes the reader sends (request lines, headers, bodies) over an hour
//    of reading, a page every 15 to 25 s, in time scaled down 200 times
//    (goal: at most 50 KiB).
// Usage: tavril-bench-sync [book MB]

#include "BenchSupport.h"
#include "CountingRelay.h"
#include "PlaceSync.h"
#include "Reader.h"
#include "ReaderConfig.h"
#include "WebDavServer.h"
#include "configSettings.h"

#include <QApplication>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <cstdio>

namespace {

const int kRuns = 21;
const int kScale = 200;
const int kPagesPerHour = 180;
const qint64 kHourBudget = 50 * 1024;
const QRect kPage(0, 0, 600, 400);

struct Setup
{
    QString book;
    QUrl url;
    QString folder; // for the states of the runs
};

void configure(ReaderConfig *config, const QUrl &url, bool on, const char *device)
{
    config->setValue(QStringLiteral("sync/deviceId"), QString::fromLatin1(device));
    config->setValue(QStringLiteral("sync/url"), url.toString());
    config->setValue(QStringLiteral("sync/user"), QString::fromLatin1(WebDavServer::User));
    config->setValue(QStringLiteral("sync/enabled"), on);
}

// Another machine read to the middle of the book.
bool readElsewhere(const Setup &setup)
{
    ReaderConfig config;
    configure(&config, setup.url, true, "bbbbbbbb-0000-4000-8000-00000000000b");
    Reader reader(&config);
    reader.setPageRect(kPage);
    PlaceSync sync(reader.session(), &config);
    sync.setStateFolder(setup.folder + QStringLiteral("/elsewhere"));
    QSignalSpy finished(&sync, &PlaceSync::syncFinished);
    reader.session()->openBook(setup.book);
    if (!finished.wait(10000))
        return false;
    reader.session()->jumpTo(reader.book()->length() / 2);
    return sync.flushNow(5000);
}

// Open to first layout (ms); with sync on, when the exchange ended in *synced.
double open(const Setup &setup, bool on, int run, double *synced)
{
    ReaderConfig config;
    configure(&config, setup.url, on, "aaaaaaaa-0000-4000-8000-00000000000a");
    Reader reader(&config);
    reader.setPageRect(kPage);
    PlaceSync sync(reader.session(), &config);
    sync.setStateFolder(setup.folder + QStringLiteral("/run%1").arg(run)); // each run a first look
    QSignalSpy finished(&sync, &PlaceSync::syncFinished);
    QElapsedTimer clock;
    clock.start();
    reader.session()->openBook(setup.book);
    const double shown = clock.nsecsElapsed() / 1e6;
    if (on) {
        *synced = QTest::qWaitFor([&] { return !finished.isEmpty(); }, 10000) ? clock.nsecsElapsed() / 1e6 : -1;
    } else {
        QTest::qWait(20); // the same turn of the event loop as the other
    }
    reader.session()->closeBook();
    return shown;
}

// An hour of page turns with the real waits divided by kScale.
void readAnHour(const Setup &setup, CountingRelay *relay)
{
    ReaderConfig config;
    configure(&config, relay->url(), true, "aaaaaaaa-0000-4000-8000-00000000000a");
    Reader reader(&config);
    reader.setPageRect(kPage);
    PlaceSync sync(reader.session(), &config);
    sync.setStateFolder(setup.folder + QStringLiteral("/hour"));
    SyncTiming timing;
    timing.settle /= kScale;
    timing.longest /= kScale;
    sync.setTiming(timing);
    relay->reset();
    QSignalSpy finished(&sync, &PlaceSync::syncFinished);
    reader.session()->openBook(setup.book);
    finished.wait(10000);
    QRandomGenerator pace(7);
    for (int page = 0; page < kPagesPerHour; ++page) {
        QTest::qWait(pace.bounded(15000, 25001) / kScale);
        reader.session()->nextPage();
    }
    const bool flushed = sync.flushNow(5000);
    const qint64 sent = relay->bytesSent();
    const int puts = relay->requests().filter(QStringLiteral("PUT ")).size();
    std::printf("an hour of reading (%d pages, time scaled 1:%d): %d requests, %d of them uploads%s\n", kPagesPerHour,
                kScale, int(relay->requests().size()), puts, flushed ? "" : " (the last one did not go through)");
    std::printf("  bytes sent %lld, reference %lld: ratio %.2f (goal 1.0) %s; %.0f bytes per upload\n", sent,
                kHourBudget, double(sent) / kHourBudget, sent <= kHourBudget ? "ok" : "OVER",
                puts ? double(sent) / puts : 0.0);
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QStandardPaths::setTestModeEnabled(true);
    const qint64 size = (argc > 1 ? QByteArray(argv[1]).toLongLong() : 4) << 20;
    QTemporaryDir dir;
    overrideSettingsFile(dir.filePath(QStringLiteral("tavrilconfig.ini")));
    qputenv("TAVRIL_SYNC_PASSWORD", WebDavServer::Password);
    WebDavServer server;
    const QString problem = server.start(dir.filePath(QStringLiteral("server")));
    CountingRelay relay;
    if (!problem.isEmpty() || !relay.listen(server.url())) {
        std::fprintf(stderr, "no server: %s\n", qPrintable(problem));
        return 1;
    }
    Setup setup{dir.filePath(QStringLiteral("novel.txt")), server.url(), dir.filePath(QStringLiteral("states"))};
    QFile file(setup.book);
    if (!file.open(QIODevice::WriteOnly) || file.write(bench::generateNovel(size).toUtf8()) < 0)
        return 1;
    file.close();
    if (!readElsewhere(setup)) {
        std::fprintf(stderr, "the other machine's record was not stored\n");
        return 1;
    }

    QVector<double> off, on, synced;
    double arrived = 0;
    open(setup, false, -1, &arrived); // warm caches for both
    for (int run = 0; run < kRuns; ++run) {
        off << open(setup, false, run, &arrived);
        on << open(setup, true, run, &arrived);
        synced << arrived;
    }
    const double ratio = bench::percentile(on, 50) / qMax(0.001, bench::percentile(off, 50));
    std::printf("%lld MB book, open to first layout (median of %d): sync off %.2f ms, sync on %.2f ms; "
                "ratio %.2fx (goal 1.1x) %s\n",
                size >> 20, kRuns, bench::percentile(off, 50), bench::percentile(on, 50), ratio,
                ratio <= 1.1 ? "ok" : "OVER");
    std::printf(
        "  with sync on, the exchange (the other machine's place shown, ours sent) ended %.2f ms after the open "
        "(median)\n",
        bench::percentile(synced, 50));
    readAnHour(setup, &relay);
    return 0;
}
