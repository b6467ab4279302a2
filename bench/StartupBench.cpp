// From process start to the first page on screen, for the reader reopening
// an 80 MB novel (56 MB as GBK) where it was left, against a minimal Qt
// Widgets program showing one line of text, started the same way in the same
// run. An observer (this process) polls the screen for the page's ink.
// Goal: at most 1.3x the minimal program. Run under an X server:
//   xvfb-run -a -s "-screen 0 1280x1024x24" build/tavril-bench-startup [MEGABYTES]

#include "BenchSupport.h"

#include <QApplication>
#include <QDataStream>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFont>
#include <QImage>
#include <QPixmap>
#include <QProcess>
#include <QScreen>
#include <QSettings>
#include <QTemporaryDir>
#include <QTextCodec>

#include <cstdio>

namespace {

const QColor kInk(0xc0, 0x20, 0x20);

// Both windows open in the middle third of the screen.
bool inkOnScreen()
{
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    const QImage screen = QGuiApplication::primaryScreen()
                              ->grabWindow(0, area.width() / 3, area.height() / 3, area.width() / 3, area.height() / 3)
                              .toImage();
    int inked = 0;
    for (int y = 0; y < screen.height(); y += 2) {
        const QRgb *line = reinterpret_cast<const QRgb *>(screen.constScanLine(y));
        for (int x = 0; x < screen.width(); ++x)
            inked += (line[x] & 0xffffff) == (kInk.rgb() & 0xffffff);
    }
    return inked > 100;
}

double startToInk(const QString &program, const QStringList &arguments, const QProcessEnvironment &env)
{
    QProcess process;
    process.setProcessEnvironment(env);
    QElapsedTimer timer;
    timer.start();
    process.start(program, arguments);
    while (!inkOnScreen() && timer.elapsed() < 30000)
        QCoreApplication::processEvents();
    const double elapsed = timer.nsecsElapsed() / 1e6;
    process.kill();
    process.waitForFinished();
    // The screen must be clear again before the next start is timed.
    while (inkOnScreen() && timer.elapsed() < 35000)
        QCoreApplication::processEvents();
    return elapsed;
}

void writeBookmark(const QString &path, int offset)
{
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    QDataStream out(&file);
    out << qint32(1) << qint32(offset) << QString() << QString();
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const qint64 megabytes = app.arguments().value(1, QStringLiteral("80")).toLongLong();
    QTemporaryDir dir;
    const QString book = dir.filePath(QStringLiteral("novel.txt"));
    const QString text = bench::generateNovel(megabytes * 1000 * 1000, 35);
    {
        QFile file(book);
        file.open(QIODevice::WriteOnly);
        file.write(QTextCodec::codecForName("GBK")->fromUnicode(text));
    }
    {
        QSettings settings(dir.filePath(QStringLiteral("tavrilconfig.ini")), QSettings::IniFormat);
        settings.setValue("window/openLastFile", true);
        settings.setValue("font/color", kInk);
        settings.setValue("font/font", QFont(QStringLiteral("Noto Sans CJK SC"), 14));
        settings.setValue("fileHistory", QStringList{book});
        settings.setValue("update/checkAtStart", false);
    }
    const QString reader = dir.filePath(QStringLiteral("tavril"));
    QFile::copy(QCoreApplication::applicationDirPath() + QStringLiteral("/tavril"), reader);
    const QString minimal = QCoreApplication::applicationDirPath() + QStringLiteral("/tavril-bench-minimal");
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CACHE_HOME"), dir.filePath(QStringLiteral("cache")));
    env.insert(QStringLiteral("XDG_DATA_HOME"), dir.filePath(QStringLiteral("data")));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), dir.path());

    // The book was read before (so the reader has indexed it), two thirds in.
    {
        QProcess first;
        first.setProcessEnvironment(env);
        first.start(reader, QStringList());
        QDir cache(dir.filePath(QStringLiteral("cache/tavril/index")));
        QElapsedTimer indexing;
        indexing.start();
        while (cache.entryList(QDir::Files).isEmpty() && indexing.elapsed() < 60000)
            first.waitForFinished(100);
        first.kill();
        first.waitForFinished();
    }
    writeBookmark(dir.filePath(QStringLiteral("novel.bmk")), text.size() * 2 / 3);

    QVector<double> readers;
    QVector<double> minimals;
    for (int i = 0; i < 7; ++i) {
        minimals << startToInk(minimal, {"192", "32", "32"}, env);
        readers << startToInk(reader, {}, env);
    }
    const double readerMs = bench::percentile(readers, 50);
    const double minimalMs = bench::percentile(minimals, 50);
    const double ratio = readerMs / minimalMs;
    std::printf(
        "start to first page, %lld MB novel reopened two thirds in: reader %.1f ms, minimal Qt program %.1f ms; "
        "ratio %.2fx (goal 1.3x) %s\n",
        megabytes, readerMs, minimalMs, ratio, ratio <= 1.3 ? "ok" : "OVER");
    return ratio <= 1.3 ? 0 : 1;
}
