#include "ReaderConfig.h"

#include <QApplication>
#include <QScreen>
#include <QSettings>
#include <QSignalSpy>
#include <QtTest>

#include <functional>

using C = ReaderConfig;
using Setter = std::function<void(C &)>;
Q_DECLARE_METATYPE(Setter)

class TestReaderConfig : public QObject
{
    Q_OBJECT

    QString iniPath() const { return QCoreApplication::applicationDirPath() + QStringLiteral("/tavrilconfig.ini"); }
    QVariant stored(const QString &key) const
    {
        QSettings settings(iniPath(), QSettings::IniFormat);
        settings.setIniCodec("UTF8");
        return settings.value(key);
    }

private slots:
    void init() { QFile::remove(iniPath()); }
    void cleanupTestCase() { QFile::remove(iniPath()); }

    // Each key as earlier versions wrote it, and the signal that applies it.
    void eachSetterWritesItsKey_data()
    {
        QTest::addColumn<Setter>("set");
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QList<int>>("emitted"); // fontChanged, backgroundChanged, topOnWindow
        const QList<int> font = {1, 0, 0}, background = {0, 1, 0}, none = {0, 0, 0};
        auto row = [](const char *key, const QVariant &value, const QList<int> &emitted, const Setter &set) {
            QTest::newRow(key) << set << value << emitted;
        };
        row("font/linespace", "7", font, [](C &c) { c.setLineSpace(7); });
        row("font/letterspace", "3", font, [](C &c) { c.setLetterSpace(3); });
        row("font/color", QColor(1, 2, 3), font, [](C &c) { c.setTextColor(QColor(1, 2, 3)); });
        row("font/font", QFont("DejaVu Serif", 17), font, [](C &c) { c.setFont(QFont("DejaVu Serif", 17)); });
        row("view/showProgress", "true", font, [](C &c) { c.setShowProgress(true); });
        row("view/punctuationRules", "true", font, [](C &c) { c.setPunctuationRules(true); });
        row("view/autoTurnSeconds", "120", none, [](C &c) { c.setAutoTurnSeconds(500); });
        row("window/bgType", "1", background, [](C &c) { c.setBgType(1); });
        row("window/translucent", "40", background, [](C &c) { c.setTranslucent(40); });
        row("window/bgColor", QColor(Qt::black), background, [](C &c) { c.setBgColor(Qt::black); });
        row("window/isTop", "true", {0, 0, 1}, [](C &c) { c.setTop(true); });
        row("window/rememberWin", "true", none, [](C &c) { c.setRememberWin(true); });
        row("window/tray", "true", none, [](C &c) { c.setTray(true); });
        row("window/openLastFile", "true", none, [](C &c) { c.setOpenLastFile(true); });
        row("window/rect", QRect(5, 6, 70, 80), none, [](C &c) { c.setWindowRect(QRect(5, 6, 70, 80)); });
        row("shortcut/clickNextPage", "true", none, [](C &c) { c.setClickNextPage(true); });
        row("shortcut/doublceClickHide", "true", none, [](C &c) { c.setDoubleClickHide(true); });
        row("shortcut/wheelTurnPage", "true", none, [](C &c) { c.setWheelTurnPage(true); });
        row("update/checkAtStart", "false", none, [](C &c) { c.setCheckUpdateAtStart(false); });
        row("fileHistory", "/书/一, 二.txt", none, [](C &c) { c.addFileHistory("/书/一, 二.txt"); });
        row("content/encodings", "big5|/书/a", none, [](C &c) { c.setBookEncoding("/书/a", TextEncoding::Big5); });
    }
    void eachSetterWritesItsKey()
    {
        QFETCH(Setter, set);
        QFETCH(QVariant, value);
        QFETCH(QList<int>, emitted);
        ReaderConfig config;
        QSignalSpy font(&config, &ReaderConfig::fontChanged);
        QSignalSpy background(&config, &ReaderConfig::backgroundChanged);
        QSignalSpy top(&config, &ReaderConfig::topOnWindow);
        set(config);
        QCOMPARE(stored(QTest::currentDataTag()), value);
        QCOMPARE((QList<int>{font.count(), background.count(), top.count()}), emitted);
    }

    // What was set is there at the next start; the window's rectangle only
    // while it is remembered, and then as it was (the window brings it onto
    // the screen). Loading, or the page's rectangle, writes nothing.
    void storedValuesComeBack()
    {
        const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
        const QRect middle(screen.width() / 3, screen.height() / 3, screen.width() / 3, screen.height() / 3);
        QCOMPARE(ReaderConfig().windowRect(), middle);
        ReaderConfig page;
        QVERIFY(!page.setPageRect(QRect(2, 2, 9, 9)) && page.setPageRect(QRect(2, 2, 9, 9)));
        QVERIFY(!QFile::exists(iniPath()));
        const QList<void (C::*)(bool)> setters = {&C::setTop,
                                                  &C::setTray,
                                                  &C::setOpenLastFile,
                                                  &C::setClickNextPage,
                                                  &C::setDoubleClickHide,
                                                  &C::setWheelTurnPage,
                                                  &C::setShowProgress,
                                                  &C::setPunctuationRules};
        const QList<bool (C::*)() const> getters = {
            &C::isTop,           &C::tray,          &C::openLastFile, &C::clickNextPage,
            &C::doubleClickHide, &C::wheelTurnPage, &C::showProgress, &C::punctuationRules};
        {
            ReaderConfig writer;
            for (auto set : setters)
                (writer.*set)(true);
            writer.setLineSpace(7);
            writer.setAutoTurnSeconds(30);
            writer.setCheckUpdateAtStart(false);
            writer.setFont(QFont(QStringLiteral("DejaVu Sans"), 21));
            writer.setLetterSpace(4);
            writer.setBgColor(QColor(1, 2, 3));
            writer.setTranslucent(30);
            writer.setWindowRect(QRect(-500, 9000, 300, 200));
            writer.addFileHistory(QStringLiteral("/书/一, 二.txt"));
            writer.addFileHistory(QStringLiteral("/书/三.txt"));
            writer.setBookEncoding(QStringLiteral("/书/三.txt"), TextEncoding::Utf16Be);
        }
        ReaderConfig config;
        for (int i = 0; i < getters.size(); ++i)
            QVERIFY2((config.*getters.at(i))(), qPrintable(QStringLiteral("switch %1").arg(i)));
        QVERIFY(config.lineSpace() == 7 && config.autoTurnSeconds() == 30 && !config.checkUpdateAtStart());
        QCOMPARE(config.font().family(), QStringLiteral("DejaVu Sans"));
        QCOMPARE(config.font().letterSpacing(), 4.0);
        QVERIFY(config.bgColor() == QColor(1, 2, 3) && config.translucent() == 30);
        QCOMPARE(config.fileHistory(), (QStringList{"/书/三.txt", "/书/一, 二.txt"}));
        QCOMPARE(config.bookEncoding(QStringLiteral("/书/三.txt")), TextEncoding::Utf16Be);
        QCOMPARE(config.windowRect(), middle);
        config.setRememberWin(true);
        QCOMPARE(ReaderConfig().windowRect(), QRect(-500, 9000, 300, 200));
    }

    void damagedValuesFallBackToTheirDefaults()
    {
        const ReaderConfig defaults;
        // A string list claiming 2^31 entries stopped every start with
        // std::bad_alloc; a huge line spacing overflowed the page arithmetic.
        QFile file(iniPath());
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("[General]\nfileHistory=@Variant(\\0\\0\\0\\v\\x7f\\xff\\xff\\xff)\n"
                   "[window]\nbgType=abc\ntranslucent=250\nbgColor=12\nisTop=maybe\nrememberWin=true\nrect=nonsense\n"
                   "[shortcut]\nwheelTurnPage=2\n[font]\nfont=@Variant(garbage\ncolor=not a colour\n"
                   "linespace=2147483647\nletterspace=y\n[update]\ncheckAtStart=0\n");
        file.close();
        ReaderConfig config;
        QVERIFY(config.bgType() == defaults.bgType() && config.translucent() == defaults.translucent());
        QVERIFY(config.bgColor() == defaults.bgColor() && config.textColor() == defaults.textColor());
        QVERIFY(config.isTop() == defaults.isTop() && config.wheelTurnPage() == defaults.wheelTurnPage());
        QVERIFY(config.rememberWin() && !config.checkUpdateAtStart());
        QCOMPARE(config.windowRect(), defaults.windowRect());
        QCOMPARE(config.font(), defaults.font());
        QCOMPARE(config.lineSpace(), defaults.lineSpace());
        QVERIFY(config.fileHistory().isEmpty());
        // Only the line that could not be loaded safely left the file.
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray left = file.readAll();
        QVERIFY(!left.contains("fileHistory") && left.contains("linespace=2147483647"));
    }

    void theHistoryKeepsTenDistinctPaths()
    {
        ReaderConfig config;
        for (const QString &name : QStringLiteral("0 1 2 3 4 5 6 7 8 9 10 5").split(' '))
            config.addFileHistory("/books/" + name + ".txt");
        config.addFileHistory(QStringLiteral("/BOOKS/5.txt"));
        const QStringList expected = {"/BOOKS/5.txt", "/books/5.txt", "/books/10.txt", "/books/9.txt", "/books/8.txt",
                                      "/books/7.txt", "/books/6.txt", "/books/4.txt",  "/books/3.txt", "/books/2.txt"};
        QCOMPARE(config.fileHistory(), expected);
        QCOMPARE(stored("fileHistory").toStringList(), expected);
    }
};

QTEST_MAIN(TestReaderConfig)
#include "tst_readerconfig.moc"
