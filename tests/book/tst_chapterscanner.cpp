#include "ChapterScanner.h"

#include <QRandomGenerator>
#include <QRegExp>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QtTest>

namespace {

QList<Chapter> scan(const QString &text)
{
    QList<Chapter> chapters;
    ChapterScanner scanner;
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
