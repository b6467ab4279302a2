#include "JumpTarget.h"

#include <QtTest>

class TestJumpTarget : public QObject
{
    Q_OBJECT

private slots:
    void placesByPercentageOrChapter_data()
    {
        QTest::addColumn<QString>("input");
        QTest::addColumn<int>("offset");
        QTest::newRow("percentage") << "37.5%" << 375;
        QTest::newRow("spaces and full width") << " ３７．５ ％ " << 375;
        QTest::newRow("start") << "0%" << 0;
        QTest::newRow("end: the last character") << "100%" << 999;
        QTest::newRow("chapter") << "12" << 880;
        QTest::newRow("chapter with its word") << "第3章" << 160;
        QTest::newRow("first chapter") << "1" << 0;
        QTest::newRow("beyond 100%") << "100.1%" << -1;
        QTest::newRow("negative") << "-5%" << -1;
        QTest::newRow("chapter 0") << "0" << -1;
        QTest::newRow("beyond the last chapter") << "13" << -1;
        QTest::newRow("garbage") << "三成" << -1;
        QTest::newRow("nothing") << "" << -1;
        QTest::newRow("only a sign") << "%" << -1;
        QTest::newRow("huge") << "99999999999999999999" << -1;
    }
    void placesByPercentageOrChapter()
    {
        QFETCH(QString, input);
        QFETCH(int, offset);
        QVector<int> starts;
        for (int chapter = 0; chapter < 12; ++chapter)
            starts << chapter * 80;
        const JumpTarget target = JumpTarget::parse(input, 1000, starts);
        QCOMPARE(target.offset, offset);
        QCOMPARE(target.error.isEmpty(), offset >= 0);
    }

    void aBookWithoutChaptersTakesPercentagesOnly()
    {
        QVERIFY(JumpTarget::parse(QStringLiteral("3"), 1000, {}).error.contains(QStringLiteral("没有分章")));
        QCOMPARE(JumpTarget::parse(QStringLiteral("50%"), 1000, {}).offset, 500);
        QCOMPARE(JumpTarget::parse(QStringLiteral("50%"), 0, {}).offset, -1);
    }
};

QTEST_GUILESS_MAIN(TestJumpTarget)
#include "tst_jumptarget.moc"
