// Opening the find dialog on a 2 MB and on an 80 MB novel (construct, show,
// first paint of the text view), and the reader's resident memory around the
// find command on the 80 MB novel. Budgets: opening at 80 MB at most 1.5x the
// time at 2 MB; with the dialog open at most 64 MiB over the reader before
// opening; after it closes within 10% of that.
// Usage: tavril-bench-find [small MB] [large MB]

#include "BenchSupport.h"
#include "BrowseCommands.h"
#include "FindDialog.h"
#include "MessageBoxCloser.h"
#include "Reader.h"
#include "ReaderConfig.h"
#include "configSettings.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QTemporaryDir>
#include <QTest>
#include <QThreadPool>
#include <QTimer>

#include <algorithm>
#include <cstdio>

#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace {

const double kMiB = 1024.0 * 1024.0;

// Notes the paints of the find dialog's text view, from the application, so
// that a dialog run by exec() is watched from its first paint.
class PaintWatch : public QObject
{
public:
    PaintWatch() { qApp->installEventFilter(this); }
    bool painted = false;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint && watched->parent() &&
            watched->parent()->objectName() == QLatin1String("plainTextEdit"))
            painted = true;
        return QObject::eventFilter(watched, event);
    }
};

// The reading position in the middle of the book, as it usually is.
double openMs(const QString &text)
{
    QScopedPointer<FindDialog> dialog;
    PaintWatch watch;
    bool painted = false;
    const double ms = bench::timeMs([&] {
        dialog.reset(new FindDialog(text, text.size() / 2));
        dialog->show();
        painted = QTest::qWaitFor([&] { return watch.painted; }, 60000);
    });
    return painted ? ms : -1;
}

// Taken in turns, and the fastest of each kept: only slow runs come from the
// machine's load.
bool openTimes(const QString &small, const QString &large)
{
    openMs(QStringLiteral("预热")); // fonts and styles load on the first dialog
    QVector<double> smallRuns;
    QVector<double> largeRuns;
    for (int i = 0; i < 10; ++i) {
        smallRuns << openMs(small);
        largeRuns << openMs(large);
    }
    const double smallMs = *std::min_element(smallRuns.cbegin(), smallRuns.cend());
    const double largeMs = *std::min_element(largeRuns.cbegin(), largeRuns.cend());
    const double ratio = largeMs / smallMs;
    const bool ok = smallMs > 0 && largeMs > 0 && ratio <= 1.5;
    std::printf("%-44s %9.1f ms\n", qPrintable(QStringLiteral("open the find dialog, %1 characters").arg(small.size())),
                smallMs);
    std::printf("%-44s %9.1f ms = %.2fx (budget 1.5x) %s\n",
                qPrintable(QStringLiteral("open the find dialog, %1 characters").arg(large.size())), largeMs, ratio,
                ok ? "ok" : "OVER");
    return ok;
}

void trimHeap()
{
#ifdef __GLIBC__
    malloc_trim(0);
#endif
}

// The find command as the main window runs it: open, wait for the text on
// screen, count "的" and show the first, note the memory, close.
bool residentMemory(const QString &path)
{
    ReaderConfig config;
    Reader reader(&config);
    reader.setPageRect(QRect(0, 0, 1280, 800));
    if (!reader.session()->openBook(path))
        return false;
    reader.book()->waitForChapters();
    // A long book is indexed in the background after its first opening:
    // that work's memory is not the dialog's.
    QThreadPool::globalInstance()->waitForDone();
    reader.session()->jumpTo(reader.book()->length() / 2);
    // The reading window is on screen with a page of the book: the window
    // system's libraries and the font files are in memory.
    QImage page(reader.pageRect().size(), QImage::Format_ARGB32_Premultiplied);
    {
        QPainter painter(&page);
        reader.paint(&painter);
    }
    QLabel window;
    window.setPixmap(QPixmap::fromImage(page));
    window.show();
    if (!QTest::qWaitForWindowExposed(&window))
        return false;
    QCoreApplication::processEvents();
    trimHeap(); // what the generated text left behind is not the reader's
    const qint64 before = bench::residentBytes();
    qint64 shown = 0;
    qint64 searched = 0;
    bool painted = false;
    QTimer poll;
    PaintWatch watch;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto *dialog = qobject_cast<FindDialog *>(QApplication::activeModalWidget());
        if (!dialog || !watch.painted)
            return;
        poll.stop();
        painted = true;
        shown = bench::residentBytes();
        dialog->findChild<QLineEdit *>(QStringLiteral("et_keyword"))->setText(QStringLiteral("的"));
        dialog->findChild<QAbstractButton *>(QStringLiteral("btn_find"))->click();
        QCoreApplication::processEvents();
        searched = bench::residentBytes();
        dialog->reject();
    });
    poll.start(10);
    showFind(nullptr, reader.session());
    QCoreApplication::processEvents();
    const qint64 after = bench::residentBytes();

    const qint64 open = qMax(shown, searched);
    const double grown = (open - before) / kMiB;
    const double kept = double(after - before) / before;
    const bool openOk = painted && grown <= 64;
    const bool afterOk = kept <= 0.10;
    std::printf("%-44s %9.1f MiB\n", "resident before opening", before / kMiB);
    std::printf("%-44s %9.1f MiB, after counting \"的\" %.1f MiB\n", "resident with the dialog open", shown / kMiB,
                searched / kMiB);
    std::printf("%-44s %+9.1f MiB (budget +64 MiB) %s\n", "  growth while open", grown, openOk ? "ok" : "OVER");
    std::printf("%-44s %9.1f MiB = %+.1f%% (budget 10%%) %s\n", "resident after closing", after / kMiB, kept * 100,
                afterOk ? "ok" : "OVER");
    return openOk && afterOk;
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir dir;
    overrideSettingsFile(dir.filePath(QStringLiteral("tavrilconfig.ini")));
    const MessageBoxCloser boxes;

    const qint64 smallBytes = (argc > 1 ? QByteArray(argv[1]).toLongLong() : 2) * 1000 * 1000;
    const qint64 largeBytes = (argc > 2 ? QByteArray(argv[2]).toLongLong() : 80) * 1000 * 1000;
    const QString small = bench::generateNovel(smallBytes, 35);
    const QString path = dir.filePath(QStringLiteral("novel.txt"));
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(bench::generateNovel(largeBytes, 35).toUtf8()) < 0)
            return 2;
    }
    std::printf("novels: %.0f MB and %.0f MB in UTF-8\n", smallBytes / 1e6, largeBytes / 1e6);
    // Memory first, before timing runs have grown the heap.
    bool ok = residentMemory(path);
    {
        ReaderConfig config;
        Reader reader(&config);
        if (!reader.session()->openBook(path))
            return 2;
        reader.book()->waitForText(); // opened before: read whole in the background
        ok = openTimes(small, reader.book()->text()) && ok;
    }
    std::printf("%s\n", ok ? "all budgets met" : "BUDGET MISSED");
    return ok ? 0 : 1;
}
