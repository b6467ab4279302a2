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
        QCOMPARE(portal.requested(),
                 (QStringList{"open\t打开文件\tCTRL+SHIFT+o", "close\t关闭文件\tCTRL+SHIFT+c",
                              "contents\t目录\tCTRL+SHIFT+t", "bookmarks\t书签列表\tCTRL+SHIFT+b",
                              "add-bookmark\t添加书签\tCTRL+SHIFT+v", "find\t查找\tCTRL+SHIFT+f",
                              "previous-page\t上一页\tCTRL+SHIFT+Left", "next-page\t下一页\tCTRL+SHIFT+Right",
                              "hide\t隐藏窗口\tCTRL+SHIFT+Down", "show\t显示窗口\tCTRL+SHIFT+Up",
                              "center\t窗口居中\tCTRL+SHIFT+n", "menu\t显示菜单\tCTRL+SHIFT+m",
                              "preferences\t设置\tCTRL+SHIFT+p", "help\t帮助\tCTRL+SHIFT+h",
                              "previous-chapter\t上一章\tCTRL+SHIFT+bracketleft",
                              "next-chapter\t下一章\tCTRL+SHIFT+bracketright", "auto-turn\t自动翻页\tCTRL+SHIFT+a"}));
        // What the desktop bound, which need not be what was asked.
        QCOMPARE(manager.desktopTrigger(Command::PreviousPage), QStringLiteral("CTRL+ALT+Left"));
        QCOMPARE(manager.desktopTrigger(Command::NextPage), QStringLiteral("CTRL+SHIFT+Right"));

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
        // The in-app keys still work.
        QSignalSpy pressed(&manager, &HotKeyManager::hotKeyPressed);
        QKeyEvent right(QEvent::KeyPress, Qt::Key_Right, Qt::NoModifier);
        manager.handleKeyPress(&right);
        QCOMPARE(pressed.size(), 1);
    }
};

QTEST_MAIN(TestPortalShortcuts)
#include "tst_portalshortcuts.moc"
