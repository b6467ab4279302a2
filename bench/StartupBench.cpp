// From process start to the first page of a ~50 MB GBK book on screen (the
// book reopened at start), against Book::open plus the layout of one page
// measured in the same run. Budget: at most 1.5x. Run under an X server:
//   xvfb-run -a -s "-screen 0 1280x1024x24" build/tavril-bench-startup

#include "BenchSupport.h"
#include "Reader.h"
#include "ReaderConfig.h"
#include "configSettings.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QPixmap>
#include <QProcess>
#include <QScreen>
#include <QSettings>
#include <QTemporaryDir>
#include <QTextCodec>

#include <climits>
#include <cstdio>

namespace {

const QColor kInk(0xc0, 0x20, 0x20);

// The window opens at its default place: the middle third of the screen.
bool pageOnScreen()
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

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QTemporaryDir dir;
    const QString book = dir.filePath(QStringLiteral("novel.txt"));
    {
        QFile file(book);
        file.open(QIODevice::WriteOnly);
        file.write(QTextCodec::codecForName("GBK")->fromUnicode(bench::generateNovel(50 * 1000 * 1000, 35)));
    }
    const QString ini = dir.filePath(QStringLiteral("tavrilconfig.ini"));
    {
        QSettings settings(ini, QSettings::IniFormat);
        settings.setValue("window/openLastFile", true);
        settings.setValue("font/color", kInk);
        settings.setValue("fileHistory", QStringList{book});
    }
    QFile::copy(QCoreApplication::applicationDirPath() + QStringLiteral("/tavril"),
                dir.filePath(QStringLiteral("tavril")));

    // The reference: opening the book and laying out one page in this process.
    overrideSettingsFile(dir.filePath(QStringLiteral("scratch.ini")));
    QVector<double> references;
    for (int i = 0; i < 3; ++i) {
        ReaderConfig config;
        config.setPageRect(QRect(2, 2, 422, 337));
        Reader reader(&config);
        references << bench::timeMs([&] {
            reader.book()->open(book);
            reader.layoutPage(reader.book()->text(), 0, INT_MAX, true);
        });
    }

    QVector<double> startups;
    for (int i = 0; i < 3; ++i) {
        QProcess reader;
        QElapsedTimer timer;
        timer.start();
        reader.start(dir.filePath(QStringLiteral("tavril")), QStringList());
        while (!pageOnScreen() && timer.elapsed() < 30000)
            QCoreApplication::processEvents();
        startups << timer.nsecsElapsed() / 1e6;
        reader.kill();
        reader.waitForFinished();
    }
    const double reference = bench::percentile(references, 50);
    const double startup = bench::percentile(startups, 50);
    const double ratio = startup / reference;
    std::printf("start to first page %.1f ms; Book::open and one page %.1f ms; ratio %.2fx (budget 1.5x) %s\n", startup,
                reference, ratio, ratio <= 1.5 ? "ok" : "OVER");
    return ratio <= 1.5 ? 0 : 1;
}
