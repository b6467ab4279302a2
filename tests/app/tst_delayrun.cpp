#include "DelayRun.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QtTest>

class TestDelayRun : public QObject
{
    Q_OBJECT

private slots:
    void aBurstYieldsOneFinishedAfterTheLastTrigger()
    {
        DelayRun delay(100);
        QElapsedTimer sinceLast;
        int finishedAfter = -1;
        connect(&delay, &QThread::finished, this, [&] { finishedAfter = int(sinceLast.elapsed()); });
        QSignalSpy spy(&delay, &QThread::finished);
        for (int i = 0; i < 4; ++i) {
            delay.trigger();
            sinceLast.start();
            QTest::qWait(30);
        }
        QVERIFY(spy.wait(2000));
        QTest::qWait(250);
        QCOMPARE(spy.count(), 1);
        // The wait is measured from the last trigger, not the first.
        QVERIFY2(finishedAfter >= 95, qPrintable(QString::number(finishedAfter)));
        QVERIFY2(finishedAfter < 1000, qPrintable(QString::number(finishedAfter)));
    }

    void aTriggerAfterIdleStartsANewPeriod()
    {
        DelayRun delay(50);
        QSignalSpy spy(&delay, &QThread::finished);
        delay.trigger();
        QVERIFY(spy.wait(2000));
        QTRY_VERIFY(!delay.isRunning());
        delay.trigger();
        QVERIFY(spy.wait(2000));
        QCOMPARE(spy.count(), 2);
    }

    void finishedReachesTheCreatingThread()
    {
        DelayRun delay(10);
        QThread *receivedOn = nullptr;
        connect(&delay, &QThread::finished, this, [&] { receivedOn = QThread::currentThread(); });
        delay.trigger();
        QTRY_VERIFY(receivedOn != nullptr);
        QCOMPARE(receivedOn, QThread::currentThread());
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
