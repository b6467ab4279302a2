// From process start to the first page on screen, for the reader opening an
// 80 MB novel (56 MB as GBK): reopened where it was left, never opened
// before, and never opened with 20 typical clean-up rules and a conversion
// to traditional script; against a minimal Qt Widgets program showing one
// line of text, started the same way in the same run. An observer (this
// process) polls the screen for the page's ink.
// Goal: at most 1.3x the minimal program each. Run under an X server:
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

// Rules such as readers share to take site adverts out of downloaded novels.
const char kRules[] = R"json([
 {"name":"域名","pattern":"请记住本站域名[^\n]*","isRegex":true},
 {"name":"网址","pattern":"(?:https?://)?www\.[a-z0-9]+\.(?:com|net|org|cc)","isRegex":true},
 {"name":"最新章节","pattern":"最新章节[^\n]{0,20}","isRegex":true},
 {"name":"笔趣阁","pattern":"笔趣阁"},
 {"name":"手机阅读","pattern":"手机阅读[^\n]{0,30}","isRegex":true},
 {"name":"求票","pattern":"（求月票[^）]*）","isRegex":true},
 {"name":"本章完","pattern":"（本章完）"},
 {"name":"未完待续","pattern":"（未完待续[^）]*）","isRegex":true},
 {"name":"首发","pattern":"首发[:：]?\s*\S+网","isRegex":true},
 {"name":"更新","pattern":"更新最快"},
 {"name":"广告","pattern":"^.*推荐一本好书.*$","isRegex":true},
 {"name":"打赏","pattern":"感谢.{1,12}的打赏","isRegex":true},
 {"name":"顶点","pattern":"顶点小说"},
 {"name":"百度","pattern":"百度搜索[^\n]{0,20}","isRegex":true},
 {"name":"空格","pattern":"[ \t]+$","isRegex":true},
 {"name":"全角","pattern":"　{3,}","isRegex":true,"replacement":"　　"},
 {"name":"符号","pattern":"[★☆◆◇]+","isRegex":true},
 {"name":"乱码","pattern":"\uFFFD+","isRegex":true},
 {"name":"作者","pattern":"作者有话说"},
 {"name":"看书","pattern":"看书网"}])json";

// The never opened book is new again: no index, no bookmarks.
void forget(const QTemporaryDir &dir)
{
    QDir(dir.filePath(QStringLiteral("cache"))).removeRecursively();
    QDir(dir.filePath(QStringLiteral("data"))).removeRecursively();
    QFile::remove(dir.filePath(QStringLiteral("novel.bmk")));
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

    enum Case { Reopened, New, NewCleaned };
    const char *names[] = {"reopened two thirds in", "never opened", "never opened, 20 rules and traditional script"};
    bool allWithin = true;
    for (Case which : {Reopened, New, NewCleaned}) {
        if (which == NewCleaned) {
            QFile rules(dir.filePath(QStringLiteral("tavril-clean.json")));
            rules.open(QIODevice::WriteOnly);
            rules.write(QByteArray(R"({"rules":)") + kRules + "}");
            QSettings(dir.filePath(QStringLiteral("tavrilconfig.ini")), QSettings::IniFormat)
                .setValue("clean/script", 2);
        }
        QVector<double> readers;
        QVector<double> minimals;
        for (int i = 0; i < 7; ++i) {
            minimals << startToInk(minimal, {"192", "32", "32"}, env);
            if (which != Reopened)
                forget(dir);
            readers << startToInk(reader, {}, env);
        }
        const double readerMs = bench::percentile(readers, 50);
        const double minimalMs = bench::percentile(minimals, 50);
        const double ratio = readerMs / minimalMs;
        std::printf("start to first page, %lld MB novel %s: reader %.1f ms, minimal Qt program %.1f ms; "
                    "ratio %.2fx (goal 1.3x) %s\n",
                    megabytes, names[which], readerMs, minimalMs, ratio, ratio <= 1.3 ? "ok" : "OVER");
        std::fflush(stdout);
        allWithin = allWithin && ratio <= 1.3;
    }
    return allWithin ? 0 : 1;
}
