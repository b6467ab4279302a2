// Turning pages through a ~50 MB novel in a 1920x1080 text area at 12 pt and
// 36 pt, and at 12 pt with the punctuation rules on: 2,000 pages forward and
// 500 back (layout and the bookmark file rewrite included), side by side with
// breaking the same pages into lines with QTextLayout. Budgets: layout alone
// at most 1.0x QTextLayout; a page turn under 16 ms at the 99th percentile.

#include "BenchSupport.h"
#include "Reader.h"
#include "ReaderConfig.h"
#include "configSettings.h"

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QTextLayout>

#include <climits>
#include <cstdio>

namespace {

const QRect kPage(0, 0, 1920, 1080);

// The reference: the same characters broken into lines of the page width.
int textLayoutLines(const QString &pageText, const QFont &font, int lineSpace)
{
    QString text = pageText;
    text.replace(QLatin1Char('\n'), QChar::LineSeparator);
    QTextLayout layout(text, font);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAnywhere);
    layout.setTextOption(option);
    layout.beginLayout();
    qreal y = 0;
    int lines = 0;
    while (true) {
        QTextLine line = layout.createLine();
        if (!line.isValid())
            break;
        line.setLineWidth(kPage.width());
        line.setPosition(QPointF(0, y));
        y += line.height() + lineSpace;
        ++lines;
    }
    layout.endLayout();
    return lines;
}

bool run(const QString &bookPath, int points, bool rules = false)
{
    ReaderConfig config;
    config.setFont(QFont(QStringLiteral("Noto Sans CJK SC"), points));
    config.setPunctuationRules(rules);
    Reader reader(&config);
    reader.setPageRect(kPage);
    reader.session()->openBook(bookPath);

    QVector<double> turns;
    QVector<int> starts;
    for (int i = 0; i < 2000; ++i) {
        starts << reader.position();
        turns << bench::timeMs([&] { reader.session()->nextPage(); });
    }
    for (int i = 0; i < 500; ++i)
        turns << bench::timeMs([&] { reader.session()->previousPage(); });

    const QString &text = reader.book()->text();
    QVector<int> lengths;
    const double ours = bench::timeMs([&] {
        for (int start : starts)
            lengths << reader.layoutPage(text, start, INT_MAX, false);
    });
    const double reference = bench::timeMs([&] {
        for (int i = 0; i < starts.size(); ++i)
            textLayoutLines(text.mid(starts.at(i), lengths.at(i)), config.font(), config.lineSpace());
    });
    const double p50 = bench::percentile(turns, 50);
    const double p99 = bench::percentile(turns, 99);
    const double ratio = ours / reference;
    std::printf("%2d pt%s: page turn median %.2f ms, p99 %.2f ms (budget 16 ms) %s\n", points,
                rules ? ", punctuation rules" : "", p50, p99, p99 <= 16 ? "ok" : "OVER");
    std::printf("       layout of %d pages %.1f ms, QTextLayout %.1f ms, ratio %.2fx (budget 1.0x) %s\n",
                int(starts.size()), ours, reference, ratio, ratio <= 1.0 ? "ok" : "OVER");
    return p99 <= 16 && ratio <= 1.0;
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir dir;
    overrideSettingsFile(dir.filePath(QStringLiteral("tavrilconfig.ini")));
    const qint64 size = argc > 1 ? QByteArray(argv[1]).toLongLong() * 1000 * 1000 : 50 * 1000 * 1000;
    const QString path = dir.filePath(QStringLiteral("novel.txt"));
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly))
            return 2;
        file.write(bench::generateNovel(size).toUtf8());
    }
    bool ok = run(path, 12);
    ok = run(path, 36) && ok;
    ok = run(path, 12, true) && ok;
    std::printf("%s\n", ok ? "all budgets met" : "BUDGET MISSED");
    return ok ? 0 : 1;
}
