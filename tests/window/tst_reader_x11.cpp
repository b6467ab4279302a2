// The built reader on a real X server, driven as a person would: a book
// reopened from the ini file, pages turned by real key presses, the window
// hidden and shown by global hot keys while another window has the focus,
// and the same page again after a restart.

#include "BookmarkFile.h"

#include <QApplication>
#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QScreen>
#include <QSettings>
#include <QTemporaryDir>
#include <QTextCodec>
#include <QWidget>
#include <QtTest>

namespace {

const QColor kTextColor(0xc0, 0x20, 0x20);

QString xdotool(const QStringList &args, int *status = nullptr)
{
    QProcess process;
    process.start(QStringLiteral("xdotool"), args);
    process.waitForFinished(20000);
    if (status)
        *status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}

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

class TestReaderX11 : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir dir;
    QProcess reader;
    QString windowId;

    // A second start of the reader in the same folder: it hands its
    // arguments to the running one and ends.
    int startAgain(const QStringList &arguments)
    {
        QProcess second;
        second.start(dir.filePath(QStringLiteral("tavril")), arguments);
        if (!second.waitForFinished(15000))
            return -1;
        return second.exitStatus() == QProcess::NormalExit ? second.exitCode() : -1;
    }

    bool start(const QProcessEnvironment &env = QProcessEnvironment::systemEnvironment())
    {
        reader.setProcessEnvironment(env);
        reader.setProgram(dir.filePath(QStringLiteral("tavril")));
        reader.setProcessChannelMode(QProcess::ForwardedChannels);
        reader.start();
        if (!reader.waitForStarted())
            return false;
        windowId = xdotool({"search", "--sync", "--onlyvisible", "--name", "Tavril"}).section('\n', 0, 0);
        QTest::qWait(500); // first paint and the delayed layout
        return !windowId.isEmpty();
    }
    void stop()
    {
        reader.terminate();
        reader.waitForFinished(5000);
    }
    bool readerVisible()
    {
        int status = 0;
        xdotool({"search", "--onlyvisible", "--name", "Tavril"}, &status);
        return status == 0;
    }
    QRect frame()
    {
        const QStringList geometry = xdotool({"getwindowgeometry", "--shell", windowId}).split('\n');
        QMap<QString, int> values;
        for (const QString &line : geometry)
            values[line.section('=', 0, 0)] = line.section('=', 1).toInt();
        return QRect(values["X"], values["Y"], values["WIDTH"], values["HEIGHT"]);
    }
    QImage shot()
    {
        const QRect area = frame();
        return QGuiApplication::primaryScreen()
            ->grabWindow(0, area.x(), area.y(), area.width(), area.height())
            .toImage();
    }
    // Rows of the window that hold ink, top to bottom.
    QVector<int> inkedRows(const QImage &image)
    {
        QVector<int> rows;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                if (image.pixelColor(x, y) == kTextColor) {
                    rows << y;
                    break;
                }
            }
        }
        return rows;
    }
    // Height of the first run of inked rows: the first line of text.
    static int firstLineHeight(const QVector<int> &rows)
    {
        int height = rows.isEmpty() ? 0 : 1;
        while (height < rows.size() && rows.at(height) == rows.at(height - 1) + 1)
            ++height;
        return height;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(QFile::copy(QStringLiteral(TAVRIL_EXECUTABLE), dir.filePath(QStringLiteral("tavril"))));
        QString text;
        for (int i = 0; i < 40; ++i)
            text +=
                QStringLiteral("第%1章 风起\n\u3000\u3000天色将晚，江上起了风。老渔夫收起网，回头望了一眼远处的山影，"
                               "低声说：“今夜怕是不太平。”\n")
                    .arg(i + 1);
        QFile book(dir.filePath(QStringLiteral("book.txt")));
        QVERIFY(book.open(QIODevice::WriteOnly));
        book.write(QTextCodec::codecForName("GBK")->fromUnicode(text));
        book.close();
        QSettings ini(dir.filePath(QStringLiteral("tavrilconfig.ini")), QSettings::IniFormat);
        ini.setValue("window/openLastFile", true);
        ini.setValue("window/bgColor", QColor(Qt::white));
        ini.setValue("font/color", kTextColor);
        ini.setValue("font/font", QFont(QStringLiteral("Noto Sans CJK SC"), 14));
        ini.setValue("fileHistory", QStringList{book.fileName()});
    }
    void cleanupTestCase() { stop(); }

    // On a screen scaled to 200 % the window and its text are twice as many
    // pixels, the stored rectangle stays in logical pixels; with the progress
    // line and automatic page turns, for a look in build/screenshots.
    void aScaledScreenAndTheReadingAids()
    {
        {
            QSettings ini(dir.filePath(QStringLiteral("tavrilconfig.ini")), QSettings::IniFormat);
            ini.setValue("window/rememberWin", true);
            ini.setValue("window/rect", QRect(100, 100, 400, 300));
            ini.setValue("view/showProgress", true);
            ini.setValue("view/autoTurnSeconds", 2);
        }
        QVERIFY(start());
        QCOMPARE(frame().size(), QSize(400, 300));
        const int plain = firstLineHeight(inkedRows(shot()));
        stop();
        QProcessEnvironment scaled = QProcessEnvironment::systemEnvironment();
        scaled.insert(QStringLiteral("QT_SCALE_FACTOR"), QStringLiteral("2"));
        QVERIFY(start(scaled));
        QCOMPARE(frame().size(), QSize(800, 600));
        const QImage page = shot();
        QDir().mkpath(QStringLiteral(TAVRIL_SCREENSHOT_DIR));
        page.save(QStringLiteral(TAVRIL_SCREENSHOT_DIR "/reader_scale2_progress.png"));
        QVERIFY(qAbs(firstLineHeight(inkedRows(page)) - 2 * plain) <= 2);
        const QString bmk = dir.filePath(QStringLiteral("book.bmk"));
        const int before = storedOffset(bmk);
        QCOMPARE(startAgain({"--command", "auto-turn"}), 0);
        QTRY_VERIFY_WITH_TIMEOUT(storedOffset(bmk) != before, 5000);
        QTest::qWait(300);
        shot().save(QStringLiteral(TAVRIL_SCREENSHOT_DIR "/reader_auto_turn.png"));
        stop();
        QCOMPARE(QSettings(dir.filePath(QStringLiteral("tavrilconfig.ini")), QSettings::IniFormat)
                     .value("window/rect")
                     .toRect()
                     .size(),
                 QSize(400, 300));
        QSettings ini(dir.filePath(QStringLiteral("tavrilconfig.ini")), QSettings::IniFormat);
        ini.remove("window/rememberWin");
        ini.remove("view/showProgress");
        QFile::remove(bmk);
    }

    void readsTurnsHidesAndComesBack()
    {
        const QString bmk = dir.filePath(QStringLiteral("book.bmk"));
        QVERIFY(start());
        QCOMPARE(storedOffset(bmk), 0);

        // The page is painted in the configured colour.
        auto inked = [this] {
            const QImage page = shot();
            int count = 0;
            for (int y = 0; y < page.height(); ++y)
                for (int x = 0; x < page.width(); ++x)
                    count += page.pixelColor(x, y) == kTextColor;
            return count;
        };
        QTRY_VERIFY(inked() > 200);

        // Real key presses reach the window that has the focus.
        xdotool({"windowfocus", "--sync", windowId});
        xdotool({"key", "Right"});
        QTRY_VERIFY(storedOffset(bmk) > 0);
        const int first = storedOffset(bmk);
        xdotool({"key", "Right"});
        QTRY_VERIFY(storedOffset(bmk) > first);
        const int offset = storedOffset(bmk);
        QTest::qWait(300);
        const QImage before = shot();

        // Global keys work while another window has the focus.
        QWidget other;
        other.setWindowTitle(QStringLiteral("other"));
        other.resize(200, 100);
        other.show();
        QVERIFY(QTest::qWaitForWindowExposed(&other));
        xdotool({"windowfocus", "--sync", QString::number(other.winId())});
        xdotool({"key", "ctrl+shift+Down"});
        QTRY_VERIFY(!readerVisible());
        xdotool({"key", "ctrl+shift+Up"});
        QTRY_VERIFY(readerVisible());
        QCOMPARE(storedOffset(bmk), offset);

        // A second start brings a hidden reader back, and hands a book over.
        xdotool({"key", "ctrl+shift+Down"});
        QTRY_VERIFY(!readerVisible());
        QCOMPARE(startAgain({}), 0);
        QTRY_VERIFY(readerVisible());
        QFile secondBook(dir.filePath(QStringLiteral("other.txt")));
        QVERIFY(secondBook.open(QIODevice::WriteOnly));
        secondBook.write("第一章 另一本\n正文。\n");
        secondBook.close();
        const QString folder = QDir::currentPath();
        QDir::setCurrent(dir.path());
        QCOMPARE(startAgain({QStringLiteral("other.txt")}), 0); // relative: stored absolute
        QDir::setCurrent(folder);
        QTRY_VERIFY(QFile::exists(dir.filePath(QStringLiteral("other.bmk"))));
        QCOMPARE(reader.state(), QProcess::Running);
        QTRY_COMPARE(QSettings(dir.filePath(QStringLiteral("tavrilconfig.ini")), QSettings::IniFormat)
                         .value("fileHistory")
                         .toStringList()
                         .value(0),
                     secondBook.fileName());
        QCOMPARE(storedOffset(bmk), offset);
        QSettings(dir.filePath(QStringLiteral("tavrilconfig.ini")), QSettings::IniFormat)
            .setValue("fileHistory", QStringList{dir.filePath(QStringLiteral("book.txt"))});

        // Quit and start again: the same page.
        stop();
        QVERIFY(start());
        QCOMPARE(storedOffset(bmk), offset);
        QTRY_COMPARE(shot(), before);

        // Killed in the middle of quick page turns: the bookmark file is
        // whole, and holds a place the reader had reached.
        xdotool({"windowfocus", "--sync", windowId});
        xdotool({"key", "--delay", "1", "Right", "Right", "Right", "Right", "Right", "Right", "Right", "Right"});
        reader.kill();
        reader.waitForFinished(5000);
        QFile file(bmk);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QList<Bookmark> kept;
        QVERIFY(BookmarkFile::read(file, &kept));
        QVERIFY(kept.value(0).offset >= offset);
    }
};

QTEST_MAIN(TestReaderX11)
#include "tst_reader_x11.moc"
