// The built reader as a native Wayland client: weston inside a private Xvfb
// (so that xdotool can move the pointer), the desktop portal with a fake
// desktop on a private bus. The window is found on screenshots by its
// background colour, as nothing else on screen has it.

#include "PrivatePortal.h"

#include <QDataStream>
#include <QImage>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QColor kBackground(255, 0, 255);
const QRect kStored(100, 100, 420, 300);

int storedOffset(const QString &bmk)
{
    QFile file(bmk);
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    QDataStream in(&file);
    qint32 count = 0;
    qint32 offset = -1;
    in >> count >> offset;
    return count > 0 ? offset : -1;
}

} // namespace

class TestReaderWayland : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir dir;
    QString display;
    QString runtime;
    std::vector<std::unique_ptr<QProcess>> servers;
    std::unique_ptr<PrivatePortal> portal;
    QProcess reader;

    QProcessEnvironment environment(bool wayland) const
    {
        QProcessEnvironment env = portal->environment();
        env.insert(QStringLiteral("DISPLAY"), display);
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
        env.insert(QStringLiteral("WAYLAND_DISPLAY"), QStringLiteral("tavril-test"));
        env.insert(QStringLiteral("XDG_SESSION_TYPE"), QStringLiteral("wayland"));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), wayland ? QStringLiteral("wayland") : QStringLiteral("xcb"));
        return env;
    }

    QProcess *server(const QString &program, const QStringList &arguments, const QProcessEnvironment &env)
    {
        servers.push_back(std::make_unique<QProcess>());
        QProcess *process = servers.back().get();
        process->setProcessEnvironment(env);
        process->setStandardErrorFile(QProcess::nullDevice());
        process->start(program, arguments);
        return process;
    }

    int run(const QString &program, const QStringList &arguments, bool wayland = true)
    {
        QProcess process;
        process.setProcessEnvironment(environment(wayland));
        process.start(program, arguments);
        if (!process.waitForFinished(20000))
            return -1;
        return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    }

    void xdotool(const QString &arguments) { run(QStringLiteral("xdotool"), arguments.split(QLatin1Char(' '))); }

    QImage screen() const
    {
        QProcess import;
        import.start(QStringLiteral("import"), {"-display", display, "-window", "root", "ppm:-"});
        import.waitForFinished(20000);
        return QImage::fromData(import.readAllStandardOutput(), "PPM");
    }

    // Where the reader's window is: the box of its background colour.
    QRect window() const
    {
        const QImage shot = screen().convertToFormat(QImage::Format_RGB32);
        QRect box;
        for (int y = 0; y < shot.height(); y += 1) {
            const QRgb *line = reinterpret_cast<const QRgb *>(shot.constScanLine(y));
            for (int x = 0; x < shot.width(); ++x) {
                if (line[x] == kBackground.rgb())
                    box |= QRect(x, y, 1, 1);
            }
        }
        return box;
    }

    // A drag as a person makes it: the pointer comes in from outside weston.
    void drag(const QPoint &from, const QPoint &to)
    {
        xdotool(QStringLiteral("mousemove 1350 1050"));
        QTest::qWait(100);
        xdotool(QStringLiteral("mousemove %1 %2 mousedown 1").arg(from.x()).arg(from.y()));
        QTest::qWait(200);
        for (int step = 1; step <= 5; ++step) {
            const QPoint at = from + (to - from) * step / 5;
            xdotool(QStringLiteral("mousemove %1 %2").arg(at.x()).arg(at.y()));
            QTest::qWait(100);
        }
        QTest::qWait(200);
        xdotool(QStringLiteral("mouseup 1"));
        QTest::qWait(400);
    }

    void writeIni(int bgType, int translucent)
    {
        QSettings ini(dir.filePath(QStringLiteral("tavrilconfig.ini")), QSettings::IniFormat);
        ini.setValue("window/openLastFile", true);
        ini.setValue("window/rememberWin", true);
        ini.setValue("window/rect", kStored);
        ini.setValue("window/bgColor", kBackground);
        ini.setValue("window/bgType", bgType);
        ini.setValue("window/translucent", translucent);
        ini.setValue("shortcut/doublceClickHide", true);
        ini.setValue("font/color", QColor(0, 128, 0));
        ini.setValue("fileHistory", QStringList{dir.filePath(QStringLiteral("book.txt"))});
        ini.setValue("update/checkAtStart", false);
    }

    bool startReader(bool wayland = true)
    {
        reader.setProcessEnvironment(environment(wayland));
        reader.setStandardErrorFile(QProcess::nullDevice());
        reader.start(dir.filePath(QStringLiteral("tavril")), QStringList());
        return reader.waitForStarted();
    }

    void stopReader()
    {
        reader.terminate();
        reader.waitForFinished(5000);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(QFile::copy(QStringLiteral(TAVRIL_EXECUTABLE), dir.filePath(QStringLiteral("tavril"))));
        QFile book(dir.filePath(QStringLiteral("book.txt")));
        QVERIFY(book.open(QIODevice::WriteOnly));
        for (int i = 1; i <= 30; ++i)
            book.write(QStringLiteral(
                           "第%1章 风起\n\u3000\u3000天色将晚，江上起了风。老渔夫收起网，回头望了一眼远处的山影。\n")
                           .arg(i)
                           .toUtf8());
        book.close();
        writeIni(0, 100);

        QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("runtime")));
        runtime = dir.filePath(QStringLiteral("runtime"));
        QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QProcess *xvfb =
            server(QStringLiteral("Xvfb"), {"-displayfd", "1", "-screen", "0", "1400x1100x24", "-nolisten", "tcp"},
                   QProcessEnvironment::systemEnvironment());
        QVERIFY(xvfb->waitForReadyRead(10000));
        display = QLatin1Char(':') + QString::fromLatin1(xvfb->readLine().trimmed());
        portal.reset(new PrivatePortal(QStringLiteral(FAKE_PORTAL_BACKEND)));
        QVERIFY(portal->isReady());
        server(QStringLiteral("weston"),
               {"--backend=x11-backend.so", "--use-pixman", "--width=1280", "--height=1024", "--socket=tavril-test",
                "--no-config"},
               environment(true));
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(runtime + QStringLiteral("/tavril-test")), 10000);
        QTest::qWait(500); // the shell
        QVERIFY(startReader());
        QTRY_VERIFY_WITH_TIMEOUT(window().width() > 100, 15000);
    }

    void cleanupTestCase()
    {
        stopReader();
        portal.reset();
        for (auto it = servers.rbegin(); it != servers.rend(); ++it) {
            (*it)->terminate();
            (*it)->waitForFinished(3000);
        }
    }

    void aDragMovesTheWindow()
    {
        // To where all of it is on the screen, for the edges that follow.
        const QRect before = window();
        const QPoint by = QPoint(200, 150) - before.topLeft();
        drag(before.center(), before.center() + by);
        QTRY_COMPARE(window().topLeft(), QPoint(200, 150));
        QCOMPARE(window().size(), kStored.size());
    }

    void anEdgeSizesTheWindowAndOnlyTheSizeIsStored()
    {
        QRect before = window();
        drag(QPoint(before.right() - 3, before.center().y()), QPoint(before.right() + 77, before.center().y()));
        QTRY_COMPARE(window().width(), before.width() + 80);
        QCOMPARE(window().left(), before.left());
        before = window();
        drag(QPoint(before.left() + 3, before.center().y()), QPoint(before.left() - 57, before.center().y()));
        QTRY_COMPARE(window().left(), before.left() - 60);
        QCOMPARE(window().right(), before.right());
        // Qt cannot know where the desktop put the window: the stored
        // position stays, the size follows.
        const QRect stored = QSettings(dir.filePath(QStringLiteral("tavrilconfig.ini")), QSettings::IniFormat)
                                 .value("window/rect")
                                 .toRect();
        QCOMPARE(stored.topLeft(), kStored.topLeft());
        QCOMPARE(stored.size(), window().size());
    }

    void theDesktopsKeysTurnPages()
    {
        const QString bmk = dir.filePath(QStringLiteral("book.bmk"));
        QTRY_COMPARE(storedOffset(bmk), 0);
        QTRY_COMPARE_WITH_TIMEOUT(portal->sessions().size(), 1, 10000);
        QVERIFY(portal->activate(QStringLiteral("next-page")));
        QTRY_VERIFY(storedOffset(bmk) > 0);
    }

    void aHiddenWindowComesBack()
    {
        const QPoint inside = window().center();
        xdotool(QStringLiteral("mousemove %1 %2 click --repeat 2 --delay 100 1").arg(inside.x()).arg(inside.y()));
        QTRY_VERIFY(window().isEmpty());
        QCOMPARE(run(dir.filePath(QStringLiteral("tavril")), {"--command", "show"}), 0);
        QTRY_VERIFY(!window().isEmpty());
        QVERIFY(portal->activate(QStringLiteral("hide")));
        QTRY_VERIFY(window().isEmpty());
        QCOMPARE(run(dir.filePath(QStringLiteral("tavril")), {}), 0); // starting it again shows it
        QTRY_VERIFY(!window().isEmpty());
    }

    void theWholeWindowFades()
    {
        stopReader();
        writeIni(1, 40);
        QVERIFY(startReader());
        // The window is there, but nowhere at full colour: the reader fades
        // its own painting where the desktop ignores window opacity.
        int faded = 0;
        QTRY_VERIFY_WITH_TIMEOUT(
            [&] {
                const QImage shot = screen().convertToFormat(QImage::Format_RGB32);
                faded = 0;
                for (int y = 0; y < shot.height(); ++y) {
                    const QRgb *line = reinterpret_cast<const QRgb *>(shot.constScanLine(y));
                    for (int x = 0; x < shot.width(); ++x) {
                        const QRgb c = line[x];
                        faded += qRed(c) > qGreen(c) + 50 && qBlue(c) > qGreen(c) + 50 && qRed(c) < 230;
                    }
                }
                return faded > kStored.width() * kStored.height() / 2;
            }(),
            15000);
        QVERIFY(window().isEmpty());
        stopReader();
    }

    void onXWaylandTheDesktopsKeysWorkToo()
    {
        writeIni(0, 100);
        QFile::remove(dir.filePath(QStringLiteral("book.bmk")));
        QVERIFY(startReader(false));
        const QString bmk = dir.filePath(QStringLiteral("book.bmk"));
        QTRY_COMPARE_WITH_TIMEOUT(storedOffset(bmk), 0, 15000);
        QTRY_COMPARE_WITH_TIMEOUT(portal->sessions().size(), 1, 10000);
        QVERIFY(portal->activate(QStringLiteral("next-page")));
        QTRY_VERIFY(storedOffset(bmk) > 0);
    }
};

QTEST_GUILESS_MAIN(TestReaderWayland)
#include "tst_reader_wayland.moc"
