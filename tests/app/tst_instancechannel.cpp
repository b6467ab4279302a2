#include "InstanceChannel.h"

#include <QLocalSocket>
#include <QTemporaryDir>
#include <QtConcurrent>
#include <QtTest>

// send() blocks: the sending start runs on another thread while this one answers.
class TestInstanceChannel : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    QString name() const { return dir.filePath(QStringLiteral("channel")); }

    InstanceChannel::Answer sendFromElsewhere(const QStringList &request)
    {
        QFuture<InstanceChannel::Answer> answer =
            QtConcurrent::run([this, request] { return InstanceChannel::send(name(), request, 2000); });
        while (!answer.isFinished())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        return answer.result();
    }

private slots:
    void oneReaderListensAndAnswers()
    {
        QCOMPARE(InstanceChannel::send(name(), {"show"}, 500), InstanceChannel::NoReader);
        InstanceChannel first(name());
        QVERIFY(first.listen());
        QVERIFY(!InstanceChannel(name()).listen()); // another reader already runs
        QList<QStringList> seen;
        connect(&first, &InstanceChannel::requested, this, [&seen](const QStringList &request, auto *answer) {
            seen << request;
            if (request.first() == QLatin1String("open"))
                *answer = InstanceChannel::Done;
        });
        QCOMPARE(sendFromElsewhere({"open", "/书/三国, 上.txt"}), InstanceChannel::Done);
        QCOMPARE(sendFromElsewhere({"dance"}), InstanceChannel::Unknown);
        // Anything but a list of words is refused unheard.
        for (const char *line : {"not json\n", "[1, 2]\n", "[]\n", "{\"open\": 1}\n"}) {
            QLocalSocket socket;
            socket.connectToServer(name());
            QVERIFY(socket.waitForConnected(1000));
            socket.write(line);
            QTRY_VERIFY(socket.canReadLine());
            QCOMPARE(socket.readLine(), QByteArray("1\n"));
        }
        QCOMPARE(seen, (QList<QStringList>{{"open", "/书/三国, 上.txt"}, {"dance"}}));
    }

    // A killed reader leaves its socket and a lock naming a gone process.
    void whatAKilledReaderLeftIsTakenOver()
    {
        QVERIFY(QFile(name()).open(QIODevice::WriteOnly));
        QFile lock(name() + QStringLiteral(".lock"));
        QVERIFY(lock.open(QIODevice::WriteOnly));
        lock.write("999999999\ntavril\n" + QSysInfo::machineHostName().toUtf8() + "\n");
        lock.close();
        InstanceChannel next(name());
        QVERIFY(next.listen());
        QCOMPARE(sendFromElsewhere({"show"}), InstanceChannel::Unknown); // heard, and nobody took it
    }
};

QTEST_GUILESS_MAIN(TestInstanceChannel)
#include "tst_instancechannel.moc"
