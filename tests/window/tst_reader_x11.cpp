// The built reader on a real X server, driven by real key presses and global hot keys, restarted, killed and scaled.

#include "BookmarkFile.h"
#include "FileNameCodec.h"
#include "ReaderFiles.h"

#include <QtTest>
#include <QtWidgets>

class TestReaderX11 : public QObject
{
    Q_OBJECT

    const QColor textColor{0xc0, 0x20, 0x20};
    QTemporaryDir dir;
    QProcess reader;
    QString windowId;

    QString run(const QString &program, const QStringList &arguments)
    {
        QString output;
        runToEnd(program, arguments, QProcessEnvironment::systemEnvironment(), &output);
        return output;
    }
    QString xdotool(const QStringList &arguments) { return run("xdotool", arguments); }
    bool start(const QProcessEnvironment &env = QProcessEnvironment::systemEnvironment())
    {
        reader.setProcessEnvironment(env);
        reader.setProcessChannelMode(QProcess::ForwardedChannels);
        reader.start(dir.filePath("tavril"), QStringList());
        windowId = xdotool({"search", "--sync", "--onlyvisible", "--name", "Tavril"}).section('\n', 0, 0);
        return !windowId.isEmpty();
    }
    // The window as it stands once painting has settled: two shots alike.
    QImage settledShot()
    {
        QImage last = shot();
        // Still moving after the wait: the last shot is what there is.
        (void)QTest::qWaitFor(
            [&] {
                QTest::qWait(150);
                const QImage next = shot();
                return std::exchange(last, next) == next;
            },
            10000);
        return last;
    }
    bool readerVisible() { return runToEnd("xdotool", {"search", "--onlyvisible", "--name", "Tavril"}) == 0; }
    QImage shot()
    {
        QMap<QString, int> at;
        for (const QString &line : xdotool({"getwindowgeometry", "--shell", windowId}).split('\n'))
            at[line.section('=', 0, 0)] = line.section('=', 1).toInt();
        return QGuiApplication::primaryScreen()->grabWindow(0, at["X"], at["Y"], at["WIDTH"], at["HEIGHT"]).toImage();
    }
    // The first line of text's height: rows with ink of its colour, up to the first row without after them.
    int firstLineHeight(const QImage &image)
    {
        int height = 0;
        for (int y = 0, ink = 0; y < image.height() && (ink > 0 || height == 0); ++y, height += ink > 0)
            for (int x = ink = 0; x < image.width(); ++x)
                ink += image.pixelColor(x, y) == textColor;
        return height;
    }
    QSettings ini() { return QSettings(dir.filePath("tavrilconfig.ini"), QSettings::IniFormat); }
    void set(const QVariantMap &values) { storeSettings(dir.filePath("tavrilconfig.ini"), values); }

private slots:
    void initTestCase()
    {
        FileNameCodec::install(); // names that are not UTF-8 reach the reader as they are
        QVERIFY(QFile::copy(QStringLiteral(TAVRIL_EXECUTABLE), dir.filePath("tavril")));
        QVERIFY(writeChapters(dir.filePath("book.txt"), 60, "GBK"));
        set({{"window/openLastFile", true},
             {"window/isTop", true},
             {"window/bgColor", QColor(Qt::white)},
             {"font/color", textColor},
             {"font/font", QFont(QStringLiteral("Noto Sans CJK SC"), 14)},
             {"fileHistory", QStringList{dir.filePath("book.txt")}}});
    }
    void cleanupTestCase() { stopReader(reader); }

    void readsTurnsHidesAndComesBack()
    {
        const QString bmk = dir.filePath("book.bmk");
        QVERIFY(start());
        QCOMPARE(storedOffset(bmk), 0);
        // Frameless, kept on top, and the page painted in the configured colour.
        const QString state = run("xprop", {"-id", windowId, "_NET_WM_STATE", "_MOTIF_WM_HINTS"});
        QVERIFY2(state.contains("_NET_WM_STATE_ABOVE") && state.contains("= 0x2, 0x1, 0x0,"), qPrintable(state));
        QTRY_VERIFY(firstLineHeight(shot()) > 10);

        // Real key presses reach the window that has the focus.
        xdotool({"windowfocus", "--sync", windowId, "key", "Right"});
        QTRY_VERIFY(storedOffset(bmk) > 0);
        const int first = storedOffset(bmk);
        xdotool({"key", "Right"});
        QTRY_VERIFY(storedOffset(bmk) > first);
        const int offset = storedOffset(bmk);
        const QImage before = settledShot();

        // Global keys work while another window has the focus.
        QWidget other;
        other.show();
        QVERIFY(QTest::qWaitForWindowExposed(&other));
        xdotool({"windowfocus", "--sync", QString::number(other.winId()), "key", "ctrl+alt+shift+h"});
        QTRY_VERIFY(!readerVisible());
        xdotool({"key", "ctrl+alt+shift+s"});
        QTRY_VERIFY(readerVisible());

        // A second start hands a book over to the running reader and ends; a relative path is stored absolute.
        QVERIFY(writeChapters(dir.filePath("other.txt"), 1));
        QCOMPARE(runToEnd(dir.filePath("tavril"), {QDir::current().relativeFilePath(dir.filePath("other.txt"))}), 0);
        QTRY_VERIFY(QFile::exists(dir.filePath("other.bmk")));
        QTRY_COMPARE(ini().value("fileHistory").toStringList().value(0), dir.filePath("other.txt"));
        QCOMPARE(reader.state(), QProcess::Running);
        QCOMPARE(storedOffset(bmk), offset);
        // A name that is not UTF-8 (GBK, from a zip archive): opened, remembered, its bookmarks beside it.
        const QByteArray gbkName = QFile::encodeName(dir.path()) + "/\xb6\xb7\xc2\xde";
        QVERIFY(writeChapters(QFile::decodeName(gbkName + ".txt"), 1));
        QCOMPARE(runToEnd(dir.filePath("tavril"), {QFile::decodeName(gbkName + ".txt")}), 0);
        QTRY_VERIFY(QFile::exists(QFile::decodeName(gbkName + ".bmk")));
        QTRY_COMPARE(FileNameCodec::fromStored(ini().value("fileHistory").toStringList().value(0)),
                     QFile::decodeName(gbkName + ".txt"));
        ini().setValue("fileHistory", QStringList{dir.filePath("book.txt")});

        // Quit and start again: the same page.
        stopReader(reader);
        QVERIFY(start());
        QCOMPARE(storedOffset(bmk), offset);
        QTRY_COMPARE(shot(), before);

        // Killed amid quick page turns: the bookmark file is whole, and holds a place the reader had reached.
        xdotool({"windowfocus", "--sync", windowId, "key", "--delay", "1", "Right", "Right", "Right", "Right", "Right",
                 "Right", "Right", "Right"});
        reader.kill();
        reader.waitForFinished(5000);
        QFile file(bmk);
        QList<Bookmark> kept;
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(BookmarkFile::read(file, &kept));
        QVERIFY(kept.value(0).offset >= offset);
    }

    // Logging out (SIGTERM) on a slow disk: the last of quick page turns is written before the reader ends.
    void theLastMoveSurvivesALogoutOnASlowDisk()
    {
        const QString bmk = dir.filePath("book.bmk");
        const auto turnThenTerminate = [&](const QProcessEnvironment &env) {
            BookmarkFile::save(bmk, {Bookmark{0, QString(), QString()}});
            if (!start(env))
                return -2;
            xdotool({"windowfocus", "--sync", windowId, "key", "--delay", "1", "Right", "Right", "Right", "Right",
                     "Right", "Right", "Right", "Right"});
            stopReader(reader);
            return storedOffset(bmk);
        };
        const int fast = turnThenTerminate(QProcessEnvironment::systemEnvironment());
        QProcessEnvironment slow = QProcessEnvironment::systemEnvironment();
        slow.insert("LD_PRELOAD", TAVRIL_FSYNC_DELAY);
        slow.insert("TAVRIL_FSYNC_DELAY_MS", "400");
        QVERIFY(fast > 0);
        QCOMPARE(turnThenTerminate(slow), fast);
    }

    // Quit from outside while a message box is open: the reader ends, and another can start.
    void quitEndsAReaderThatShowsABox()
    {
        QProcess boxed;
        boxed.start(dir.filePath("tavril"), {dir.filePath("missing.txt")});
        QVERIFY(!xdotool({"search", "--sync", "--onlyvisible", "--name", "提示"}).isEmpty());
        QCOMPARE(runToEnd(dir.filePath("tavril"), {"--command", "quit"}), 0);
        QVERIFY(boxed.waitForFinished(5000));
        QCOMPARE(runToEnd(dir.filePath("tavril"), {"--command", "show"}), 1); // no reader runs
    }

    // At 200 % the window and text double, the stored rectangle does not; screenshots in build/screenshots.
    void aScaledScreenAndTheReadingAids()
    {
        set({{"window/rememberWin", true},
             {"window/rect", QRect(100, 100, 400, 300)},
             {"view/showProgress", true},
             {"view/autoTurnSeconds", 2}});
        QVERIFY(start());
        QCOMPARE(shot().size(), QSize(400, 300));
        QTRY_VERIFY(firstLineHeight(shot()) > 0);
        const int plain = firstLineHeight(settledShot());
        stopReader(reader);
        QProcessEnvironment scaled = QProcessEnvironment::systemEnvironment();
        scaled.insert(QStringLiteral("QT_SCALE_FACTOR"), QStringLiteral("2"));
        QVERIFY(start(scaled));
        QTRY_VERIFY(firstLineHeight(shot()) > 0);
        const QImage page = settledShot();
        QCOMPARE(page.size(), QSize(800, 600));
        QVERIFY(qAbs(firstLineHeight(page) - 2 * plain) <= 2);
        QDir().mkpath(QStringLiteral(TAVRIL_SCREENSHOT_DIR));
        page.save(QStringLiteral(TAVRIL_SCREENSHOT_DIR "/reader_scale2_progress.png"));
        const int before = storedOffset(dir.filePath("book.bmk"));
        QCOMPARE(runToEnd(dir.filePath("tavril"), {"--command", "auto-turn"}), 0);
        QTRY_VERIFY_WITH_TIMEOUT(storedOffset(dir.filePath("book.bmk")) != before, 5000);
        settledShot().save(QStringLiteral(TAVRIL_SCREENSHOT_DIR "/reader_auto_turn.png"));
        stopReader(reader);
        QCOMPARE(ini().value("window/rect").toRect().size(), QSize(400, 300));
    }
};

QTEST_MAIN(TestReaderX11)
#include "tst_reader_x11.moc"
