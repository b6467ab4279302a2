#include "ChapterRule.h"

#include <QRegularExpression>
#include <QtTest>

class TestChapterRule : public QObject
{
    Q_OBJECT

private slots:
    // What the settings file holds, read back.
    void fromName_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QString>("expectedName");
        QTest::addColumn<QString>("expectedPattern");
        auto row = [](const char *name, const QString &stored, const QString &pattern, const QString &expected) {
            QTest::newRow(name) << stored << pattern << expected.section(QLatin1Char(' '), 0, 0)
                                << expected.section(QLatin1Char(' '), 1);
        };
        row("standard", "standard", "", "standard");
        row("strict", "strict", "", "strict");
        row("custom", "custom", "^卷", "custom ^卷");
        row("custom, invalid pattern", "custom", "第(", "standard");
        row("custom, no pattern", "custom", "", "standard");
        row("unknown name", "loose", "", "standard");
    }
    void fromName()
    {
        QFETCH(QString, name);
        QFETCH(QString, pattern);
        QFETCH(QString, expectedName);
        QFETCH(QString, expectedPattern);
        const ChapterRule rule = ChapterRule::fromName(name, pattern);
        QCOMPARE(rule.name(), expectedName);
        QCOMPARE(rule.pattern(), expectedPattern);
        QVERIFY(rule.isValid());
        QCOMPARE(ChapterRule::fromName(rule.name(), rule.pattern()), rule);
    }

    void invalidPatternsSayWhy()
    {
        QString error;
        int offset = -1;
        QVERIFY(!ChapterRule::isValidPattern(QStringLiteral("第(章"), &error, &offset));
        QCOMPARE(error, QRegularExpression(QStringLiteral("(")).errorString()); // Qt's own words
        QCOMPARE(offset, 3);
        QVERIFY(!ChapterRule::isValidPattern(QString(), &error, &offset));
        QVERIFY(!error.isEmpty());
        QVERIFY(ChapterRule::isValidPattern(QStringLiteral("^\\s*第"), &error, &offset));
        QVERIFY(error.isEmpty());
        QVERIFY(!ChapterRule::custom(QStringLiteral("[")).isValid());
        QCOMPARE(ChapterRule::custom(QStringLiteral("[")).name(), QStringLiteral("custom"));
    }
};

QTEST_GUILESS_MAIN(TestChapterRule)
#include "tst_chapterrule.moc"
