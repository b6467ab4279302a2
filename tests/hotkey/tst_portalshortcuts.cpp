// Global keys through the real portal frontend and a fake desktop on a private bus.

#include "HotKeyManager.h"
#include "PortalShortcuts.h"
#include "PreferenceDialog.h"
#include "PrivatePortal.h"
#include "ReaderConfig.h"

#include <QLabel>
#include <QtTest>

class TestPortalShortcuts : public QObject
{
    Q_OBJECT

private:
    static bool bound(HotKeyManager &manager)
    {
        return QTest::qWaitFor([&] { return manager.desktopPortal()->state() == PortalShortcuts::Bound; }, 10000);
    }

private slots:
    void initTestCase() { QFile::remove(QCoreApplication::applicationDirPath() + "/tavrilconfig.ini"); }

    void theDesktopIsAskedForEveryGlobalCommand()
    {
        PrivatePortal portal(QStringLiteral(FAKE_PORTAL_BACKEND), {"--assign", "previous-page=CTRL+ALT+Left"});
        QVERIFY(portal.isReady());
        HotKeyManager manager;
        QSignalSpy changed(&manager, &HotKeyManager::globalKeysChanged);
        manager.setPortal(new PortalShortcuts(portal.connection()));
        QVERIFY(bound(manager));
        QVERIFY(!changed.isEmpty());
        // Every command that may have a desktop key, with the chord it has by default as the wish, or none.
        QCOMPARE(
            portal.requested(),
            (QStringList{"open\t打开文件\t", "close\t关闭文件\t", "contents\t目录\t", "bookmarks\t书签列表\t",
                         "add-bookmark\t添加书签\t", "find\t查找\t", "previous-page\t上一页\tCTRL+ALT+SHIFT+Page_Up",
                         "next-page\t下一页\tCTRL+ALT+SHIFT+Page_Down", "hide\t隐藏窗口\tCTRL+ALT+SHIFT+h",
                         "show\t显示窗口\tCTRL+ALT+SHIFT+s", "center\t窗口居中\t", "menu\t显示菜单\t",
                         "preferences\t设置\t", "help\t帮助\t", "previous-chapter\t上一章\tCTRL+ALT+SHIFT+Home",
                         "next-chapter\t下一章\tCTRL+ALT+SHIFT+End", "auto-turn\t自动翻页\t",
                         "read-aloud\t朗读/暂停\t", "stop-reading\t停止朗读\t"}));
        // What the desktop bound, which need not be what was asked.
        QCOMPARE(manager.desktopTrigger(Command::PreviousPage), QStringLiteral("CTRL+ALT+Left"));
        QCOMPARE(manager.desktopTrigger(Command::NextPage), QStringLiteral("CTRL+ALT+SHIFT+Page_Down"));

        // The desktop's presses reach the dispatcher as their commands, and
        // only this reader's session counts.
        HotKeyManager other;
        other.setPortal(new PortalShortcuts(portal.connection()));
        QVERIFY(bound(other));
        QSignalSpy pressed(&manager, &HotKeyManager::hotKeyPressed);
        QSignalSpy pressedOther(&other, &HotKeyManager::hotKeyPressed);
        const QStringList sessions = portal.sessions();
        QCOMPARE(sessions.size(), 2);
        for (const QString &session : sessions)
            QVERIFY(portal.activate(QStringLiteral("next-page"), session));
        QVERIFY(portal.activate(QStringLiteral("previous-chapter")));
        QTRY_COMPARE(pressed.size(), 2);
        QTRY_COMPARE(pressedOther.size(), 2);
        QCOMPARE(pressed.at(0).at(0).value<Command>(), Command::NextPage);
        QCOMPARE(pressed.at(1).at(0).value<Command>(), Command::PreviousChapter);
    }

    void aDesktopWithoutGlobalKeysSaysWhatToDoInstead()
    {
        PrivatePortal portal{QString()};
        QVERIFY(portal.isReady());
        ReaderConfig config;
        HotKeyManager manager;
        manager.setPortal(new PortalShortcuts(portal.connection()));
        QTRY_COMPARE(manager.desktopPortal()->state(), PortalShortcuts::Unavailable);
        PreferenceDialog dialog(&config, &manager);
        auto *line = dialog.findChild<QLabel *>(QStringLiteral("lb_global_keys"));
        QVERIFY2(!line->isHidden() && line->text().contains(QStringLiteral("不提供全局快捷键")) &&
                     line->text().contains(QStringLiteral("tavril --command next-page")),
                 qPrintable(line->text()));
        // The desktop's own words (English, technical) only on the tooltip.
        QVERIFY(!line->toolTip().isEmpty());
        QVERIFY(!line->text().contains(line->toolTip()));
        QVERIFY(!line->text().contains(QRegularExpression("[a-z]{4,} [a-z]{4,} [a-z]{4,}")));
        // The in-app keys still work.
        QSignalSpy pressed(&manager, &HotKeyManager::hotKeyPressed);
        QKeyEvent right(QEvent::KeyPress, Qt::Key_Right, Qt::NoModifier);
        manager.handleKeyPress(&right);
        QCOMPARE(pressed.size(), 1);
    }
};

QTEST_MAIN(TestPortalShortcuts)
#include "tst_portalshortcuts.moc"
