#include "ChapterScanner.h"

#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QRegExp>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QtTest>

namespace {

QList<Chapter> scan(const QString &text, const ChapterRule &rule = ChapterRule())
{
    QList<Chapter> chapters;
    ChapterScanner scanner(rule);
    scanner.scan(
        text, [&](const Chapter &c) { chapters.append(c); }, [] { return true; });
    return chapters;
}

// The plain procedure: a QTextDocument of the text searched with the pattern.
QList<Chapter> documentReference(const QString &text)
{
    QList<Chapter> chapters;
    QTextDocument document;
    document.setPlainText(text);
    const QRegExp expression(ChapterScanner::pattern(), Qt::CaseSensitive, QRegExp::RegExp);
    QTextCursor cursor;
    while (true) {
        cursor = document.find(expression, cursor);
        if (cursor.isNull())
            break;
        const QTextBlock block = document.findBlock(cursor.selectionEnd());
        const QString line = block.text();
        chapters.append(Chapter{line.trimmed(), block.position() + line.indexOf(QStringLiteral("第")), true});
    }
    return chapters;
}

QString describe(const QList<Chapter> &chapters)
{
    QStringList parts;
    for (const Chapter &c : chapters)
        parts << QStringLiteral("%1:%2").arg(c.offset).arg(c.title);
    return parts.join(QStringLiteral(" | "));
}

// Lines built from the pieces that trip up a line-by-line matcher.
QString awkwardText(QRandomGenerator &random)
{
    static const QStringList starts = {
        QString(),
        QStringLiteral("\u3000\u3000"),
        QStringLiteral("\u00a0"),
        QStringLiteral("\t"),
        QStringLiteral("  "),
        QStringLiteral("\u2028"),
        QStringLiteral("正文"),
        QStringLiteral("\ufffc"),
        QString(QChar(0)),
        QStringLiteral("\u2029"),
    };
    static const QStringList bodies = {
        QStringLiteral("第一章 风起云涌"),
        QStringLiteral("第12回"),
        QStringLiteral("第三卷 终局"),
        QStringLiteral("第 一 百 章"),
        QStringLiteral("第一百二十三 标题"),
        QStringLiteral("在第一章里"),
        QStringLiteral("序章"),
        QStringLiteral("Chapter 1"),
        QStringLiteral("第十章完了，他说"),
        QStringLiteral("第"),
        QStringLiteral("第二十\u00a0节"),
        QStringLiteral("第八\u3000abcdefghijklmnop"),
        QStringLiteral("第八 abcdefghijklmnopq"),
        QStringLiteral("第九\u2028章"),
        QStringLiteral("第十\t卷"),
        QStringLiteral("第五 ，"),
        QStringLiteral("第〇零 回"),
        QStringLiteral("   "),
        QStringLiteral("正文第"),
        QStringLiteral("第一章\u2029第二章"),
        QStringLiteral("一般的句子。"),
    };
    static const QStringList ends = {QStringLiteral("\n"), QStringLiteral("\u2029"), QStringLiteral("\n\n"),
                                     QStringLiteral(" \n"), QStringLiteral("\u3000\n")};
    QString text;
    const int lines = random.bounded(1, 14);
    for (int i = 0; i < lines; ++i) {
        text += starts.at(random.bounded(starts.size()));
        text += bodies.at(random.bounded(bodies.size()));
        if (random.bounded(3) == 0)
            text += bodies.at(random.bounded(bodies.size()));
        if (i + 1 < lines || random.bounded(2) == 0)
            text += ends.at(random.bounded(ends.size()));
    }
    return text;
}

} // namespace

class TestChapterScanner : public QObject
{
    Q_OBJECT

private slots:
    void headings_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("offset");
        QTest::addColumn<QString>("title");
        QTest::newRow("ideographic spaces") << "\u3000\u3000第一章 风起云涌\n" << 2 << "第一章 风起云涌";
        QTest::newRow("digits") << "第12回\n" << 0 << "第12回";
        QTest::newRow("volume") << "第三卷 终局" << 0 << "第三卷 终局";
        QTest::newRow("spaced numerals") << "第 一 百 章\n" << 0 << "第 一 百 章";
        QTest::newRow("numeral and word") << "第一百二十三 标题\n" << 0 << "第一百二十三 标题";
        QTest::newRow("text after heading") << "第十章完了，他说\n" << 0 << "第十章完了，他说";
        QTest::newRow("second line") << "开头\n第二节\n" << 3 << "第二节";
        QTest::newRow("after paragraph separator") << "开头\u2029第二节" << 3 << "第二节";
    }
    void headings()
    {
        QFETCH(QString, text);
        QFETCH(int, offset);
        QFETCH(QString, title);
        const QList<Chapter> chapters = scan(text);
        QCOMPARE(chapters.size(), 1);
        QCOMPARE(chapters.first().offset, offset);
        QCOMPARE(chapters.first().title, title);
        QVERIFY(chapters.first().valid);
    }

    void notHeadings_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("inside a sentence") << "在第一章里\n";
        QTest::newRow("prologue") << "序章\n";
        QTest::newRow("latin") << "Chapter 1\n";
        QTest::newRow("after a line separator") << "开头\u2028第二节\n";
        QTest::newRow("lone 第 at line end") << "他说第\n一章\n";
        QTest::newRow("empty") << "";
    }
    void notHeadings()
    {
        QFETCH(QString, text);
        QCOMPARE(describe(scan(text)), QString());
    }

    // One line each, after a first line "正文\n" (3 characters), so offsets
    // also show the line start being added. Offset -1: not a heading.
    void strictRule_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<int>("offset");
        QTest::addColumn<QString>("title");
        auto heading = [](const char *name, const QString &line, int offset, const QString &title) {
            QTest::newRow(name) << line << offset << title;
        };
        auto prose = [](const char *name, const QString &line) { QTest::newRow(name) << line << -1 << QString(); };
        heading("indented", "\u3000\u3000第一章 风起云涌", 5, "第一章 风起云涌");
        heading("full-width digits", "第１２章", 3, "第１２章");
        heading("两", "第两百章", 3, "第两百章");
        heading("financial numerals", "第壹佰章", 3, "第壹佰章");
        heading("萬 and 〇", "第一萬〇一章", 3, "第一萬〇一章");
        heading("volume and title", "第三卷 终局", 3, "第三卷 终局");
        heading("number and title", "第一百二十三 标题", 3, "第一百二十三 标题");
        heading("回 with colon", "第12回：大闹天宫", 3, "第12回：大闹天宫");
        heading("节 with dot", "第5节.夜", 3, "第5节.夜");
        heading("幕 with middle dot", "第三幕·终", 3, "第三幕·终");
        heading("部 with dash", "第二部—归来", 3, "第二部—归来");
        heading("集 with enumeration comma", "第八集、重逢", 3, "第八集、重逢");
        heading("篇, spaces around the number", "第 12 篇", 3, "第 12 篇");
        heading("no-break space first", "\u00a0第八集 ", 4, "第八集");
        heading("Chapter", "Chapter 12", 3, "Chapter 12");
        heading("CHAPTER with title", "CHAPTER 7: The End", 3, "CHAPTER 7: The End");
        heading("Chapter without space", "Chapter12", 3, "Chapter12");
        heading("序章", "序章", 3, "序章");
        heading("楔子", "\u3000楔子", 4, "楔子");
        heading("番外 and number", "番外一 重逢", 3, "番外一 重逢");
        heading("尾声 and title", "尾声：归来", 3, "尾声：归来");
        heading("后记", "后记", 3, "后记");
        heading("40 characters", "第一章 " + QString(36, QChar(u'风')), 3, "第一章 " + QString(36, QChar(u'风')));
        prose("41 characters", "第一章 " + QString(37, QChar(u'风')));
        prose("回合", "\u3000\u3000第六回合时，子曰：学而时习之。");
        prose("节课", "\u3000\u3000第十节课下课后，大家都走了。");
        prose("节课 at line start", "第三节课开始了");
        prose("回合 at line start", "第十回合时，他倒下了");
        prose("unit runs into text", "第十章完了，他说");
        prose("inside a sentence", "在第一章里");
        prose("前言 in an idiom", "前言不搭后语的他");
        prose("尾声 in prose", "尾声渐渐消失在风里");
        prose("序章 runs into text", "序章开始的时候");
        prose("lowercase chapter", "chapter 1");
        prose("no number", "第章");
        prose("number and punctuation", "第五 ，");
    }
    void strictRule()
    {
        QFETCH(QString, line);
        QFETCH(int, offset);
        QFETCH(QString, title);
        const QList<Chapter> chapters =
            scan(QStringLiteral("正文\n") + line + QStringLiteral("\n"), ChapterRule::strict());
        if (offset < 0) {
            QCOMPARE(describe(chapters), QString());
            return;
        }
        QCOMPARE(chapters.size(), 1);
        QCOMPARE(chapters.first().offset, offset);
        QCOMPARE(chapters.first().title, title);
        QVERIFY(chapters.first().valid);
    }

    void customRule_data()
    {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        QTest::newRow("anchored") << "^\\s*卷[一二三]"
                                  << "卷一 开始\n正文\n 卷二\n说卷三"
                                  << "0:卷一 开始 | 10:卷二";
        QTest::newRow("anywhere in the line") << "节"
                                              << "这一节很好\n别的"
                                              << "0:这一节很好";
        QTest::newRow("Unicode white space") << "^\\s第"
                                             << "\u3000第一\n第二"
                                             << "1:第一";
        QTest::newRow("case matters") << "^chapter"
                                      << "Chapter 1\nchapter 2"
                                      << "10:chapter 2";
        QTest::newRow("every line but blank ones") << "^"
                                                   << "a\n\n \u3000\nb\u2029c"
                                                   << "0:a | 6:b | 8:c";
        QTest::newRow("invalid: scans as standard") << "("
                                                    << "第一章\n("
                                                    << "0:第一章";
        QTest::newRow("empty: scans as standard") << ""
                                                  << "第一章\nx"
                                                  << "0:第一章";
    }
    void customRule()
    {
        QFETCH(QString, pattern);
        QFETCH(QString, text);
        QFETCH(QString, expected);
        QCOMPARE(describe(scan(text, ChapterRule::custom(pattern))), expected);
    }

    void catastrophicPatternStillEnds()
    {
        // Exponential backtracking on every line: PCRE's match limit cuts
        // each line short, and the preview count stops at its deadline.
        const QString text = (QString(40, QLatin1Char('a')) + QStringLiteral("b\n")).repeated(2000);
        ChapterScanner scanner(ChapterRule::custom(QStringLiteral("^(a|aa)+$")));
        QElapsedTimer timer;
        timer.start();
        bool complete = true;
        QCOMPARE(scanner.count(text, QDeadlineTimer(300), &complete), 0);
        QVERIFY(!complete);
        QVERIFY2(timer.elapsed() < 3000, qPrintable(QString::number(timer.elapsed())));
        QCOMPARE(scanner.count(text.left(420), QDeadlineTimer::Forever, &complete), 0);
        QVERIFY(complete);
    }

    void matchesTheDocumentSearch()
    {
        QRandomGenerator random(2026);
        for (int i = 0; i < 1500; ++i) {
            const QString text = awkwardText(random);
            const QString expected = describe(documentReference(text));
            const QString actual = describe(scan(text));
            if (actual != expected) {
                QString escaped;
                for (QChar c : text)
                    escaped += c.unicode() < 0x80 && c.isPrint()
                                   ? QString(c)
                                   : QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
                QFAIL(qPrintable(QStringLiteral("text %1\nexpected %2\nactual   %3").arg(escaped, expected, actual)));
            }
        }
    }

    void stopsWhenAskedBetweenLines()
    {
        QString text;
        for (int i = 0; i < 100; ++i)
            text += QStringLiteral("第%1章\n").arg(i + 1);
        int asked = 0;
        QList<Chapter> chapters;
        ChapterScanner scanner;
        const bool finished = scanner.scan(
            text, [&](const Chapter &c) { chapters.append(c); }, [&] { return ++asked <= 10; });
        QVERIFY(!finished);
        QCOMPARE(chapters.size(), 10);
    }
};

QTEST_MAIN(TestChapterScanner)
#include "tst_chapterscanner.moc"
