// Page turns on a fast disk and on a slow one (every fsync 20 ms longer, by
// preloading tavril-fsync-delay), each in a process of its own, side by side
// in one run. A page turn must not wait for the disk. Goals, at most 1.5x the
// fast disk: one page turn at the 99th percentile (300 turns in a process
// without a screen), and 30 quick turns of the built reader by real key
// presses 12 ms apart, until the place is saved (under an X server only):
//   xvfb-run -a -s "-screen 0 1280x1024x24" build/tavril-bench-turns

#include "BenchSupport.h"
#include "Reader.h"
#include "ReaderConfig.h"
#include "configSettings.h"

#include <QApplication>
#include <QDataStream>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QThread>

#include <cstdio>

namespace {

const int kTurns = 300;
const int kKeyPresses = 30;

// In the child: prints the 99th percentile of one turn, in milliseconds.
int turnPages(const QString &book, const QString &scratch)
{
    overrideSettingsFile(scratch);
    ReaderConfig config;
    config.setFont(QFont(QStringLiteral("Noto Sans CJK SC"), 14));
    Reader reader(&config);
    reader.setPageRect(QRect(0, 0, 600, 400));
    reader.session()->openBook(book);
    reader.book()->waitForText();
    QVector<double> turns;
    for (int i = 0; i < kTurns; ++i) {
        turns << bench::timeMs([&] { reader.session()->nextPage(); });
        QCoreApplication::processEvents();
    }
    reader.book()->flushBookmarks();
    std::printf("%f\n", bench::percentile(turns, 99));
    return 0;
}

QProcessEnvironment environment(const QString &preload)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    if (!preload.isEmpty())
        env.insert(QStringLiteral("LD_PRELOAD"), preload);
    return env;
}

double turnP99(const QString &book, const QString &scratch, const QString &preload)
{
    QProcess child;
    child.setProcessEnvironment(environment(preload));
    child.start(QCoreApplication::applicationFilePath(), {"--turns", book, scratch});
    child.waitForFinished(120000);
    return child.readAllStandardOutput().trimmed().toDouble();
}

int storedOffset(const QString &bmk)
{
    QFile file(bmk);
    qint32 count = 0;
    qint32 offset = -1;
    if (file.open(QIODevice::ReadOnly))
        QDataStream(&file) >> count >> offset;
    return count > 0 ? offset : -1;
}

void resetPlace(const QString &bmk)
{
    QFile file(bmk);
    file.open(QIODevice::WriteOnly);
    QDataStream(&file) << qint32(1) << qint32(0) << QString() << QString();
}

QString xdotool(const QStringList &arguments)
{
    QProcess process;
    process.start(QStringLiteral("xdotool"), arguments);
    process.waitForFinished(20000);
    return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}

// The built reader, from its start at the beginning of the book: time from
// the first of 30 quick key presses until the bookmark file holds `until`
// (or, with `until` -1, until it stops changing: the place to reach).
double pressKeys(const QString &reader, const QString &bmk, const QString &preload, int *until)
{
    resetPlace(bmk);
    QProcess process;
    process.setProcessEnvironment(environment(preload));
    process.start(reader, QStringList());
    const QString window = xdotool({"search", "--sync", "--onlyvisible", "--name", "Tavril"}).section('\n', 0, 0);
    QThread::msleep(500);
    xdotool({"windowfocus", "--sync", window});
    // xdotool's own pace, 12 ms between presses: quicker than any keyboard
    // repeats a held key.
    QStringList keys{"key", "--delay", "12"};
    for (int i = 0; i < kKeyPresses; ++i)
        keys << QStringLiteral("Right");
    QElapsedTimer timer;
    timer.start();
    xdotool(keys);
    int last = storedOffset(bmk);
    QElapsedTimer still;
    still.start();
    while (timer.elapsed() < 20000) {
        const int now = storedOffset(bmk);
        if (*until >= 0 ? now == *until : (now != last ? (still.restart(), false) : still.elapsed() > 1000))
            break;
        last = now;
        QThread::usleep(200);
    }
    const double elapsed = timer.nsecsElapsed() / 1e6;
    if (*until < 0)
        *until = last;
    process.terminate();
    process.waitForFinished();
    return elapsed;
}

void compare(const char *what, double slow, double fast, bool *met)
{
    const double ratio = slow / qMax(0.001, fast);
    *met = *met && ratio <= 1.5;
    std::printf("%s: slow disk %.2f ms, fast disk %.2f ms; ratio %.2fx (goal 1.5x) %s\n", what, slow, fast, ratio,
                ratio <= 1.5 ? "ok" : "OVER");
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc == 4 && QByteArray(argv[1]) == "--turns") {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        QApplication app(argc, argv);
        return turnPages(app.arguments().at(2), app.arguments().at(3));
    }
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const QString book = dir.filePath(QStringLiteral("novel.txt"));
    {
        QFile file(book);
        file.open(QIODevice::WriteOnly);
        file.write(bench::generateNovel(4 * 1000 * 1000).toUtf8());
    }
    const QString shim = QCoreApplication::applicationDirPath() + QStringLiteral("/libtavril-fsync-delay.so");
    bool met = true;
    QVector<double> fast, slow;
    for (int round = 0; round < 5; ++round) {
        fast << turnP99(book, dir.filePath(QStringLiteral("fast.ini")), QString());
        slow << turnP99(book, dir.filePath(QStringLiteral("slow.ini")), shim);
    }
    compare("one page turn, 99th percentile", bench::percentile(slow, 50), bench::percentile(fast, 50), &met);

    if (qEnvironmentVariableIsEmpty("DISPLAY")) {
        std::printf("no X server: the key presses of the built reader are left out\n");
        return met ? 0 : 1;
    }
    const QString reader = dir.filePath(QStringLiteral("tavril"));
    QFile::copy(QCoreApplication::applicationDirPath() + QStringLiteral("/tavril"), reader);
    {
        QSettings settings(dir.filePath(QStringLiteral("tavrilconfig.ini")), QSettings::IniFormat);
        settings.setValue("window/openLastFile", true);
        settings.setValue("fileHistory", QStringList{book});
        settings.setValue("update/checkAtStart", false);
    }
    const QString bmk = dir.filePath(QStringLiteral("novel.bmk"));
    int place = -1;
    pressKeys(reader, bmk, QString(), &place);
    fast.clear();
    slow.clear();
    for (int round = 0; round < 5; ++round) {
        fast << pressKeys(reader, bmk, QString(), &place);
        slow << pressKeys(reader, bmk, shim, &place);
    }
    compare("30 quick page turns of the reader until the place is saved", bench::percentile(slow, 50),
            bench::percentile(fast, 50), &met);
    return met ? 0 : 1;
}
