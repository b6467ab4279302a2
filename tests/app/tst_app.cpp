// The settings file's place, the delayed run, the channel between readers, the built-in resources.

#include "DelayRun.h"
#include "InstanceChannel.h"
#include "TestFiles.h"
#include "configSettings.h"
#include "installTranslators.h"

#include <QLocalSocket>
#include <QtConcurrent>
#include <QtTest>

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

class TestApp : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    QString channel() const { return dir.filePath(QStringLiteral("channel")); }

    // send() blocks: the sending start runs on another thread while this one answers.
    InstanceChannel::Answer sendFromElsewhere(const QStringList &request, int timeout = 2000)
    {
        QFuture<InstanceChannel::Answer> answer =
            QtConcurrent::run([this, request, timeout] { return InstanceChannel::send(channel(), request, timeout); });
        while (!answer.isFinished())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        return answer.result();
    }

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    // Beside the executable if there or in a writable portable folder (UTF-8); else the user's folder, made.
    void settingsFileLocation()
    {
        QFile ini(iniPath());
        ini.remove();
        configSettings()->setValue(QStringLiteral("fileHistory"), QStringList{QStringLiteral("/书/三国.txt")});
        QCOMPARE(configSettings()->value(QStringLiteral("fileHistory")).toStringList(),
                 QStringList{QStringLiteral("/书/三国.txt")});
        QVERIFY(ini.open(QIODevice::ReadOnly));
        QVERIFY(ini.readAll().contains(QStringLiteral("三国").toUtf8()));
        ini.remove();
        const QString user =
            QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + "/tavril/tavrilconfig.ini";
        QDir(QFileInfo(user).absolutePath()).removeRecursively();
        QTemporaryDir portable;
        QCOMPARE(settingsFilePath(portable.path()), portable.filePath("tavrilconfig.ini"));
        QCOMPARE(settingsFilePath("/nonexistent-tavril-folder/bin"), user);
        QVERIFY(QFileInfo(user).absoluteDir().exists());
        QTemporaryDir installed; // its data in ../share/tavril: each user's settings apart
        QVERIFY(QDir(installed.path()).mkpath("bin"));
        QVERIFY(QDir(installed.path()).mkpath("share/tavril"));
        const QString bin = installed.filePath("bin");
        QCOMPARE(settingsFilePath(bin), user);
        QVERIFY(QFile(bin + "/tavrilconfig.ini").open(QIODevice::WriteOnly)); // unless the user put one there
        QCOMPARE(settingsFilePath(bin), bin + "/tavrilconfig.ini");
        if (geteuid() == 0)
            QSKIP("root writes to read-only folders: the rest needs an ordinary user");
        QFile::setPermissions(portable.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        QCOMPARE(settingsFilePath(portable.path()), user);
        QFile::setPermissions(bin, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        QCOMPARE(settingsFilePath(bin), bin + "/tavrilconfig.ini"); // an existing file, even there
        QFile::setPermissions(bin, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }

    // A burst gives one finished(), a delay after its last trigger; a later one starts anew; deletion waits.
    // Waits for what must happen, however slow the machine: the delay is long beside the burst's steps.
    void aBurstYieldsOneFinishedAfterTheLastTrigger()
    {
        auto *delay = new DelayRun(400);
        QSignalSpy spy(delay, &QThread::finished);
        QElapsedTimer sinceLast;
        for (int i = 0; i < 4; ++i) {
            delay->trigger();
            sinceLast.start();
            QTest::qWait(30);
        }
        QTRY_COMPARE_WITH_TIMEOUT(spy.count(), 1, 20000);
        QVERIFY2(sinceLast.elapsed() >= 395, qPrintable(QString::number(sinceLast.elapsed())));
        QTRY_VERIFY(!delay->isRunning());
        QCOMPARE(spy.count(), 1);
        delay->trigger();
        QTRY_COMPARE_WITH_TIMEOUT(spy.count(), 2, 20000);
        delay->trigger();
        delete delay; // a running QThread destroyed would abort the process
        QCOMPARE(spy.count(), 3);
    }

    void oneReaderListensAndAnswers()
    {
        QCOMPARE(InstanceChannel::send(channel(), {"show"}, 500), InstanceChannel::NoReader);
        InstanceChannel first(channel());
        QVERIFY(first.listen());
        QVERIFY(!InstanceChannel(channel()).listen()); // another reader already runs
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
            socket.connectToServer(channel());
            QVERIFY(socket.waitForConnected(1000));
            socket.write(line);
            QTRY_VERIFY(socket.canReadLine());
            QCOMPARE(socket.readLine(), QByteArray("1\n"));
        }
        QCOMPARE(seen, (QList<QStringList>{{"open", "/书/三国, 上.txt"}, {"dance"}}));
    }

    // Idle clients beyond the few taken at once are let go, and one that cannot be accepted (no descriptors
    // left) never leaves the reader deaf: the next request is answered.
    void idleClientsNeverDeafenTheReader()
    {
        InstanceChannel reader(channel());
        QVERIFY(reader.listen());
        connect(&reader, &InstanceChannel::requested, this,
                [](const QStringList &, auto *answer) { *answer = InstanceChannel::Done; });
        rlimit saved{};
        getrlimit(RLIMIT_NOFILE, &saved);
        rlimit raised{qMin<rlim_t>(saved.rlim_max, 4096), saved.rlim_max};
        setrlimit(RLIMIT_NOFILE, &raised);
        std::vector<std::unique_ptr<QLocalSocket>> idle;
        for (int i = 0; i < 1100; ++i) {
            idle.push_back(std::make_unique<QLocalSocket>());
            idle.back()->connectToServer(channel());
            QCoreApplication::processEvents();
        }
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(sendFromElsewhere({"show"}, 8000), InstanceChannel::Done);
        QVERIFY(clock.elapsed() < InstanceChannel::RequestTime * 3);
        idle.clear();
        QTest::qWait(100); // the reader lets go of its side
        // Out of descriptors when a client calls: Qt closes a server whose accept fails; the reader listens again.
        idle.push_back(std::make_unique<QLocalSocket>());
        idle.back()->connectToServer(channel());
        std::vector<int> taken;
        for (int fd; (fd = ::open("/dev/null", O_RDONLY)) >= 0;)
            taken.push_back(fd);
        QTest::qWait(100);
        const bool closed = !reader.isListening();
        for (int fd : taken)
            ::close(fd);
        idle.clear();
        setrlimit(RLIMIT_NOFILE, &saved);
        QVERIFY(closed);
        QTRY_VERIFY_WITH_TIMEOUT(reader.isListening(), 10000);
        QCOMPARE(sendFromElsewhere({"show"}), InstanceChannel::Done);
    }

    // Without a runtime folder of the session's, the channel lives in a folder only the user reaches; folders that
    // others can write or own are passed over, and with none left the reader does not start.
    void theChannelLivesWhereOnlyTheUserReaches()
    {
        const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
        const QByteArray temp = qgetenv("TMPDIR");
        QTemporaryDir folders;
        qputenv("TMPDIR", QFile::encodeName(folders.path()));
        const QString cache = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) + "/tavril-run";
        const QString last = folders.filePath(QStringLiteral("tavril-%1").arg(getuid()));
        const QString open = folders.filePath("open");
        QDir().mkpath(open);
        QFile::setPermissions(open, QFileDevice::Permissions(0x7777));
        QDir(cache).removeRecursively();
        const auto folderOf = [] {
            QString error;
            const QString name = InstanceChannel::defaultName(&error);
            return name.isEmpty() ? error : QFileInfo(name).absolutePath();
        };
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(open)); // writable by all: not used
        QCOMPARE(folderOf(), cache);
        QCOMPARE(QFileInfo(cache).permissions() & 0x0077, QFileDevice::Permissions());
        QFile::setPermissions(cache, QFileDevice::Permissions(0x7777));
        qunsetenv("XDG_RUNTIME_DIR");
        QCOMPARE(folderOf(), last);
        if (geteuid() == 0) { // another user's folder, planted first
            QVERIFY(lchown(QFile::encodeName(last).constData(), 65534, 65534) == 0);
            QVERIFY(folderOf().startsWith("no private folder"));
        }
        QDir(cache).removeRecursively();
        qputenv("XDG_RUNTIME_DIR", runtime);
        qputenv("TMPDIR", temp);
        if (runtime.isNull())
            qunsetenv("XDG_RUNTIME_DIR");
        if (temp.isNull())
            qunsetenv("TMPDIR");
    }

    // A killed reader leaves its socket and a lock naming a gone process.
    void whatAKilledReaderLeftIsTakenOver()
    {
        QVERIFY(QFile(channel()).open(QIODevice::WriteOnly));
        writeFile(channel() + QStringLiteral(".lock"),
                  "999999999\ntavril\n" + QSysInfo::machineHostName().toUtf8() + "\n");
        InstanceChannel next(channel());
        QVERIFY(next.listen());
        QCOMPARE(sendFromElsewhere({"show"}), InstanceChannel::Unknown); // heard, and nobody took it
    }

    // The reader's message boxes and pickers carry Qt's own texts too.
    void qtsOwnTextsAreChinese()
    {
        QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("Cancel"));
        installTranslators(QCoreApplication::instance());
        QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("取消"));
    }

    // Each picture loads at its size, neither empty nor a filled square.
    void picturesLoad()
    {
        const QList<QPair<QString, int>> pictures = {{"launcher.ico", 0}, {"launcher_48.ico", 48},  {"setting.png", 32},
                                                     {"revert.png", 32},  {"revert_click.png", 32}, {"delete.png", 24}};
        for (const auto &picture : pictures) {
            const QImage image(QStringLiteral(":/ico/res/") + picture.first);
            QVERIFY2(!image.isNull(), qPrintable(picture.first));
            QVERIFY(picture.second == 0 || image.size() == QSize(picture.second, picture.second));
            const QImage alpha = image.convertToFormat(QImage::Format_Alpha8);
            const auto opaque = std::count_if(alpha.constBits(), alpha.constBits() + alpha.sizeInBytes(),
                                              [](uchar a) { return a > 128; });
            QVERIFY(opaque > image.width() * image.height() / 10);
            QVERIFY(opaque < image.width() * image.height());
        }
    }
};

QTEST_MAIN(TestApp)
#include "tst_app.moc"
