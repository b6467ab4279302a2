// The reader on Wayland: weston in a private Xvfb (for xdotool), a fake desktop portal; the window found by its colour.

#include "PrivatePortal.h"
#include "ReaderFiles.h"

#include <QtGui>
#include <QtTest>

static const QColor kBackground(255, 0, 255);
static const QRect kStored(100, 100, 420, 300);

class TestReaderWayland : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    QString display;
    std::vector<std::unique_ptr<QProcess>> servers;
    std::unique_ptr<PrivatePortal> portal;
    QProcess reader;

    QProcessEnvironment environment(bool wayland = true) const
    {
        QProcessEnvironment env = portal->environment();
        env.insert(QStringLiteral("DISPLAY"), display); // XDG_RUNTIME_DIR is the portal's
        env.insert(QStringLiteral("WAYLAND_DISPLAY"), QStringLiteral("tavril-test"));
        env.insert(QStringLiteral("XDG_SESSION_TYPE"), QStringLiteral("wayland"));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), wayland ? QStringLiteral("wayland") : QStringLiteral("xcb"));
        return env;
    }

    QProcess *server(const QString &program, const QStringList &arguments, const QProcessEnvironment &env)
    {
        servers.push_back(std::make_unique<QProcess>());
        servers.back()->setProcessEnvironment(env);
        servers.back()->setStandardErrorFile(QProcess::nullDevice());
        servers.back()->start(program, arguments);
        return servers.back().get();
    }

    int tavril(const QStringList &arguments) { return runToEnd(dir.filePath("tavril"), arguments, environment()); }
    void xdotool(const QString &arguments) { runToEnd("xdotool", arguments.split(' '), environment()); }

    // The box of the pixels on the screen that `match`.
    template <typename Match> QRect pixels(Match match) const
    {
        QProcess import;
        import.start(QStringLiteral("import"), {"-display", display, "-window", "root", "ppm:-"});
        import.waitForFinished(20000);
        const QImage shot = QImage::fromData(import.readAllStandardOutput()).convertToFormat(QImage::Format_RGB32);
        QRect box;
        for (int y = 0; y < shot.height(); ++y)
            for (int x = 0; x < shot.width(); ++x)
                box |= match(shot.pixel(x, y)) ? QRect(x, y, 1, 1) : QRect();
        return box;
    }
    // The reader's window: the box of its background colour.
    QRect window() const
    {
        return pixels([](QRgb c) { return c == kBackground.rgb(); });
    }

    // A drag as a person makes it: the pointer comes in from outside weston.
    void drag(const QPoint &from, const QPoint &to)
    {
        QString steps = QStringLiteral("mousemove 1350 1050 sleep 0.1 mousemove %1 %2 mousedown 1 sleep 0.2")
                            .arg(from.x())
                            .arg(from.y());
        for (int step = 1; step <= 5; ++step) {
            const QPoint at = from + (to - from) * step / 5;
            steps += QStringLiteral(" mousemove %1 %2 sleep 0.1").arg(at.x()).arg(at.y());
        }
        xdotool(steps + QStringLiteral(" sleep 0.2 mouseup 1 sleep 0.4"));
    }

    bool startReader(int bgType, int translucent, bool wayland = true)
    {
        storeSettings(dir.filePath(QStringLiteral("tavrilconfig.ini")),
                      {{"window/openLastFile", true},
                       {"window/rememberWin", true},
                       {"window/rect", kStored},
                       {"window/bgColor", kBackground},
                       {"window/bgType", bgType},
                       {"window/translucent", translucent},
                       {"shortcut/doublceClickHide", true},
                       {"font/color", QColor(0, 128, 0)},
                       {"fileHistory", QStringList{dir.filePath("book.txt")}},
                       {"update/checkAtStart", false}});
        reader.setProcessEnvironment(environment(wayland));
        reader.setStandardErrorFile(QProcess::nullDevice());
        reader.start(dir.filePath(QStringLiteral("tavril")), QStringList());
        return reader.waitForStarted();
    }
    // The desktop's key for the next page, once the reader has asked for it.
    void nextPageThroughThePortal()
    {
        const QString bmk = dir.filePath(QStringLiteral("book.bmk"));
        QTRY_COMPARE_WITH_TIMEOUT(storedOffset(bmk), 0, 15000);
        QTRY_COMPARE_WITH_TIMEOUT(portal->sessions().size(), 1, 10000);
        QVERIFY(portal->activate(QStringLiteral("next-page")));
        QTRY_VERIFY(storedOffset(bmk) > 0);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(QFile::copy(QStringLiteral(TAVRIL_EXECUTABLE), dir.filePath(QStringLiteral("tavril"))));
        QVERIFY(writeChapters(dir.filePath(QStringLiteral("book.txt")), 30));
        QProcess *xvfb = server("Xvfb", {"-displayfd", "1", "-screen", "0", "1400x1100x24", "-nolisten", "tcp"},
                                QProcessEnvironment::systemEnvironment());
        QVERIFY(xvfb->waitForReadyRead(10000));
        display = QLatin1Char(':') + QString::fromLatin1(xvfb->readLine().trimmed());
        portal.reset(new PrivatePortal(QStringLiteral(FAKE_PORTAL_BACKEND)));
        QVERIFY(portal->isReady());
        server("weston",
               {"--backend=x11-backend.so", "--use-pixman", "--width=1280", "--height=1024", "--socket=tavril-test",
                "--no-config"},
               environment());
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(environment().value("XDG_RUNTIME_DIR") + "/tavril-test"), 10000);
        QTest::qWait(500); // the shell
        QVERIFY(startReader(0, 100));
        QTRY_VERIFY_WITH_TIMEOUT(window().width() > 100, 15000);
    }

    void cleanupTestCase()
    {
        stopReader(reader);
        portal.reset();
        for (auto it = servers.rbegin(); it != servers.rend(); ++it) {
            (*it)->terminate();
            (*it)->waitForFinished(3000);
        }
    }

    // A drag moves the window, its edges size it; unknown to Qt, the stored position stays, the size follows.
    void dragsMoveAndEdgesSizeTheWindow()
    {
        QRect before = window();
        drag(before.center(), before.center() + QPoint(200, 150) - before.topLeft());
        QTRY_COMPARE(window().topLeft(), QPoint(200, 150));
        QCOMPARE(window().size(), kStored.size());
        before = window();
        drag(QPoint(before.right() - 3, before.center().y()), QPoint(before.right() + 77, before.center().y()));
        QTRY_COMPARE(window().width(), before.width() + 80);
        QCOMPARE(window().left(), before.left());
        before = window();
        drag(QPoint(before.left() + 3, before.center().y()), QPoint(before.left() - 57, before.center().y()));
        QTRY_COMPARE(window().left(), before.left() - 60);
        QCOMPARE(window().right(), before.right());
        QCOMPARE(QSettings(dir.filePath("tavrilconfig.ini"), QSettings::IniFormat).value("window/rect").toRect(),
                 QRect(kStored.topLeft(), window().size()));
    }

    void theDesktopsKeysTurnPages() { nextPageThroughThePortal(); }

    void aHiddenWindowComesBack()
    {
        const QPoint inside = window().center();
        xdotool(QStringLiteral("mousemove %1 %2 click --repeat 2 --delay 100 1").arg(inside.x()).arg(inside.y()));
        QTRY_VERIFY(window().isEmpty());
        QCOMPARE(tavril({"--command", "show"}), 0);
        QTRY_VERIFY(!window().isEmpty());
        QVERIFY(portal->activate(QStringLiteral("hide")));
        QTRY_VERIFY(window().isEmpty());
        QCOMPARE(tavril({}), 0); // starting it again shows it
        QTRY_VERIFY(!window().isEmpty());
    }

    // Where the desktop ignores window opacity, the reader fades its own painting: no pixel at full colour.
    void theWholeWindowFades()
    {
        stopReader(reader);
        QVERIFY(startReader(1, 40));
        auto faded = [](QRgb c) { return qRed(c) > qGreen(c) + 50 && qBlue(c) > qGreen(c) + 50 && qRed(c) < 230; };
        QTRY_COMPARE_WITH_TIMEOUT(pixels(faded).size(), kStored.size(), 15000);
        QVERIFY(window().isEmpty());
        stopReader(reader);
    }

    // Asked for from outside, the menu comes at the window's centre; centring says the desktop places windows.
    void theMenuAndCentringFromOutside()
    {
        stopReader(reader);
        QVERIFY(startReader(0, 100));
        QTRY_VERIFY_WITH_TIMEOUT(window().width() > 100, 15000);
        const QRect reading = window();
        const auto changedOnScreen = [this, reading] {
            const QRect changed = pixels([](QRgb c) { return c != kBackground.rgb() && qGray(c) > 200; });
            return changed.intersects(reading) ? changed : QRect();
        };
        const QRect before = changedOnScreen();
        QCOMPARE(tavril({"--command", "menu"}), 0);
        QTRY_VERIFY_WITH_TIMEOUT(changedOnScreen() != before, 10000); // the menu, over the window
        xdotool(QStringLiteral("key Escape"));
        QTRY_COMPARE_WITH_TIMEOUT(changedOnScreen(), before, 10000);
        QCOMPARE(tavril({"--command", "center"}), 0);
        QTRY_VERIFY_WITH_TIMEOUT(pixels([](QRgb c) { return qGray(c) > 200 && c != kBackground.rgb(); }) !=
                                     pixels([](QRgb) { return false; }),
                                 10000);
        QTest::qWait(500);
        xdotool(QStringLiteral("key Return"));
        stopReader(reader);
    }

    // On XWayland, where weston puts an invisible frame around the window: a drag moves it by exactly the drag and
    // an edge sizes it by exactly the drag; both are stored as they show.
    void onXWaylandMovesAndSizesAreTheWindowsOwn()
    {
        stopReader(reader);
        QVERIFY(startReader(0, 100, false));
        QTRY_VERIFY_WITH_TIMEOUT(window().width() > 100, 15000);
        QRect before = window();
        drag(before.center(), before.center() + QPoint(60, 40));
        QTRY_COMPARE(window().topLeft(), before.topLeft() + QPoint(60, 40));
        before = window();
        drag(QPoint(before.right() - 3, before.center().y()), QPoint(before.right() + 47, before.center().y()));
        QTRY_COMPARE(window().right(), before.right() + 47); // where the pointer let go, not a frame's width off
        QCOMPARE(window().topLeft(), before.topLeft());
        const auto stored = [this] {
            return QSettings(dir.filePath("tavrilconfig.ini"), QSettings::IniFormat).value("window/rect").toRect();
        };
        QTRY_COMPARE(stored(), window());
        stopReader(reader);
    }

    void onXWaylandTheDesktopsKeysWorkToo()
    {
        stopReader(reader);
        QFile::remove(dir.filePath(QStringLiteral("book.bmk")));
        QVERIFY(startReader(0, 100, false));
        nextPageThroughThePortal();
    }
};

QTEST_GUILESS_MAIN(TestReaderWayland)
#include "tst_reader_wayland.moc"
