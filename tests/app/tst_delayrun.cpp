#include "DelayRun.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QtTest>

class TestDelayRun : public QObject
{
    Q_OBJECT

private slots:
    // A burst of triggers gives one finished(), a delay after the last one; a
    // trigger after that starts anew, and destroying it waits for the end.
    void aBurstYieldsOneFinishedAfterTheLastTrigger()
    {
        auto *delay = new DelayRun(100);
        QSignalSpy spy(delay, &QThread::finished);
        QElapsedTimer sinceLast;
        for (int i = 0; i < 4; ++i) {
            delay->trigger();
            sinceLast.start();
            QTest::qWait(30);
        }
        QVERIFY(spy.wait(2000));
        QVERIFY2(sinceLast.elapsed() >= 95, qPrintable(QString::number(sinceLast.elapsed())));
        QTest::qWait(150);
        QCOMPARE(spy.count(), 1);
        QTRY_VERIFY(!delay->isRunning());
        delay->trigger();
        QVERIFY(spy.wait(2000));
        delay->trigger();
        delete delay; // a running QThread destroyed would abort the process
        QCOMPARE(spy.count(), 3);
    }
};

QTEST_GUILESS_MAIN(TestDelayRun)
#include "tst_delayrun.moc"
