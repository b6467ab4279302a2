#include "BookmarkFile.h"
#include "Chapter.h"
#include "JumpTarget.h"
#include "Reader.h"
#include "ReaderConfig.h"
#include "ReaderFiles.h"

#include <QtGui>
#include <QtTest>

using C = ReaderConfig;
using Setter = std::function<void(C &)>;
Q_DECLARE_METATYPE(Setter)
struct Page
{
    QFont font;
    int width, lineSpace;
    bool rules;
};
Q_DECLARE_METATYPE(Page)
Q_DECLARE_METATYPE(TextEncoding)

namespace {

// Chinese prose in chapters of twenty paragraphs; a word in seven from `extras`.
QString novel(int paragraphs, const QStringList &extras = {})
{
    static const QString words = QStringLiteral("天色将晚江上起了风老渔夫收起网回头望远处的山影低声说今夜怕是不太平");
    QRandomGenerator random(99);
    QString text;
    for (int p = 0; p < paragraphs; ++p) {
        text += (p % 20 ? QString() : QStringLiteral("第%1章 风云\n").arg(p / 20 + 1)) + QStringLiteral("\u3000\u3000");
        for (int i = 0, n = random.bounded(1, 160); i < n; ++i) {
            const int pick = random.bounded(20);
            text += pick == 0                       ? QStringLiteral("，")
                    : pick == 1                     ? QStringLiteral("Tavril ")
                    : pick < 4 && !extras.isEmpty() ? extras.at(random.bounded(extras.size()))
                                                    : QString(words.at(random.bounded(words.size())));
        }
        text += random.bounded(8) == 0 ? QStringLiteral("\n\n") : QStringLiteral("\n");
    }
    return text;
}

QFont font(const QString &family, int points, int letterSpace = 0)
{
    QFont font(family, points);
    font.setLetterSpacing(QFont::AbsoluteSpacing, letterSpace);
    return font;
}

int lineWidth(const QFontMetrics &metrics, const QString &line)
{
    return metrics.horizontalAdvance(line.endsWith(QLatin1Char('\n')) ? line.chopped(1) : line);
}

// The page's lines the plain way: each searched a grapheme cluster at a time from the previous line's count.
QList<int> plainLayout(const QString &text, int from, const QFont &font, const QRect &page, int lineSpace)
{
    const QFontMetrics metrics(font);
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    auto step = [&](int pos, bool forward) {
        finder.setPosition(pos);
        return forward ? finder.toNextBoundary() : finder.toPreviousBoundary();
    };
    auto snap = [&](int pos, bool forward) {
        finder.setPosition(pos);
        return finder.isAtBoundary() ? pos : step(pos, forward);
    };
    const int maxLines = (page.height() + lineSpace) / (metrics.height() + lineSpace);
    const int chunk = page.width() / qMax(1, metrics.horizontalAdvance(QStringLiteral("一"))) * 2, width = page.width();
    QList<int> lines;
    for (int start = from, count = 0; lines.size() < maxLines && start < text.size() && chunk > 0; start += count) {
        const QString segment = text.mid(start, snap(qMin(start + chunk, text.size()), true) - start);
        auto advance = [&](int n) { return metrics.horizontalAdvance(segment.left(n)); };
        count = snap(start + qMin(count, segment.size()), false) - start;
        if (advance(count) < width) {
            for (int longer, wide;
                 count < segment.size() && (wide = advance(longer = step(start + count, true) - start)) <= width;) {
                count = longer;
                if (wide == width)
                    break;
            }
        } else {
            while (count > 0 && advance(count) > width)
                count = step(start + count, false) - start;
        }
        const int feed = segment.leftRef(count).indexOf(QLatin1Char('\n'));
        lines << (count = feed >= 0 ? feed + 1 : count);
    }
    return lines;
}

// 避头尾 as Chinese typesetting states it, apart from the reader's tables.
const QString kNeverFirst = QStringLiteral("，。、；：？！）」』》”’．,.;:?!)]");
const QString kNeverLast = QStringLiteral("（「『《“‘([");
const QStringList kClusters = {"\U0001F600", "\U00020000", "e\u0301", "\U0001F1E8\U0001F1F3"};

// The line from `pos` (0 < pos < size) opens with a mark that must not, or splits a dash or ellipsis pair.
bool badLineStart(const QString &text, int pos)
{
    const QChar first = text.at(pos), before = text.at(pos - 1);
    return before != QLatin1Char('\n') &&
           (kNeverFirst.contains(first) || (before == first && QStringLiteral("…—").contains(first)));
}

} // namespace

class TestReader : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    std::unique_ptr<ReaderConfig> config;
    QRect pageRect;         // for the readers made next
    Reader *live = nullptr; // and the one that reads now
    void setPage(const QRect &rect)
    {
        pageRect = rect;
        if (live)
            live->setPageRect(rect);
    }

    QString writeBook(const QString &name, const QString &text)
    {
        QFile::remove(BookmarkFile::pathFor(dir.filePath(name)));
        return writeFile(dir.filePath(name), text.toUtf8());
    }

    // Every page forward (as the plain search lays it out) and back: lines fit, end at clusters, hold no inner '\n'.
    void readEveryPage(const QString &text)
    {
        Reader reader(config.get());
        reader.setPageRect(pageRect);
        reader.session()->openBook(writeBook(QStringLiteral("walk.txt"), text));
        QCOMPARE(reader.book()->text(), text);
        const QFontMetrics metrics(config->font());
        const bool rules = config->punctuationRules();
        QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
        auto checkPage = [&](bool forward) {
            if (forward && !rules)
                QCOMPARE(reader.lines(),
                         plainLayout(text, reader.position(), config->font(), pageRect, config->lineSpace()));
            int at = reader.position();
            for (int count : reader.lines()) {
                const QString line = text.mid(at, count);
                const bool hangs = rules && count > 1 && badLineStart(text, at + count - 1);
                QVERIFY2(lineWidth(metrics, line.chopped(hangs)) <= pageRect.width(), qPrintable(line));
                QVERIFY(!line.chopped(1).contains(QLatin1Char('\n')));
                finder.setPosition(at += count);
                QVERIFY2(finder.isAtBoundary(), qPrintable(QString::number(at)));
            }
            QCOMPARE(at - reader.position(), reader.pageLength());
        };
        int expected = 0, pages = 0;
        do {
            QCOMPARE(reader.position(), expected);
            checkPage(true);
            QVERIFY(!QTest::currentTestFailed());
            QVERIFY(reader.pageLength() > 0);
            if (++pages == 4) { // the previous page, and the next is this one again
                QVERIFY(reader.session()->previousPage());
                QVERIFY(reader.position() < expected);
                QVERIFY(reader.session()->nextPage());
                QCOMPARE(reader.position(), expected);
            }
            expected += reader.pageLength();
        } while (reader.session()->nextPage());
        QCOMPARE(expected, text.size());
        QVERIFY(pages > 4);
        // Each page going back ends where the later one started (not with overlapping letters: slow).
        while (config->font().letterSpacing() > -3 && reader.position() > 0) {
            const int later = reader.position();
            QVERIFY(reader.session()->previousPage());
            checkPage(false);
            QVERIFY(!QTest::currentTestFailed());
            QVERIFY(reader.position() == 0 || reader.position() + reader.pageLength() == later);
        }
    }

private slots:
    void init()
    {
        live = nullptr;
        QFile::remove(iniPath());
        config.reset(new ReaderConfig);
        setPage(QRect(2, 2, 400, 300));
        config->setFont(font(QStringLiteral("Noto Sans CJK SC"), 12));
        config->setLineSpace(2);
        QFile::remove(iniPath()); // the settings' tests start without a file
    }
    void cleanupTestCase() { QFile::remove(iniPath()); }

    void everyCharacterOnceForwardAndBack_data()
    {
        QTest::addColumn<Page>("page");
        const QString sans = QStringLiteral("Noto Sans CJK SC");
        QTest::newRow("sans 12") << Page{font(sans, 12), 400, 2, false};
        QTest::newRow("sans 9 spaced") << Page{font(sans, 9, 3), 333, 2, false};
        QTest::newRow("sans 36 tight") << Page{font(sans, 36, -2), 517, 1, false};
        QTest::newRow("sans 12 overlapping: a longer line can be shorter") << Page{font(sans, 12, -12), 300, 2, false};
        QTest::newRow("serif 20 spaced lines") << Page{font("Noto Serif CJK SC", 20, 3), 400, 8, false};
        QTest::newRow("latin font 9") << Page{font("DejaVu Sans", 9, 1), 451, 0, false};
        QTest::newRow("latin font 11 tight") << Page{font("DejaVu Sans", 11, -3), 377, 2, false};
        QTest::newRow("latin serif 14 tight") << Page{font("DejaVu Serif", 14, -1), 400, 2, false};
        QTest::newRow("sans 12 punctuation rules") << Page{font(sans, 12), 400, 2, true};
        QTest::newRow("sans 12, six ideographs wide") << Page{font(sans, 12), 100, 2, false};
    }
    // Tabs, dash and ellipsis pairs, marks by Latin letters, and clusters at every place of a narrow line.
    void everyCharacterOnceForwardAndBack()
    {
        QFETCH(Page, page);
        config->setFont(page.font);
        setPage(QRect(2, 2, page.width, 300));
        config->setLineSpace(page.lineSpace);
        config->setPunctuationRules(page.rules);
        QString text =
            novel(50, QStringLiteral("\t|。\n\t|——|……|…|—|“|”|。”）|！”|？」|『|》|（|、|；|·|\u3000|A…|……A|T——|"
                                     "ＡＶ０１|AVA|To.|1.1| |a\tb|“WAVE”，|fi|'\"(!?)|\U0001F600|\U00020000|"
                                     "e\u0301|\U0001F1E8\U0001F1F3")
                          .split(QLatin1Char('|')));
        text += QStringLiteral("AVAVAVAV WAVE To Tavril 1.1.1 \u201c\u4f60\u201d \U0001F600\u4e2d\n").repeated(30);
        // Lines opened by tabs, the ellipses taking the script of the letter.
        for (int run = 0; run < 30; ++run)
            text += QStringLiteral("\t………………A") + QString(run, QChar(u'字')) + QStringLiteral("\n\t\t“……”\n");
        for (const QString &cluster : kClusters)
            for (int run = 0; run < 60; ++run)
                text += QString(run % 8, QChar(u'字')) + cluster.repeated(1 + run % 5) + QString(run % 9 / 8, '\n');
        readEveryPage(text);
    }

    void punctuationRulesAtEveryLineEnd_data()
    {
        QTest::addColumn<QFont>("font");
        QTest::addColumn<qreal>("ideographs"); // the page width
        QTest::newRow("sans 12 wide") << font("Noto Sans CJK SC", 12) << 25.4;
        QTest::newRow("serif 17 spaced") << font("Noto Serif CJK SC", 17, 2) << 5.5;
        QTest::newRow("one ideograph") << font("Noto Sans CJK SC", 12) << 1.0;
        QTest::newRow("one and a half") << font("Noto Serif CJK SC", 14, 1) << 1.5;
    }
    // A line ends up to three clusters before a forbidden place; where that empties it, the mark hangs instead.
    void punctuationRulesAtEveryLineEnd()
    {
        QFETCH(QFont, font);
        QFETCH(qreal, ideographs);
        config->setFont(font);
        config->setPunctuationRules(true);
        const QFontMetrics metrics(config->font());
        const int width = int(ideographs * metrics.horizontalAdvance(QStringLiteral("字")));
        setPage(QRect(2, 2, width, 300));
        // Each mark after 1 to n ideographs lands at every place of a line.
        QString text;
        for (const QString &mark :
             (kNeverFirst + kNeverLast).split(QString(), Qt::SkipEmptyParts) + QStringList{"……", "——", "。”）"})
            for (int n = 1; n <= ideographs + 2; ++n)
                text += QString(n, QChar(u'字')) + mark + QStringLiteral("字字字\n");
        Reader reader(config.get());
        reader.setPageRect(pageRect);
        bool hung = false;
        for (int at = 0; at < text.size();) {
            QVERIFY(reader.layoutPage(text, at, INT_MAX, true) > 0);
            for (int count : reader.lines()) {
                const QString line = text.mid(at, count);
                const QByteArray why = QStringLiteral("line at %1: %2").arg(at).arg(line).toUtf8();
                const bool over = lineWidth(metrics, line) > width;
                QVERIFY2(at == 0 || !badLineStart(text, at) || hung, why);
                QVERIFY2(!kNeverLast.contains(line.back()) || count == 1, why);
                // Hanging: a mark that cannot open a line, after one cluster that fits.
                QVERIFY2(!over ||
                             (count == 2 && badLineStart(text, at + 1) && lineWidth(metrics, line.left(1)) <= width),
                         why);
                // Nothing moved down that could have stayed.
                at += count;
                if (!over && at < text.size() && !text.midRef(at - 1, 2).contains(QLatin1Char('\n')))
                    QVERIFY2(lineWidth(metrics, text.mid(at - count, count + 1)) > width ||
                                 badLineStart(text, at + 1) || kNeverLast.contains(text.at(at)),
                             why);
                hung = over;
            }
        }
        // Where no line may end, pages still move on.
        const QString marks = QStringLiteral("。，”）」』》!（「『《“‘([").repeated(9) + QString(51, QChar(u'…'));
        for (int from = 0, length = 1; from < marks.size(); from += length)
            QVERIFY((length = reader.layoutPage(marks, from, INT_MAX, false)) > 0);
    }

    void theAutomaticBookmarkFollowsEveryMove()
    {
        const QString path = writeBook(QStringLiteral("moves.txt"), novel(200));
        Reader reader(config.get());
        reader.setPageRect(pageRect);
        reader.session()->openBook(path);
        reader.book()->waitForChapters();
        auto stored = [&] {
            reader.book()->flushBookmarks(); // written in the background
            return storedOffset(BookmarkFile::pathFor(path));
        };
        QVERIFY(reader.session()->nextPage());
        QCOMPARE(stored(), reader.position());
        QVERIFY(reader.session()->nextChapter());
        QVERIFY(reader.position() == reader.book()->chapter(1).offset);
        QCOMPARE(stored(), reader.position());
        QVERIFY(reader.session()->nextPage());
        QVERIFY(reader.session()->previousChapter()); // from inside chapter 2 to chapter 1's start
        QCOMPARE(stored(), 0);
        QVERIFY(!reader.session()->previousChapter());
        reader.session()->jumpTo(1234);
        QCOMPARE(stored(), 1234);
        QVERIFY(reader.session()->previousPage());
        QVERIFY(reader.position() < 1234);
        QCOMPARE(stored(), reader.position());
        Reader reopened(config.get());
        reopened.setPageRect(pageRect);
        reopened.session()->openBook(path);
        QCOMPARE(reopened.position(), reader.position());
    }

    // The progress line takes the page's foot and tells where the page starts; the lines above fill the rest.
    void theProgressLineTakesALineOfThePage()
    {
        Reader reader(config.get());
        reader.setPageRect(pageRect);
        reader.session()->openBook(
            writeBook(QStringLiteral("progress.txt"), QStringLiteral("第一章 起\n") + QString(994, u'文')));
        reader.book()->waitForChapters();
        reader.session()->jumpTo(375);
        const int fullLines = reader.lines().size();
        QCOMPARE(fullLines, (300 + 2) / (QFontMetrics(config->font()).height() + 2));
        config->setShowProgress(true);
        reader.refresh();
        QCOMPARE(reader.session()->progressText(), QStringLiteral("37.5%  第一章 起"));
        QCOMPARE(reader.lines().size(), fullLines - 1);
        // Readable: in the text's own colour, and at least 80 % of its size (ink heights, the first line's and
        // the progress line's, measured on the painted page).
        config->setTextColor(QColor(200, 30, 30));
        QImage image(404, 304, QImage::Format_RGB32);
        image.fill(Qt::white);
        QPainter painter(&image);
        reader.paint(&painter);
        painter.end();
        const auto inkRows = [&image](int from, int to, bool *fullColour) {
            int first = -1, last = -1;
            for (int y = from; y < to; ++y)
                for (int x = 0; x < image.width(); ++x)
                    if (image.pixel(x, y) != qRgb(255, 255, 255)) {
                        first = first < 0 ? y : first;
                        last = y;
                        *fullColour = *fullColour || image.pixel(x, y) == qRgb(200, 30, 30);
                    }
            return last - first + 1;
        };
        const int lineHeight = QFontMetrics(config->font()).height();
        bool textFull = false, progressFull = false;
        const int text = inkRows(2, 2 + lineHeight, &textFull);
        const int progress = inkRows(302 - lineHeight, 302, &progressFull);
        QVERIFY(progressFull);
        QVERIFY2(progress >= text * 0.8 - 1, qPrintable(QStringLiteral("%1 against %2").arg(progress).arg(text)));
    }

    void paintingStaysInsideThePage_data()
    {
        QTest::addColumn<int>("points");
        QTest::addColumn<QString>("text");
        QTest::newRow("no book: the start screen") << 12 << QString();
        QTest::newRow("12, progress line") << 12 << novel(40);
        QTest::newRow("30, progress line") << 30 << novel(40);
        QTest::newRow("30, one ideograph wide: every mark hangs") << 30 << QStringLiteral("天，地。").repeated(20);
    }
    // Hanging marks are drawn narrowed, not past the page's edge; the progress line stands at its foot.
    void paintingStaysInsideThePage()
    {
        QFETCH(int, points);
        QFETCH(QString, text);
        const bool hanging = text.contains(QStringLiteral("，地"));
        config->setFont(font(QStringLiteral("Noto Sans CJK SC"), points));
        config->setTextColor(Qt::black);
        config->setShowProgress(!hanging);
        config->setPunctuationRules(hanging);
        const int width = QFontMetrics(config->font()).horizontalAdvance(QStringLiteral("字")) + 1;
        const QRect page(20, 30, hanging ? width : 301, 203);
        setPage(page);
        Reader reader(config.get());
        reader.setPageRect(pageRect);
        if (!text.isEmpty())
            reader.session()->openBook(writeBook(QStringLiteral("paint.txt"), text));
        QImage image(360, 280, QImage::Format_ARGB32);
        image.fill(Qt::white);
        reader.paint(std::unique_ptr<QPainter>(new QPainter(&image)).get());
        int ink = 0, foot = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if (image.pixel(x, y) != qRgb(255, 255, 255)) {
                    QVERIFY2(page.adjusted(0, 0, 1, 1).contains(x, y),
                             qPrintable(QStringLiteral("%1,%2").arg(x).arg(y)));
                    ++ink, foot += y > page.bottom() - QFontMetrics(config->font()).height() / 2;
                }
        QVERIFY(ink > 500);
        QVERIFY((hanging || foot > 20));
        QVERIFY(!text.isEmpty() || image.pixel(page.left(), page.center().y()) == qRgb(0x80, 0x80, 0x80));
    }

    // A place inside a cluster moves to its start; a cluster wider than the page gets no line; a place beyond the
    // end or before the start, or a page too small for a character, moves nothing and skips nothing.
    void badPositionsAndPages()
    {
        Reader reader(config.get());
        reader.setPageRect(pageRect);
        live = &reader;
        for (const QString &book : {QString(), writeBook(QStringLiteral("empty.txt"), QString())}) {
            reader.session()->openBook(book);
            QVERIFY(!reader.session()->nextPage());
            QVERIFY(!reader.session()->previousPage());
            QVERIFY(!reader.session()->nextChapter());
            QVERIFY(!reader.session()->previousChapter());
            QVERIFY(reader.session()->progressText().isEmpty());
        }
        const QString text = novel(30);
        const QString path = writeBook(QStringLiteral("bad.txt"), text);
        BookmarkFile::save(BookmarkFile::pathFor(path), {Bookmark{text.size() + 500, QString(), QString()}});
        reader.session()->openBook(path);
        // Beyond the end of a book that became shorter: its last page.
        QCOMPARE(reader.position() + reader.pageLength(), text.size());
        setPage(QRect()); // opened before the window has its size (a book named at start)
        reader.session()->openBook(path);
        setPage(QRect(2, 2, 400, 300));
        reader.refresh();
        QCOMPARE(reader.position() + reader.pageLength(), text.size());
        QVERIFY(!reader.session()->nextPage());
        QVERIFY(reader.session()->previousPage());
        reader.book()->flushBookmarks(); // before the file is changed from outside
        BookmarkFile::save(BookmarkFile::pathFor(path), {Bookmark{-40, QString(), QString()}});
        reader.session()->openBook(path);
        QCOMPARE(reader.position(), 0);
        QVERIFY(reader.pageLength() > 0);
        // A page with no room: nothing moves. One too small for a line, a character or this font: one line,
        // clipped, and the pages walk the book a character or so at a time, skipping nothing.
        const QList<std::tuple<QRect, int, bool>> pages = {{{0, 0, 0, 300}, 12, false},
                                                           {{0, 0, 400, 5}, 12, true},
                                                           {{0, 0, 3, 300}, 12, true},
                                                           {{0, 0, 200, 150}, 300, true}};
        for (const auto &[page, points, shows] : pages) {
            setPage(page);
            config->setFont(QFont(QStringLiteral("Noto Sans CJK SC"), points));
            reader.session()->jumpTo(100);
            QCOMPARE(reader.pageShowsText(), shows);
            const int length = reader.pageLength();
            QCOMPARE(reader.session()->nextPage(), shows);
            QCOMPARE(reader.position(), shows ? 100 + length : 100);
            QCOMPARE(reader.session()->previousPage(), shows);
            QCOMPARE(reader.position(), 100);
        }
        setPage(QRect(2, 2, 400, 300));
        config->setFont(font(QStringLiteral("Noto Sans CJK SC"), 12));
        for (const QString &cluster : kClusters) {
            const QString text = QStringLiteral("天地") + cluster + QString(2000, QChar(u'字'));
            const QString path = writeBook(QStringLiteral("cluster%1.txt").arg(kClusters.indexOf(cluster)), text);
            BookmarkFile::save(BookmarkFile::pathFor(path), {Bookmark{3, QString(), QString()}});
            reader.session()->openBook(path);
            const int opened = reader.position();
            reader.session()->jumpTo(0);
            reader.session()->jumpTo(3);
            QCOMPARE(opened, 2);
            QCOMPARE(reader.position(), 2);
            QCOMPARE(reader.layoutPage(text, 0, 3, false), 2);
        }
        const QString flag = kClusters.last();
        setPage(QRect(0, 0, QFontMetrics(config->font()).horizontalAdvance(flag) - 1, 50));
        QCOMPARE(reader.layoutPage(flag + flag, 0, INT_MAX, true), flag.size()); // clipped, on the first line
        QCOMPARE(reader.lines().first(), flag.size());
        live = nullptr;
    }

    // A wrong encoding tried and taken back: the place stays at the same bytes, so the same words come back.
    void anEncodingTriedAndTakenBackKeepsThePlace_data()
    {
        QTest::addColumn<QByteArray>("codec");
        QTest::addColumn<TextEncoding>("tried");
        QTest::newRow("GBK read as UTF-8") << QByteArray("GBK") << TextEncoding::Utf8;
        QTest::newRow("GBK read as Big5") << QByteArray("GBK") << TextEncoding::Big5;
        QTest::newRow("GBK read as UTF-16") << QByteArray("GBK") << TextEncoding::Utf16Le;
        QTest::newRow("UTF-8 read as GB18030") << QByteArray("UTF-8") << TextEncoding::Gb18030;
    }
    void anEncodingTriedAndTakenBackKeepsThePlace()
    {
        QFETCH(QByteArray, codec);
        QFETCH(TextEncoding, tried);
        const QString text = novel(400).replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
        const QString path = dir.filePath(QStringLiteral("encodings.txt"));
        QFile::remove(BookmarkFile::pathFor(path));
        writeFile(path, QTextCodec::codecForName(codec)->fromUnicode(text));
        const QString heading = QStringLiteral("第17章");
        const qint64 byte = QTextCodec::codecForName(codec)->fromUnicode(text.left(text.indexOf(heading))).size();
        Reader reader(config.get());
        reader.setPageRect(pageRect);
        reader.session()->openBook(path);
        reader.session()->jumpTo(reader.book()->text().indexOf(heading));
        const int place = reader.position();
        for (int round = 0; round < 3; ++round) {
            QVERIFY(reader.session()->reopenIn(tried));
            if (tried != TextEncoding::Utf16Le) // no character of UTF-16 starts at an odd byte
                QCOMPARE(reader.book()->byteOffsetOf(reader.position()), byte);
            QVERIFY(reader.session()->reopenIn(TextEncoding::Auto));
            QCOMPARE(reader.position(), place);
        }
    }

    // Where a typed place leads, in ten lines of 100 characters: a percentage to the start of its line, a number
    // to the first heading that carries it (Arabic or Chinese numerals), or down the list where none carries one.
    void jumpTargets_data()
    {
        QTest::addColumn<QString>("headings"); // "title@offset|..."
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("offset"); // -1: refused
        const QString numbered = QStringLiteral("序章@0|第9回 相似@100|第十二章 风@200|第12回 又一@300|第三卷@400");
        const QString plain = QStringLiteral("楔子@0|风起@500");
        const QList<std::tuple<QString, const char *, int>> rows = {{numbered, "37.5%", 300},
                                                                    {numbered, " ３７．５ ％ ", 300},
                                                                    {numbered, "0%", 0},
                                                                    {numbered, "100%", 900},
                                                                    {numbered, "5%", 0},
                                                                    {numbered, "12", 200},
                                                                    {numbered, "第12章", 200},
                                                                    {numbered, "第十二章", 200},
                                                                    {numbered, "十二", 200},
                                                                    {numbered, "9", 100},
                                                                    {numbered, "第３卷", 400},
                                                                    {numbered, "1", -1},
                                                                    {plain, "2", 500},
                                                                    {plain, "第2章", 500},
                                                                    {plain, "3", -1},
                                                                    {numbered, "100.1%", -1},
                                                                    {numbered, "-5%", -1},
                                                                    {numbered, "三成", -1},
                                                                    {numbered, "", -1},
                                                                    {numbered, "%", -1},
                                                                    {numbered, "99999999999999999999", -1}};
        for (const auto &[headings, typed, offset] : rows)
            QTest::addRow("%s: %s", headings == plain ? "plain" : "numbered", typed) << headings << typed << offset;
    }
    void jumpTargets()
    {
        QFETCH(QString, headings);
        QFETCH(QString, typed);
        QFETCH(int, offset);
        QList<Chapter> chapters;
        for (const QString &heading : headings.split('|'))
            chapters << Chapter{heading.section('@', 0, 0), heading.section('@', 1).toInt(), true};
        const JumpTarget target = JumpTarget::parse(typed, (QString(99, 'x') + '\n').repeated(10), chapters);
        QCOMPARE(target.offset, offset);
        QCOMPARE(target.error.isEmpty(), offset >= 0);
    }

    // A jump, then keys: every page shown holds text, begins at a line start or where the page before ended (no
    // word cut between pages), and a page back from a jump is a full page.
    void jumpsLandOnPages_data()
    {
        QTest::addColumn<QString>("jump");
        QTest::addColumn<QString>("keys"); // < previous page, > next page
        for (const char *jump : {"100%", "99.9%", "37.5%", "50%", "0%"})
            for (const char *keys : {"", "<", "<<<", "<>", "><<"})
                QTest::addRow("%s then '%s'", jump, keys) << jump << keys;
    }
    void jumpsLandOnPages()
    {
        QFETCH(QString, jump);
        QFETCH(QString, keys);
        static const QString text = novel(300, {QStringLiteral("testing ")});
        Reader reader(config.get());
        reader.setPageRect(pageRect);
        reader.session()->openBook(writeBook(QStringLiteral("jumps.txt"), text));
        reader.session()->jumpTo(JumpTarget::parse(jump, text, reader.book()->chapters()).offset);
        const QFontMetrics metrics(config->font());
        const int fullPage = (pageRect.height() + config->lineSpace()) / (metrics.height() + config->lineSpace());
        const auto isLetter = [](QChar c) { return c.isLetter() && c.unicode() < 0x3000; };
        // Where the jump landed, and where each page back ends: no word is cut there.
        int boundary = reader.position();
        for (int step = 0; step <= keys.size(); ++step) {
            QVERIFY2(reader.pageShowsText(), qPrintable(QString::number(reader.position())));
            QVERIFY2(boundary == 0 || !isLetter(text.at(boundary - 1)) || !isLetter(text.at(boundary)),
                     qPrintable(text.mid(boundary - 5, 10)));
            if (step > 0 && keys.at(step - 1) == '<' && reader.position() > 0)
                QCOMPARE(reader.lines().size(), fullPage);
            if (step == keys.size())
                break;
            boundary = keys.at(step) == '<' && step == 0 ? reader.position() : 0;
            keys.at(step) == '<' ? reader.session()->previousPage() : reader.session()->nextPage();
        }
    }

    // Each key as earlier versions wrote it, and the signal that applies it.
    void eachSetterWritesItsKey_data()
    {
        QTest::addColumn<Setter>("set");
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QList<int>>("emitted"); // fontChanged, backgroundChanged, topOnWindow
        const QList<int> font = {1, 0, 0}, background = {0, 1, 0}, none = {0, 0, 0};
        auto row = [](const char *key, const QVariant &value, const QList<int> &emitted, const Setter &set) {
            QTest::newRow(key) << set << value << emitted;
        };
        row("font/linespace", "7", font, [](C &c) { c.setLineSpace(7); });
        row("font/letterspace", "3", font, [](C &c) { c.setLetterSpace(3); });
        row("font/color", QColor(1, 2, 3), font, [](C &c) { c.setTextColor(QColor(1, 2, 3)); });
        row("font/font", QFont("DejaVu Serif", 17), font, [](C &c) { c.setFont(QFont("DejaVu Serif", 17)); });
        row("view/showProgress", "true", font, [](C &c) { c.setShowProgress(true); });
        row("view/punctuationRules", "true", font, [](C &c) { c.setPunctuationRules(true); });
        row("view/autoTurnSeconds", "120", none, [](C &c) { c.setAutoTurnSeconds(500); });
        row("window/bgType", "1", background, [](C &c) { c.setBgType(1); });
        row("window/translucent", "40", background, [](C &c) { c.setTranslucent(40); });
        row("window/bgColor", QColor(Qt::black), background, [](C &c) { c.setBgColor(Qt::black); });
        row("window/isTop", "true", {0, 0, 1}, [](C &c) { c.setTop(true); });
        row("window/rememberWin", "true", none, [](C &c) { c.setRememberWin(true); });
        row("window/tray", "true", none, [](C &c) { c.setTray(true); });
        row("window/openLastFile", "true", none, [](C &c) { c.setOpenLastFile(true); });
        row("window/rect", QRect(5, 6, 70, 80), none, [](C &c) { c.setWindowRect(QRect(5, 6, 70, 80)); });
        row("shortcut/clickNextPage", "true", none, [](C &c) { c.setClickNextPage(true); });
        row("shortcut/doublceClickHide", "true", none, [](C &c) { c.setDoubleClickHide(true); });
        row("shortcut/wheelTurnPage", "true", none, [](C &c) { c.setWheelTurnPage(true); });
        row("update/checkAtStart", "false", none, [](C &c) { c.setCheckUpdateAtStart(false); });
        row("fileHistory", "/书/一, 二.txt", none, [](C &c) { c.addFileHistory("/书/一, 二.txt"); });
        row("content/encodings", "big5|/书/a", none, [](C &c) { c.setBookEncoding("/书/a", TextEncoding::Big5); });
    }
    void eachSetterWritesItsKey()
    {
        QFETCH(Setter, set);
        QFETCH(QVariant, value);
        QFETCH(QList<int>, emitted);
        ReaderConfig config;
        QSignalSpy font(&config, &ReaderConfig::fontChanged);
        QSignalSpy background(&config, &ReaderConfig::backgroundChanged);
        QSignalSpy top(&config, &ReaderConfig::topOnWindow);
        set(config);
        QCOMPARE(iniValue(QTest::currentDataTag()), value);
        QCOMPARE((QList<int>{font.count(), background.count(), top.count()}), emitted);
    }

    // What was set comes back, the window's rectangle only while remembered; loading or the page writes nothing.
    void storedValuesComeBack()
    {
        const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
        const QRect middle(screen.width() / 3, screen.height() / 3, screen.width() / 3, screen.height() / 3);
        QCOMPARE(ReaderConfig().windowRect(), middle);
        Reader page(config.get());
        QVERIFY(!page.setPageRect(QRect(2, 2, 9, 9)));
        QVERIFY(page.setPageRect(QRect(2, 2, 9, 9)));
        QVERIFY(!QFile::exists(iniPath()));
        const QList<QPair<void (C::*)(bool), bool (C::*)() const>> switches = {
            {&C::setTop, &C::isTop},
            {&C::setTray, &C::tray},
            {&C::setOpenLastFile, &C::openLastFile},
            {&C::setClickNextPage, &C::clickNextPage},
            {&C::setDoubleClickHide, &C::doubleClickHide},
            {&C::setWheelTurnPage, &C::wheelTurnPage},
            {&C::setShowProgress, &C::showProgress},
            {&C::setPunctuationRules, &C::punctuationRules}};
        {
            ReaderConfig writer;
            for (const auto &s : switches)
                (writer.*s.first)(true);
            writer.setLineSpace(7);
            writer.setAutoTurnSeconds(30);
            writer.setCheckUpdateAtStart(false);
            writer.setFont(QFont(QStringLiteral("DejaVu Sans"), 21));
            writer.setLetterSpace(4);
            writer.setBgColor(QColor(1, 2, 3));
            writer.setTranslucent(30);
            writer.setWindowRect(QRect(-500, 9000, 300, 200));
            writer.addFileHistory(QStringLiteral("/书/一, 二.txt"));
            writer.addFileHistory(QStringLiteral("/书/三.txt"));
            writer.setBookEncoding(QStringLiteral("/书/三.txt"), TextEncoding::Utf16Be);
        }
        ReaderConfig config;
        for (int i = 0; i < switches.size(); ++i)
            QVERIFY2((config.*switches.at(i).second)(), qPrintable(QStringLiteral("switch %1").arg(i)));
        QCOMPARE(config.lineSpace(), 7);
        QCOMPARE(config.autoTurnSeconds(), 30);
        QVERIFY(!config.checkUpdateAtStart());
        QCOMPARE(config.font().family(), QStringLiteral("DejaVu Sans"));
        QCOMPARE(config.font().letterSpacing(), 4.0);
        QCOMPARE(config.bgColor(), QColor(1, 2, 3));
        QCOMPARE(config.translucent(), 30);
        QCOMPARE(config.fileHistory(), (QStringList{"/书/三.txt", "/书/一, 二.txt"}));
        QCOMPARE(config.bookEncoding(QStringLiteral("/书/三.txt")), TextEncoding::Utf16Be);
        QCOMPARE(config.windowRect(), middle);
        config.setRememberWin(true);
        QCOMPARE(ReaderConfig().windowRect(), QRect(-500, 9000, 300, 200));
    }

    void damagedValuesFallBackToTheirDefaults()
    {
        const ReaderConfig defaults;
        // A string list claiming 2^31 entries threw std::bad_alloc at start; a huge line spacing overflowed.
        writeFile(iniPath(),
                  "[General]\nfileHistory=@Variant(\\0\\0\\0\\v\\x7f\\xff\\xff\\xff)\n"
                  "[window]\nbgType=abc\ntranslucent=250\nbgColor=12\nisTop=maybe\nrememberWin=true\nrect=nonsense\n"
                  "[shortcut]\nwheelTurnPage=2\n[font]\nfont=@Variant(garbage\ncolor=not a colour\n"
                  "linespace=2147483647\nletterspace=y\n[update]\ncheckAtStart=0\n");
        ReaderConfig config;
        QCOMPARE(config.bgType(), defaults.bgType());
        QCOMPARE(config.translucent(), defaults.translucent());
        QCOMPARE(config.bgColor(), defaults.bgColor());
        QCOMPARE(config.textColor(), defaults.textColor());
        QCOMPARE(config.isTop(), defaults.isTop());
        QCOMPARE(config.wheelTurnPage(), defaults.wheelTurnPage());
        QVERIFY(config.rememberWin());
        QVERIFY(!config.checkUpdateAtStart());
        QCOMPARE(config.windowRect(), defaults.windowRect());
        QCOMPARE(config.font(), defaults.font());
        QCOMPARE(config.lineSpace(), defaults.lineSpace());
        QVERIFY(config.fileHistory().isEmpty());
        // Only the line that could not be loaded safely left the file.
        const QByteArray left = readFile(iniPath());
        QVERIFY2(!left.contains("fileHistory") && left.contains("linespace=2147483647"), left);
    }

    void theHistoryKeepsTenDistinctPaths()
    {
        ReaderConfig config;
        for (const QString &name : QStringLiteral("0 1 2 3 4 5 6 7 8 9 10 5").split(' '))
            config.addFileHistory("/books/" + name + ".txt");
        config.addFileHistory(QStringLiteral("/BOOKS/5.txt"));
        const QStringList expected = {"/BOOKS/5.txt", "/books/5.txt", "/books/10.txt", "/books/9.txt", "/books/8.txt",
                                      "/books/7.txt", "/books/6.txt", "/books/4.txt",  "/books/3.txt", "/books/2.txt"};
        QCOMPARE(config.fileHistory(), expected);
        QCOMPARE(iniValue("fileHistory").toStringList(), expected);
    }
};

QTEST_MAIN(TestReader)
#include "tst_reader.moc"
