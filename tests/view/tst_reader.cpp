#include "BookmarkFile.h"
#include "Reader.h"
#include "ReaderConfig.h"

#include <QFile>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTextBoundaryFinder>
#include <QtTest>

namespace {

// Chinese prose; with `extras`, about one word in seven comes from them.
QString novel(int paragraphs, int chapterEvery = 0, const QStringList &extras = {})
{
    static const QString words = QStringLiteral("天色将晚江上起了风老渔夫收起网回头望远处的山影低声说今夜怕是不太平");
    QRandomGenerator random(99);
    QString text;
    for (int p = 0; p < paragraphs; ++p) {
        if (chapterEvery > 0 && p % chapterEvery == 0)
            text += QStringLiteral("第%1章 风云\n").arg(p / chapterEvery + 1);
        text += QStringLiteral("\u3000\u3000");
        for (int i = 0, n = random.bounded(1, 160); i < n; ++i) {
            const int pick = random.bounded(20);
            text += pick == 0                       ? QStringLiteral("，")
                    : pick == 1                     ? QStringLiteral("Tavril ")
                    : pick < 4 && !extras.isEmpty() ? extras.at(random.bounded(extras.size()))
                                                    : QString(words.at(random.bounded(words.size())));
        }
        text += QLatin1Char('\n');
        if (random.bounded(8) == 0)
            text += QLatin1Char('\n');
    }
    return text;
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

int lineWidth(const QFontMetrics &metrics, QString line)
{
    if (line.endsWith(QLatin1Char('\n')))
        line.chop(1);
    return metrics.horizontalAdvance(line);
}

// The page broken into lines the plain way: each line's count searched one
// grapheme cluster at a time from the previous line's count (or the start of
// the cluster that count falls in); a line's chunk of characters runs on to
// the end of a cluster it would cut.
QList<int> plainLayout(const QString &text, int from, const QFont &font, const QRect &page, int lineSpace)
{
    const QFontMetrics metrics(font);
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    auto isBoundary = [&](int pos) {
        finder.setPosition(pos);
        return finder.isAtBoundary();
    };
    const int maxLines = (page.height() + lineSpace) / (metrics.height() + lineSpace);
    const int chunk = page.width() / qMax(1, metrics.horizontalAdvance(QStringLiteral("一"))) * 2;
    QList<int> lines;
    int consumed = 0;
    int count = 0;
    for (int line = 0; line < maxLines; ++line) {
        const int start = from + consumed;
        int end = qMin(start + chunk, text.size());
        while (chunk > 0 && !isBoundary(end))
            ++end;
        const QString segment = text.mid(start, qMax(0, end - start));
        if (segment.isEmpty())
            break;
        auto longer = [&](int k) {
            do
                ++k;
            while (!isBoundary(start + k));
            return k;
        };
        count = qMin(count, segment.size());
        while (!isBoundary(start + count))
            --count;
        int advance = metrics.horizontalAdvance(segment.left(count));
        if (advance < page.width()) {
            while (count < segment.size()) {
                advance = metrics.horizontalAdvance(segment.left(longer(count)));
                if (advance > page.width())
                    break;
                count = longer(count);
                if (advance == page.width())
                    break;
            }
        } else if (advance > page.width()) {
            while (count > 0 && metrics.horizontalAdvance(segment.left(count)) > page.width()) {
                do
                    --count;
                while (!isBoundary(start + count));
            }
        }
        const int feed = segment.leftRef(count).indexOf(QLatin1Char('\n'));
        if (feed >= 0)
            count = feed + 1;
        lines << count;
        consumed += count;
    }
    return lines;
}

bool startsCluster(const QString &text, int pos)
{
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    finder.setPosition(pos);
    return finder.isAtBoundary();
}

// 避头尾 as Chinese typesetting states it, written out apart from the
// reader's own tables.
const QString kNeverFirst = QStringLiteral("，。、；：？！）」』》”’．,.;:?!)]");
const QString kNeverLast = QStringLiteral("（「『《“‘([");

// The line from `pos` opens with a mark that must not, or splits a dash or
// ellipsis pair (the texts here hold no longer runs); 0 < pos < size.
bool badLineStart(const QString &text, int pos)
{
    const QChar first = text.at(pos);
    const QChar before = text.at(pos - 1);
    return before != QLatin1Char('\n') &&
           (kNeverFirst.contains(first) || (before == first && QStringLiteral("…—").contains(first)));
}

} // namespace

class TestReader : public QObject
{
    Q_OBJECT

private:
    QString writeBook(const QString &name, const QString &text)
    {
        const QString path = dir.filePath(name);
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        file.write(text.toUtf8());
        file.close();
        QFile::remove(BookmarkFile::pathFor(path));
        return path;
    }
    QString iniPath() const { return QCoreApplication::applicationDirPath() + QStringLiteral("/tavrilconfig.ini"); }

    // Checks the page on screen: lines add up, none is wider than the page
    // but by a hanging mark, a line holds a line feed only at its end.
    void checkPage(Reader &reader, const QFontMetrics &metrics)
    {
        const QString &text = reader.book()->text();
        const int width = reader.config()->pageRect().width();
        int at = reader.position();
        int sum = 0;
        for (int count : reader.lines()) {
            const QString line = text.mid(at, count);
            const bool hangs = reader.config()->punctuationRules() && count > 1 && badLineStart(text, at + count - 1);
            QVERIFY2(lineWidth(metrics, line.chopped(hangs ? 1 : 0)) <= width, qPrintable(line));
            QVERIFY(!line.chopped(line.endsWith(QLatin1Char('\n')) ? 1 : 0).contains(QLatin1Char('\n')));
            at += count;
            sum += count;
        }
        QCOMPARE(sum, reader.pageLength());
    }

private slots:
    void init()
    {
        QFile::remove(iniPath());
        config.reset(new ReaderConfig);
        config->setPageRect(QRect(2, 2, 400, 300));
        config->setFont(QFont(QStringLiteral("Noto Sans CJK SC"), 12));
        config->setLineSpace(2);
    }
    void cleanupTestCase() { QFile::remove(iniPath()); }

    void lineFeedsEndLines()
    {
        Reader reader(config.get());
        reader.openBook(writeBook(QStringLiteral("paragraphs.txt"), QStringLiteral("第一段\n\n第二段")));
        QCOMPARE(reader.lines(), (QList<int>{4, 1, 3}));
        QCOMPARE(reader.pageLength(), 8);
    }

    void pagingVisitsEveryCharacterOnce_data()
    {
        QTest::addColumn<QString>("family");
        QTest::addColumn<int>("points");
        QTest::addColumn<int>("letterSpace");
        QTest::addColumn<int>("lineSpace");
        QTest::addColumn<bool>("rules");
        QTest::newRow("sans 12") << "Noto Sans CJK SC" << 12 << 0 << 2 << false;
        QTest::newRow("serif 20 spaced") << "Noto Serif CJK SC" << 20 << 3 << 8 << false;
        QTest::newRow("latin font 9") << "DejaVu Sans" << 9 << 1 << 0 << false;
        QTest::newRow("sans 36 tight") << "Noto Sans CJK SC" << 36 << -2 << 1 << false;
        QTest::newRow("sans 12 punctuation rules") << "Noto Sans CJK SC" << 12 << 0 << 2 << true;
    }
    void pagingVisitsEveryCharacterOnce()
    {
        QFETCH(QString, family);
        QFETCH(int, points);
        QFETCH(int, letterSpace);
        QFETCH(int, lineSpace);
        QFETCH(bool, rules);
        QFont font(family, points);
        config->setFont(font);
        config->setLetterSpace(letterSpace);
        config->setLineSpace(lineSpace);
        config->setPunctuationRules(rules);
        const QFontMetrics metrics(config->font());
        const QStringList marks = {QStringLiteral("。”）"), QStringLiteral("“"), QStringLiteral("……"),
                                   QStringLiteral("（")};
        const QString text = novel(150, 0, rules ? marks : QStringList());
        Reader reader(config.get());
        reader.openBook(writeBook(QStringLiteral("visit.txt"), text));
        int expected = 0;
        int pages = 0;
        do {
            QCOMPARE(reader.position(), expected);
            checkPage(reader, metrics);
            QVERIFY(reader.pageLength() > 0);
            expected += reader.pageLength();
            ++pages;
        } while (reader.nextPage());
        QCOMPARE(expected, text.size());
        QVERIFY(pages > 3);

        // And back: each previous page ends where the later one started.
        while (reader.position() > 0) {
            const int later = reader.position();
            QVERIFY(reader.previousPage());
            checkPage(reader, metrics);
            if (reader.position() > 0)
                QCOMPARE(reader.position() + reader.pageLength(), later);
            else
                QVERIFY(reader.pageLength() >= qMin(later, reader.pageLength()));
        }
        QVERIFY(!reader.previousPage());
    }

    void linesMatchThePlainCharacterByCharacterSearch_data()
    {
        QTest::addColumn<QString>("family");
        QTest::addColumn<int>("points");
        QTest::addColumn<int>("letterSpace");
        QTest::addColumn<int>("width");
        QTest::newRow("sans 12") << "Noto Sans CJK SC" << 12 << 0 << 400;
        QTest::newRow("sans 9 spaced") << "Noto Sans CJK SC" << 9 << 3 << 333;
        QTest::newRow("sans 20 tight") << "Noto Sans CJK SC" << 20 << -2 << 517;
        QTest::newRow("serif 17 spaced") << "Noto Serif CJK SC" << 17 << 2 << 400;
        // Narrow characters move back: a longer line can be shorter.
        QTest::newRow("sans 12 overlapping") << "Noto Sans CJK SC" << 12 << -12 << 300;
        QTest::newRow("latin font 10") << "DejaVu Sans" << 10 << 0 << 400;
        QTest::newRow("latin font 13 spaced") << "DejaVu Sans" << 13 << 1 << 451;
        QTest::newRow("latin font 11 tight") << "DejaVu Sans" << 11 << -3 << 377;
        QTest::newRow("latin serif 14 tight") << "DejaVu Serif" << 14 << -1 << 400;
    }
    // Every page of a text with what fonts kern or set apart: tabs inside a
    // line, dash and ellipsis pairs, punctuation next to Latin letters, and
    // clusters of more than one unit.
    void linesMatchThePlainCharacterByCharacterSearch()
    {
        QFETCH(QString, family);
        QFETCH(int, points);
        QFETCH(int, letterSpace);
        QFETCH(int, width);
        QFont font(family, points);
        font.setLetterSpacing(QFont::AbsoluteSpacing, letterSpace);
        config->setFont(font);
        config->setPageRect(QRect(2, 2, width, 300));
        const QStringList extras = {
            QStringLiteral("\t"),         QStringLiteral("。\n\t"),  QStringLiteral("——"),
            QStringLiteral("——"),         QStringLiteral("……"),      QStringLiteral("……"),
            QStringLiteral("…"),          QStringLiteral("—"),       QStringLiteral("“"),
            QStringLiteral("”"),          QStringLiteral("。”"),     QStringLiteral("！”"),
            QStringLiteral("？」"),       QStringLiteral("『"),      QStringLiteral("》"),
            QStringLiteral("（"),         QStringLiteral("、"),      QStringLiteral("；"),
            QStringLiteral("·"),          QStringLiteral("\u3000"),  QStringLiteral("A…"),
            QStringLiteral("……A"),        QStringLiteral("T——"),     QStringLiteral("ＡＶ０１"),
            QStringLiteral("AVA"),        QStringLiteral("To."),     QStringLiteral("1.1"),
            QStringLiteral(" "),          QStringLiteral("a\tb"),    QStringLiteral("“WAVE”，"),
            QStringLiteral("fi"),         QStringLiteral("'\"(!?)"), QStringLiteral("\U0001F600"),
            QStringLiteral("\U00020000"), QStringLiteral("e\u0301"), QStringLiteral("\U0001F1E8\U0001F1F3")};
        QString text = novel(80, 0, extras);
        text += QStringLiteral("AVAVAVAV WAVE To Tavril 1.1.1 \u201c\u4f60\u201d \U0001F600\u4e2d\n").repeated(30);
        // Lines opened by tabs, the ellipses taking the script of the letter.
        for (int run = 0; run < 30; ++run)
            text += QStringLiteral("\t………………A") + QString(run, QChar(u'字')) + QStringLiteral("\n\t\t“……”\n");
        Reader reader(config.get());
        int pages = 0;
        for (int from = 0; from < text.size(); ++pages) {
            const int length = reader.layoutPage(text, from, INT_MAX, true);
            QCOMPARE(reader.lines(), plainLayout(text, from, config->font(), config->pageRect(), config->lineSpace()));
            QVERIFY(length > 0);
            from += length;
        }
        QVERIFY(pages > 10);
    }

    void punctuationRulesAtEveryLineEnd_data()
    {
        QTest::addColumn<QString>("family");
        QTest::addColumn<int>("points");
        QTest::addColumn<int>("letterSpace");
        QTest::addColumn<qreal>("ideographs"); // the page width
        QTest::newRow("sans 12 wide") << "Noto Sans CJK SC" << 12 << 0 << 25.4;
        QTest::newRow("serif 17 spaced") << "Noto Serif CJK SC" << 17 << 2 << 5.5;
        QTest::newRow("one ideograph") << "Noto Sans CJK SC" << 12 << 0 << 1.0;
        QTest::newRow("one and a half") << "Noto Serif CJK SC" << 14 << 1 << 1.5;
    }
    // A line that would end at a forbidden place ends up to three clusters
    // earlier; where that would empty it, a mark that must not open a line
    // hangs past the page width on the line before.
    void punctuationRulesAtEveryLineEnd()
    {
        QFETCH(QString, family);
        QFETCH(int, points);
        QFETCH(int, letterSpace);
        QFETCH(qreal, ideographs);
        QFont font(family, points);
        font.setLetterSpacing(QFont::AbsoluteSpacing, letterSpace);
        config->setFont(font);
        const QFontMetrics metrics(config->font());
        const int width = int(ideographs * metrics.horizontalAdvance(QStringLiteral("字")));
        config->setPageRect(QRect(2, 2, width, 300));
        // Each mark after 1 to n ideographs at a paragraph's start lands at
        // every place of a line, on both sides of its end.
        QString text;
        const QStringList groups = {QStringLiteral("……"), QStringLiteral("——"), QStringLiteral("。”）")};
        for (const QString &mark : (kNeverFirst + kNeverLast).split(QString(), Qt::SkipEmptyParts) + groups) {
            for (int n = 1; n <= ideographs + 2; ++n)
                text += QString(n, QChar(u'字')) + mark + QStringLiteral("字字字\n");
        }
        // With the rules off the lines are the plain search's, which
        // linesMatchThePlainCharacterByCharacterSearch checks on every mark.
        config->setPunctuationRules(true);
        Reader reader(config.get());
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

    void clustersAreNeverSplit_data()
    {
        QTest::addColumn<QString>("cluster");
        QTest::newRow("emoji") << QStringLiteral("\U0001F600");
        QTest::newRow("extension B") << QStringLiteral("\U00020000");
        QTest::newRow("combining mark") << QStringLiteral("e\u0301");
        QTest::newRow("flag") << QStringLiteral("\U0001F1E8\U0001F1F3");
    }
    void clustersAreNeverSplit()
    {
        QFETCH(QString, cluster);
        const QFontMetrics metrics(config->font());
        const int lineStep = metrics.height() + config->lineSpace();
        config->setPageRect(QRect(0, 0, 100, 3 * lineStep));
        // Runs of 0 to 7 ideographs and of 1 to 5 clusters put a cluster at
        // every place on lines of about six ideographs.
        QString text;
        for (int run = 0; run < 60; ++run) {
            text += QString(run % 8, QChar(u'字')) + cluster.repeated(1 + run % 5);
            if (run % 9 == 8)
                text += QLatin1Char('\n');
        }
        const QString path = writeBook(QStringLiteral("clusters.txt"), text);
        Reader reader(config.get());
        reader.openBook(path);

        int endsBefore = 0;
        int endsAfter = 0;
        // Pages going back are cut where the later page starts: only their
        // boundaries are checked.
        auto checkPage = [&](bool forward) {
            QVERIFY(startsCluster(text, reader.position()));
            if (forward)
                QCOMPARE(reader.lines(),
                         plainLayout(text, reader.position(), config->font(), config->pageRect(), config->lineSpace()));
            int at = reader.position();
            for (int count : reader.lines()) {
                at += count;
                QVERIFY2(startsCluster(text, at), qPrintable(QString::number(at)));
                endsBefore += text.midRef(at).startsWith(cluster);
                endsAfter += count > 0 && text.leftRef(at).endsWith(cluster);
            }
        };
        int expected = 0;
        do {
            QCOMPARE(reader.position(), expected);
            checkPage(true);
            if (QTest::currentTestFailed())
                return;
            expected += reader.pageLength();
        } while (reader.nextPage());
        QCOMPARE(expected, text.size());
        QVERIFY(endsBefore > 0 && endsAfter > 0);
        while (reader.position() > 0) {
            const int later = reader.position();
            QVERIFY(reader.previousPage());
            checkPage(false);
            if (QTest::currentTestFailed())
                return;
            if (reader.position() > 0)
                QCOMPARE(reader.position() + reader.pageLength(), later);
        }

        // Positions inside the cluster: a jump, a bookmark, the end of a page.
        const int inside = text.indexOf(cluster) + 1;
        reader.jumpTo(inside);
        QCOMPARE(reader.position(), inside - 1);
        BookmarkFile::save(BookmarkFile::pathFor(path), {Bookmark{inside, QString(), QString()}});
        reader.openBook(path);
        QCOMPARE(reader.position(), inside - 1);
        QCOMPARE(reader.layoutPage(text, 0, inside, false), inside - 1);

        // Wider than the page: the line gets nothing, as any character that
        // does not fit.
        const int wide = metrics.horizontalAdvance(cluster);
        if (wide > metrics.horizontalAdvance(QStringLiteral("一"))) {
            config->setPageRect(QRect(0, 0, wide - 1, 3 * lineStep));
            QCOMPARE(reader.layoutPage(cluster + text, 0, INT_MAX, true), 0);
            QCOMPARE(reader.lines(), (QList<int>{0, 0, 0}));
        }
    }

    void previousThenNextReturns()
    {
        Reader reader(config.get());
        reader.openBook(writeBook(QStringLiteral("back.txt"), novel(100)));
        for (int i = 0; i < 5; ++i)
            QVERIFY(reader.nextPage());
        const int here = reader.position();
        QVERIFY(reader.previousPage());
        QVERIFY(reader.position() > 0);
        QVERIFY(reader.nextPage());
        QCOMPARE(reader.position(), here);
    }

    void shortLastPageGoesBackByTwiceItsLength()
    {
        Reader reader(config.get());
        const QString text = novel(60);
        reader.openBook(writeBook(QStringLiteral("short.txt"), text));
        while (reader.nextPage()) {
        }
        const int last = reader.position();
        const int length = text.size() - last;
        QVERIFY(2 * length < last);
        const bool twiceFits = reader.layoutPage(text, last - 2 * length, last, false) == 2 * length;
        QVERIFY(reader.previousPage());
        if (twiceFits)
            QCOMPARE(reader.position(), last - 2 * length);
        QCOMPARE(reader.position() + reader.pageLength(), last);
    }

    void automaticBookmarkFollowsEveryMove()
    {
        Reader reader(config.get());
        const QString path = writeBook(QStringLiteral("moves.txt"), novel(200, 20));
        const QString bmk = BookmarkFile::pathFor(path);
        reader.openBook(path);
        reader.book()->waitForChapters();
        auto storedOffset = [&] {
            reader.book()->flushBookmarks(); // written in the background
            QFile file(bmk);
            file.open(QIODevice::ReadOnly);
            QList<Bookmark> list;
            BookmarkFile::read(file, &list);
            return list.value(0).offset;
        };
        QVERIFY(reader.nextPage());
        QCOMPARE(storedOffset(), reader.position());
        QVERIFY(reader.nextChapter());
        QCOMPARE(reader.position(), reader.book()->chapter(1).offset);
        QCOMPARE(storedOffset(), reader.position());
        QVERIFY(reader.nextPage());
        QVERIFY(reader.previousChapter()); // from inside chapter 2 to chapter 1's start
        QCOMPARE(reader.position(), reader.book()->chapter(0).offset);
        QCOMPARE(storedOffset(), reader.position());
        QVERIFY(!reader.previousChapter());
        reader.jumpTo(1234);
        QCOMPARE(storedOffset(), 1234);
        QVERIFY(reader.previousPage());
        QCOMPARE(storedOffset(), reader.position());

        reader.jumpTo(0);
        reader.book()->flushBookmarks();
        const QByteArray before = readFile(bmk);
        QVERIFY(!reader.previousPage());
        reader.book()->flushBookmarks();
        QCOMPARE(readFile(bmk), before);
        while (reader.nextPage()) {
        }
        reader.book()->flushBookmarks();
        const QByteArray atEnd = readFile(bmk);
        QVERIFY(!reader.nextPage());
        reader.book()->flushBookmarks();
        QCOMPARE(readFile(bmk), atEnd);

        Reader reopened(config.get());
        reopened.openBook(path);
        QCOMPARE(reopened.position(), reader.position());
    }

    void widerSpacingHoldsFewerCharacters()
    {
        Reader reader(config.get());
        reader.openBook(writeBook(QStringLiteral("spacing.txt"), QString(3000, QChar(u'字'))));
        QVERIFY(reader.nextPage());
        const int position = reader.position();
        const int perLine = reader.lines().first();
        config->setLetterSpace(6);
        reader.refresh();
        QCOMPARE(reader.position(), position);
        QVERIFY(reader.lines().first() < perLine);
    }

    void paintedTextStaysInsideThePage_data()
    {
        QTest::addColumn<int>("points");
        QTest::addColumn<bool>("hanging");
        QTest::newRow("12") << 12 << false;
        QTest::newRow("30") << 30 << false;
        // One ideograph wide: every mark hangs.
        QTest::newRow("30 hanging marks") << 30 << true;
    }
    void paintedTextStaysInsideThePage()
    {
        QFETCH(int, points);
        QFETCH(bool, hanging);
        config->setFont(QFont(QStringLiteral("Noto Sans CJK SC"), points));
        config->setTextColor(Qt::black);
        const int width = hanging ? QFontMetrics(config->font()).horizontalAdvance(QStringLiteral("字")) + 1 : 301;
        config->setPageRect(QRect(20, 30, width, 203));
        config->setPunctuationRules(hanging);
        Reader reader(config.get());
        const QString text = hanging ? QStringLiteral("天，地。").repeated(20) : novel(40);
        reader.openBook(writeBook(QStringLiteral("paint.txt"), text));
        QImage image(360, 280, QImage::Format_ARGB32);
        image.fill(Qt::white);
        {
            QPainter painter(&image);
            reader.paint(&painter);
        }
        const QRect page = config->pageRect();
        int inside = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                if (image.pixel(x, y) == qRgb(255, 255, 255))
                    continue;
                QVERIFY2(page.contains(x, y), qPrintable(QStringLiteral("ink at %1,%2").arg(x).arg(y)));
                ++inside;
            }
        }
        QVERIFY(inside > 500);
    }

    // The progress line takes the foot of the page; the lines above it are
    // laid out in what is left, and it tells where the page starts.
    void theProgressLineTakesALineOfThePage()
    {
        const QString text = QStringLiteral("第一章 起\n") + QString(994, QChar(u'文'));
        const QString path = writeBook(QStringLiteral("progress.txt"), text);
        Reader reader(config.get());
        reader.openBook(path);
        reader.book()->waitForChapters();
        reader.jumpTo(375);
        const int fullLines = reader.lines().size();
        config->setShowProgress(true);
        reader.refresh();
        QCOMPARE(reader.progressText(), QStringLiteral("37.5%  第一章 起"));
        QVERIFY(reader.lines().size() < fullLines);
        const QFontMetrics metrics(config->font());
        const int step = metrics.height() + config->lineSpace();
        QCOMPARE(reader.lines().size(), (reader.textArea().height() + config->lineSpace()) / step);
        QVERIFY(reader.textArea().height() < config->pageRect().height());
        config->setShowProgress(false);
        reader.refresh();
        QCOMPARE(reader.lines().size(), fullLines);
        QVERIFY(Reader(config.get()).progressText().isEmpty());
    }

    void startScreenWithoutABook()
    {
        Reader reader(config.get());
        QVERIFY(!reader.nextPage() && !reader.previousPage() && !reader.nextChapter() && !reader.previousChapter());
        QImage image(404, 304, QImage::Format_ARGB32);
        image.fill(Qt::white);
        {
            QPainter painter(&image);
            reader.paint(&painter);
        }
        QCOMPARE(image.pixel(2, 150), qRgb(0x80, 0x80, 0x80)); // the outline of the page
        int ink = 0;
        for (int y = 10; y < 290; ++y)
            for (int x = 10; x < 390; ++x)
                ink += image.pixel(x, y) != qRgb(255, 255, 255);
        QVERIFY(ink > 300); // title, lines and texts
    }

    void badPositionsAndPages()
    {
        const QString text = novel(30);
        const QString path = writeBook(QStringLiteral("bad.txt"), text);
        BookmarkFile::save(BookmarkFile::pathFor(path), {Bookmark{text.size() + 500, QString(), QString()}});
        Reader reader(config.get());
        reader.openBook(path);
        // Beyond the end of a book that became shorter: its last page.
        QVERIFY(!reader.lines().isEmpty());
        QVERIFY(reader.position() > 0);
        QCOMPARE(reader.position() + reader.pageLength(), text.size());
        QVERIFY(!reader.nextPage());
        QVERIFY(reader.previousPage());

        reader.book()->flushBookmarks(); // before the file is changed from outside
        BookmarkFile::save(BookmarkFile::pathFor(path), {Bookmark{-40, QString(), QString()}});
        reader.openBook(path);
        QCOMPARE(reader.position(), 0);
        QVERIFY(reader.pageLength() > 0);

        const QList<QPair<QRect, int>> hopeless = {{QRect(0, 0, 400, 5), 12},
                                                   {QRect(0, 0, 0, 300), 12},
                                                   {QRect(0, 0, 3, 300), 12},
                                                   {QRect(0, 0, 200, 150), 300}};
        for (const auto &page : hopeless) {
            config->setPageRect(page.first);
            config->setFont(QFont(QStringLiteral("Noto Sans CJK SC"), page.second));
            reader.jumpTo(100);
            for (int i = 0; i < 3; ++i) {
                QVERIFY(!reader.nextPage());
                QVERIFY(!reader.previousPage());
            }
            QCOMPARE(reader.position(), 100);
        }
    }

    void emptyBook()
    {
        Reader reader(config.get());
        reader.openBook(writeBook(QStringLiteral("empty.txt"), QString()));
        QVERIFY(!reader.book()->hasText());
        QVERIFY(!reader.nextPage() && !reader.previousPage() && !reader.nextChapter());
        reader.closeBook();
        QCOMPARE(reader.position(), 0);
    }

private:
    QTemporaryDir dir;
    std::unique_ptr<ReaderConfig> config;
};

QTEST_MAIN(TestReader)
#include "tst_reader.moc"
