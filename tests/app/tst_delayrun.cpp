#include "DelayRun.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QtTest>

class TestDelayRun : public QObject
{
    Q_OBJECT

private slots:
    // A burst of triggers gives one finished(), a delay after the last
    // trigger; a trigger after that starts a new period.
    void aBurstYieldsOneFinishedAfterTheLastTrigger()
    {
        DelayRun delay(100);
        QElapsedTimer sinceLast;
        qint64 finishedAfter = -1;
        connect(&delay, &QThread::finished, this, [&] { finishedAfter = sinceLast.elapsed(); });
        QSignalSpy spy(&delay, &QThread::finished);
        for (int i = 0; i < 4; ++i) {
            delay.trigger();
            sinceLast.start();
            QTest::qWait(30);
        }
        QVERIFY(spy.wait(2000));
        QVERIFY2(finishedAfter >= 95, qPrintable(QString::number(finishedAfter)));
        QTest::qWait(150);
        QCOMPARE(spy.count(), 1);
        QTRY_VERIFY(!delay.isRunning());
        delay.trigger();
        QVERIFY(spy.wait(2000));
        QCOMPARE(spy.count(), 2);
    }

    void destroyingWhileRunningWaitsForTheThread()
    {
        auto *delay = new DelayRun(200);
        delay->trigger();
        QElapsedTimer timer;
        timer.start();
        delete delay; // destroying a running QThread would abort the process
        QVERIFY(timer.elapsed() >= 150);
    }
};

QTEST_GUILESS_MAIN(TestDelayRun)
#include "tst_delayrun.moc"
