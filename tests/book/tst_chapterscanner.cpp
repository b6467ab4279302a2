#include "ChapterScanner.h"

#include <QRegularExpression>
#include <QtTest>

Q_DECLARE_METATYPE(ChapterRule)

namespace {

// The headings found, as "offset:title" joined by " | ".
QString scan(const QString &text, const ChapterRule &rule = ChapterRule())
{
    QStringList found;
    const auto add = [&](const Chapter &c) { found << QStringLiteral("%1:%2").arg(c.offset).arg(c.title); };
    ChapterScanner(rule).scan(text, add, [] { return true; });
    return found.join(QStringLiteral(" | "));
}

} // namespace

class TestChapterScanner : public QObject
{
    Q_OBJECT

private slots:
    void headings_data()
    {
        QTest::addColumn<ChapterRule>("rule");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("found");
        const QString title16 = QStringLiteral("第一百 ") + QString(16, QChar(u'风'));
        const QString title17 = title16 + QStringLiteral("a");
        const auto row = [](const ChapterRule &rule, const char *name, const QString &text, const QString &found) {
            QTest::newRow(name) << rule << text << found;
        };
        const ChapterRule standard;
        row(standard, "U+3000 indent", "\u3000\u3000第一章 风起云涌\n", "2:第一章 风起云涌");
        row(standard, "U+00A0 indent and title space", "\u00a0第一百\u00a0风\n", "1:第一百\u00a0风");
        row(standard, "digits, spaces", "第12回\n第 一 百 章\n第十\t卷 终局",
            "0:第12回 | 5:第 一 百 章 | 13:第十\t卷 终局");
        row(standard, "unit runs into text", "第十章完了，他说", "0:第十章完了，他说");
        row(standard, "16 word characters", title16, "0:" + title16);
        row(standard, "longer title, whole line", title17, "0:" + title17);
        row(standard, "one per line", "开头\n第二节\n\n  第三节 \u2029第四节", "3:第二节 | 10:第三节 | 15:第四节");
        // 第 not at a line start (U+2028 ends no line), no number, no unit or
        // title, numerals it does not know, other headings, blank lines.
        row(standard, "no headings",
            "正文第一章\n在第一章里\n开头\u2028第二节\n他说第\n一章\n第章\n第一百 \n第一百\n第五 ，\n第两章\n第壹章\n"
            "序章\nChapter 1\n楔子\n \n\u3000\n",
            "");
        const ChapterRule strict = ChapterRule::strict();
        row(strict, "strict: indented", "正文\n\u3000\u3000第一章 风起云涌\n", "5:第一章 风起云涌");
        row(strict, "strict: U+00A0 first", "正文\n\u00a0第八集 \n", "4:第八集");
        row(strict, "strict: two headings", "楔子\n\u3000尾声", "0:楔子 | 4:尾声");
        // Custom: anywhere in a line unless anchored; invalid or empty: Standard.
        row(ChapterRule::custom("^\\s*卷[一二三]"), "custom: anchored", "卷一 开始\n正文\n 卷二\n说卷三",
            "0:卷一 开始 | 10:卷二");
        row(ChapterRule::custom("节"), "custom: anywhere", "这一节很好\n别的", "0:这一节很好");
        row(ChapterRule::custom("^\\s第"), "custom: Unicode space", "\u3000第一\n第二", "1:第一");
        row(ChapterRule::custom("^chapter"), "custom: case matters", "Chapter 1\nchapter 2", "10:chapter 2");
        row(ChapterRule::custom("^"), "custom: all but blank lines", "a\n\n \u3000\nb\u2029c", "0:a | 6:b | 8:c");
        row(ChapterRule::custom("("), "custom: invalid", "第一章\n(", "0:第一章");
        row(ChapterRule::custom(""), "custom: empty", "第一章\nx", "0:第一章");
    }
    void headings()
    {
        QFETCH(ChapterRule, rule);
        QFETCH(QString, text);
        QFETCH(QString, found);
        QCOMPARE(scan(text, rule), found);
    }

    // Strict: each line alone, after a first line, a heading or prose.
    void strictRule()
    {
        const QString long40 = QStringLiteral("第一章 ") + QString(36, QChar(u'风'));
        const auto lines = [](const char *joined, const QString &last) {
            return (QString::fromUtf8(joined) + QLatin1Char('|') + last).split(QLatin1Char('|'));
        };
        for (const QString &line :
             lines("第１２章|第两百章|第壹佰集|第一萬〇一章|第一百二十三 标题|第12回：大闹天宫|第5节.夜|第三幕·终|"
                   "第二部—归来|第八集、重逢|第 12 篇|Chapter 12|CHAPTER 7: The End|Chapter12|序章|番外一 重逢|"
                   "尾声：归来|后记",
                   long40))
            QCOMPARE(scan("正文\n" + line + "\n", ChapterRule::strict()), "3:" + line);
        for (const QString &line :
             lines("第六回合时，子曰：学而时习之。|第三节课开始了|第十回合时，他倒下了|第十章完了，他说|在第一章里|"
                   "前言不搭后语的他|尾声渐渐消失在风里|序章开始的时候|chapter 1|第章|第五 ，",
                   long40 + "风"))
            QCOMPARE(scan("正文\n" + line + "\n", ChapterRule::strict()), QString());
    }

    // The reader's long-standing pattern spans titles of up to 16 word characters.
    void standardPatternSpan()
    {
        const QRegExp pattern(ChapterScanner::pattern());
        QVERIFY(pattern.exactMatch(QStringLiteral("第一百 ") + QString(16, QChar(u'风'))));
        QVERIFY(!pattern.exactMatch(QStringLiteral("第一百 ") + QString(17, QChar(u'风'))));
    }

    void catastrophicPatternStillEnds()
    {
        // Exponential backtracking on every line: PCRE's match limit cuts
        // each line short, and the preview count stops at its deadline.
        const QString text = (QString(40, QLatin1Char('a')) + QStringLiteral("b\n")).repeated(2000);
        ChapterScanner scanner(ChapterRule::custom(QStringLiteral("^(a|aa)+$")));
        bool complete = true;
        QCOMPARE(scanner.count(text, QDeadlineTimer(300), &complete), 0);
        QVERIFY(!complete);
        QCOMPARE(scanner.count(text.left(420), QDeadlineTimer::Forever, &complete), 0);
        QVERIFY(complete);
    }

    // What the settings file holds, read back as "name pattern".
    void ruleFromName()
    {
        const QList<QStringList> stored = {{"standard", "", "standard "},   {"strict", "", "strict "},
                                           {"custom", "^卷", "custom ^卷"}, {"custom", "第(", "standard "},
                                           {"custom", "", "standard "},     {"loose", "", "standard "}};
        for (const QStringList &s : stored) {
            const ChapterRule rule = ChapterRule::fromName(s.at(0), s.at(1));
            QCOMPARE(rule.name() + QLatin1Char(' ') + rule.pattern(), s.at(2));
        }
    }

    void invalidPatternsSayWhy()
    {
        QString error;
        int offset = -1;
        QVERIFY(!ChapterRule::isValidPattern(QStringLiteral("第(章"), &error, &offset));
        QCOMPARE(error + QLatin1Char('@') + QString::number(offset),
                 QRegularExpression(QStringLiteral("(")).errorString() + QStringLiteral("@3")); // Qt's own words
        QVERIFY(!ChapterRule::isValidPattern(QString(), &error) && !error.isEmpty());
        QVERIFY(ChapterRule::isValidPattern(QStringLiteral("^\\s*第"), &error) && error.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestChapterScanner)
#include "tst_chapterscanner.moc"
