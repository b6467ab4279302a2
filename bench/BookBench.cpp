// Opening a ~50 MB GBK novel with about 3,000 chapters: how soon Book::open
// returns, when the chapter parse ends and how much memory it takes, side by
// side with decoding alone and with the chapter search through a
// QTextDocument of the whole text (the plain way) on the same text.
// Budgets: parse at least 20x faster than the document search; open within
// 1.2x of decoding; peak under file + 3 x text (UTF-16) + 64 MiB.

#include "BenchSupport.h"
#include "Book.h"
#include "ChapterScanner.h"
#include "decodeText.h"

#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QRegExp>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextCodec>
#include <QTextCursor>
#include <QTextDocument>

#include <cstdio>

namespace {

int documentSearch(const QString &text)
{
    QTextDocument document;
    document.setPlainText(text);
    const QRegExp expression(ChapterScanner::pattern(), Qt::CaseSensitive, QRegExp::RegExp);
    QTextCursor cursor;
    int count = 0;
    while (!(cursor = document.find(expression, cursor)).isNull())
        ++count;
    return count;
}

const char *verdict(bool ok)
{
    return ok ? "ok" : "OVER";
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const qint64 size = argc > 1 ? QByteArray(argv[1]).toLongLong() * 1000 * 1000 : 50 * 1000 * 1000;
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("novel.txt"));
    {
        const QByteArray gbk = QTextCodec::codecForName("GBK")->fromUnicode(bench::generateNovel(size, 35));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(gbk) != gbk.size())
            return 2;
    }
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    const QByteArray bytes = file.readAll();
    const qint64 fileSize = bytes.size();

    const double decodeMs = bench::medianMs(5, [&] { decodeText(bytes); });

    QVector<double> openTimes, parseTimes;
    int chapters = 0;
    qint64 peakAdded = 0;
    for (int run = 0; run < 5; ++run) {
        QFile::remove(dir.filePath(QStringLiteral("novel.bmk")));
        bench::resetPeakMemory();
        const qint64 before = bench::residentBytes();
        QElapsedTimer timer;
        timer.start();
        Book book;
        book.open(path);
        openTimes << timer.nsecsElapsed() / 1e6;
        book.waitForChapters();
        parseTimes << timer.nsecsElapsed() / 1e6;
        chapters = book.chapterCount();
        peakAdded = qMax(peakAdded, bench::peakResidentBytes() - before);
    }
    const double openMs = bench::percentile(openTimes, 50);
    const double parseEndMs = bench::percentile(parseTimes, 50);
    const double parseMs = parseEndMs - openMs;

    QString text = decodeText(bytes);
    text.remove(QLatin1Char('\r'));
    int referenceChapters = 0;
    const double referenceMs = bench::timeMs([&] { referenceChapters = documentSearch(text); });

    const qint64 memoryBudget = fileSize + 3 * qint64(text.size()) * 2 + 64 * 1024 * 1024;
    const double parseRatio = referenceMs / parseMs;
    const double openRatio = openMs / decodeMs;
    std::printf("book: %.1f MB GBK, %d characters, %d chapters (document search found %d)\n", fileSize / 1e6,
                text.size(), chapters, referenceChapters);
    std::printf("decode alone          %8.1f ms\n", decodeMs);
    std::printf("Book::open returns    %8.1f ms   %.2fx decoding (budget 1.2x) %s\n", openMs, openRatio,
                verdict(openRatio <= 1.2));
    std::printf("chapter parse         %8.1f ms   (ends %.1f ms after open starts)\n", parseMs, parseEndMs);
    std::printf("document search       %8.1f ms   parse is %.1fx faster (budget 20x) %s\n", referenceMs, parseRatio,
                verdict(parseRatio >= 20));
    std::printf("peak memory added     %8.1f MiB  (budget %.1f MiB) %s\n", peakAdded / 1048576.0,
                memoryBudget / 1048576.0, verdict(peakAdded <= memoryBudget));
    const bool ok = openRatio <= 1.2 && parseRatio >= 20 && peakAdded <= memoryBudget && chapters == referenceChapters;
    std::printf("%s\n", ok ? "all budgets met" : "BUDGET MISSED");
    return ok ? 0 : 1;
}
