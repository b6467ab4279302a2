#include "ReaderConfig.h"

#include <QApplication>
#include <QFile>
#include <QScreen>
#include <QSettings>
#include <QSignalSpy>
#include <QtTest>

class TestReaderConfig : public QObject
{
    Q_OBJECT

private:
    QString iniPath() const { return QCoreApplication::applicationDirPath() + QStringLiteral("/tavrilconfig.ini"); }
    QVariant stored(const QString &key) const
    {
        QSettings settings(iniPath(), QSettings::IniFormat);
        settings.setIniCodec("UTF8");
        return settings.value(key);
    }
    void writeIni(const QByteArray &content)
    {
        QFile file(iniPath());
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
    }

private slots:
    void init() { QFile::remove(iniPath()); }
    void cleanupTestCase() { QFile::remove(iniPath()); }

    void defaultsWithoutAFile()
    {
        ReaderConfig config;
        const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
        QCOMPARE(config.windowRect(),
                 QRect(available.width() / 3, available.height() / 3, available.width() / 3, available.height() / 3));
        QCOMPARE(config.font(), QApplication::font());
        QCOMPARE(config.textColor(), QColor(Qt::gray));
        QCOMPARE(config.bgColor(), QColor(Qt::white));
        QCOMPARE(config.translucent(), 100);
        QCOMPARE(config.bgType(), 0);
        QCOMPARE(config.lineSpace(), 2);
        QCOMPARE(config.letterSpace(), 0);
        QVERIFY(!config.isTop() && !config.rememberWin() && !config.openLastFile() && !config.tray());
        QVERIFY(!config.clickNextPage() && !config.doubleClickHide() && !config.wheelTurnPage());
        QVERIFY(config.pageRect().isNull());
        QVERIFY(config.lastFile().isEmpty());
        QVERIFY(!QFile::exists(iniPath())); // loading writes nothing
    }

    void eachSetterWritesItsKeyAndSignals()
    {
        ReaderConfig config;
        QSignalSpy font(&config, &ReaderConfig::fontChanged);
        QSignalSpy background(&config, &ReaderConfig::backgroundChanged);
        QSignalSpy top(&config, &ReaderConfig::topOnWindow);

        config.setLineSpace(7);
        config.setTextColor(QColor(1, 2, 3));
        config.setLetterSpace(3);
        QFont chosen(QStringLiteral("DejaVu Serif"), 17);
        config.setFont(chosen);
        QCOMPARE(font.count(), 4);
        QCOMPARE(stored("font/linespace").toInt(), 7);
        QCOMPARE(stored("font/color").value<QColor>(), QColor(1, 2, 3));
        QCOMPARE(stored("font/letterspace").toInt(), 3);
        QCOMPARE(stored("font/font").value<QFont>().family(), QStringLiteral("DejaVu Serif"));

        config.setBgType(1);
        config.setTranslucent(40);
        config.setBgColor(QColor(Qt::black));
        QCOMPARE(background.count(), 3);
        QCOMPARE(stored("window/bgType").toInt(), 1);
        QCOMPARE(stored("window/translucent").toInt(), 40);
        QCOMPARE(stored("window/bgColor").value<QColor>(), QColor(Qt::black));

        config.setTop(true);
        QCOMPARE(top.count(), 1);
        QCOMPARE(top.first().first().toBool(), true);
        QCOMPARE(stored("window/isTop").toBool(), true);

        config.setRememberWin(true);
        config.setTray(true);
        config.setOpenLastFile(true);
        config.setClickNextPage(true);
        config.setDoubleClickHide(true);
        config.setWheelTurnPage(true);
        config.setWindowRect(QRect(5, 6, 70, 80));
        for (const char *key : {"window/rememberWin", "window/tray", "window/openLastFile", "shortcut/clickNextPage",
                                "shortcut/doublceClickHide", "shortcut/wheelTurnPage"})
            QVERIFY2(stored(QLatin1String(key)).toBool(), key);
        QCOMPARE(stored("window/rect").toRect(), QRect(5, 6, 70, 80));
        QCOMPARE(font.count(), 4);
        QCOMPARE(background.count(), 3);
    }

    void letterSpacingLivesInTheFont()
    {
        ReaderConfig config;
        config.setLetterSpace(5);
        QCOMPARE(config.font().letterSpacingType(), QFont::AbsoluteSpacing);
        QCOMPARE(config.font().letterSpacing(), 5.0);
        QCOMPARE(config.letterSpace(), 0); // as loaded; the font holds the live value
    }

    void resetFontWritesFiveKeysAndSignalsOnlyFontChanged()
    {
        ReaderConfig config;
        config.setLineSpace(9);
        config.setBgColor(QColor(Qt::red));
        QSignalSpy font(&config, &ReaderConfig::fontChanged);
        QSignalSpy background(&config, &ReaderConfig::backgroundChanged);
        config.resetFont(true);
        QCOMPARE(font.count(), 1);
        QCOMPARE(background.count(), 0);
        QCOMPARE(config.lineSpace(), 2);
        QCOMPARE(stored("font/linespace").toInt(), 2);
        QCOMPARE(stored("font/letterspace").toInt(), 0);
        QCOMPARE(stored("font/color").value<QColor>(), QColor(Qt::gray));
        QCOMPARE(stored("window/bgColor").value<QColor>(), QColor(Qt::white));
        QVERIFY(stored("font/font").isValid());
    }

    void loadsStoredValues()
    {
        {
            ReaderConfig writer;
            QFont font(QStringLiteral("DejaVu Sans"), 21);
            font.setLetterSpacing(QFont::AbsoluteSpacing, 9);
            writer.setFont(font);
            writer.setLetterSpace(4); // the key wins over the font's own spacing
            writer.setTranslucent(30);
            writer.setWindowRect(QRect(-500, 9000, 300, 200));
            writer.addFileHistory(QStringLiteral("/书/三国.txt"));
        }
        ReaderConfig config;
        QCOMPARE(config.font().family(), QStringLiteral("DejaVu Sans"));
        QCOMPARE(config.font().letterSpacing(), 4.0);
        QCOMPARE(config.translucent(), 30);
        QCOMPARE(config.lastFile(), QStringLiteral("/书/三国.txt"));
        // Not remembering the window: the stored rectangle is ignored.
        QVERIFY(config.windowRect() != QRect(-500, 9000, 300, 200));
        config.setRememberWin(true);
        ReaderConfig remembering;
        QCOMPARE(remembering.windowRect(), QRect(-500, 9000, 300, 200)); // not clamped
    }

    void damagedValuesFallBackToTheirDefaults()
    {
        const ReaderConfig defaults;
        // A string list claiming 2^31 entries stopped every start with
        // std::bad_alloc; a huge line spacing overflowed the page arithmetic.
        writeIni("[General]\nfileHistory=@Variant(\\0\\0\\0\\v\\x7f\\xff\\xff\\xff)\n"
                 "[window]\nbgType=abc\ntranslucent=250\nbgColor=12\nisTop=maybe\nrememberWin=true\nrect=nonsense\n"
                 "[shortcut]\nwheelTurnPage=2\n[font]\nfont=@Variant(garbage\ncolor=not a colour\n"
                 "linespace=2147483647\nletterspace=y\n[update]\ncheckAtStart=0\n");
        ReaderConfig config;
        QCOMPARE(config.bgType(), defaults.bgType());
        QCOMPARE(config.translucent(), defaults.translucent());
        QCOMPARE(config.bgColor(), defaults.bgColor());
        QCOMPARE(config.isTop(), defaults.isTop());
        QVERIFY(config.rememberWin());
        QCOMPARE(config.windowRect(), defaults.windowRect());
        QCOMPARE(config.wheelTurnPage(), defaults.wheelTurnPage());
        QCOMPARE(config.font(), defaults.font());
        QCOMPARE(config.textColor(), defaults.textColor());
        QCOMPARE(config.lineSpace(), defaults.lineSpace());
        QCOMPARE(config.font().letterSpacing(), defaults.font().letterSpacing());
        QVERIFY(config.fileHistory().isEmpty());
        QVERIFY(!config.checkUpdateAtStart());
        // Only the line that could not be loaded safely left the file.
        QFile file(iniPath());
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray left = file.readAll();
        QVERIFY(!left.contains("fileHistory"));
        QVERIFY(left.contains("linespace=2147483647"));
    }

    void safeStoredValuesSurviveTheCheck()
    {
        {
            ReaderConfig config;
            config.setFont(QFont(QStringLiteral("Noto Sans CJK SC"), 17));
            config.setBgColor(QColor(1, 2, 3));
            config.addFileHistory(QStringLiteral("/书/一, 二.txt"));
            config.addFileHistory(QStringLiteral("/书/三.txt"));
            config.setWindowRect(QRect(5, 6, 300, 200));
            config.setRememberWin(true);
        }
        ReaderConfig config;
        QCOMPARE(config.font().pointSize(), 17);
        QCOMPARE(config.bgColor(), QColor(1, 2, 3));
        QCOMPARE(config.fileHistory(), (QStringList{"/书/三.txt", "/书/一, 二.txt"}));
        QCOMPARE(config.windowRect(), QRect(5, 6, 300, 200));
    }

    void fileHistoryKeepsTenDistinctPaths()
    {
        ReaderConfig config;
        for (int i = 0; i < 11; ++i)
            config.addFileHistory(QStringLiteral("/books/%1.txt").arg(i));
        QStringList history = config.fileHistory();
        QCOMPARE(history.size(), 10);
        QCOMPARE(history.first(), QStringLiteral("/books/10.txt"));
        QCOMPARE(history.last(), QStringLiteral("/books/1.txt"));
        config.addFileHistory(QStringLiteral("/books/5.txt"));
        config.addFileHistory(QStringLiteral("/BOOKS/5.txt"));
        history = config.fileHistory();
        QCOMPARE(history.count(QStringLiteral("/books/5.txt")), 1);
        QCOMPARE(history.at(0), QStringLiteral("/BOOKS/5.txt"));
        QCOMPARE(history.at(1), QStringLiteral("/books/5.txt"));
        QCOMPARE(stored("fileHistory").toStringList(), history);
    }

    void pageRectReportsSameness()
    {
        ReaderConfig config;
        QVERIFY(!config.setPageRect(QRect(2, 2, 100, 50)));
        QVERIFY(config.setPageRect(QRect(2, 2, 100, 50)));
        QVERIFY(!config.setPageRect(QRect(2, 2, 101, 50)));
        QCOMPARE(config.pageRect(), QRect(2, 2, 101, 50));
        QVERIFY(!QFile::exists(iniPath()));
    }
};

QTEST_MAIN(TestReaderConfig)
#include "tst_readerconfig.moc"
