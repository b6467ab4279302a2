#include "ForeignXClient.h"
#include "HotKeyManager.h"
#include "MessageLog.h"

#include <QCoreApplication>
#include <QFile>
#include <QKeyEvent>
#include <QScopedPointer>
#include <QSignalSpy>
#include <QtTest>

#include <X11/keysym.h>
#include <xcb/xcb.h>

namespace {

const uint16_t kCtrlShift = XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_SHIFT;

QList<int> ids(const QSignalSpy &spy)
{
    QList<int> result;
    for (const QList<QVariant> &arguments : spy)
        result << arguments.at(0).toInt();
    return result;
}

} // namespace

/// The manager's global keys on a real X server, pressed through XTest.
class TestHotKeyManagerX11 : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QCOMPARE(QGuiApplication::platformName(), QStringLiteral("xcb"));
        QFile::remove(QCoreApplication::applicationDirPath() + "/tavrilconfig.ini");
    }

    void aGlobalDefaultFiresWhileAnotherClientHasTheFocus()
    {
        HotKeyManager manager;
        QSignalSpy spy(&manager, &HotKeyManager::hotKeyPressed);
        ForeignXClient other;
        QVERIFY(other.takeFocus());
        QVERIFY(xdotoolKey("ctrl+shift+Right"));
        QVERIFY(xdotoolKey("ctrl+shift+bracketleft"));
        QTRY_COMPARE_WITH_TIMEOUT(ids(spy), (QList<int>{108, 116}), 5000);
    }

    void aNewSequenceReplacesTheOldGrab()
    {
        HotKeyManager manager;
        QSignalSpy spy(&manager, &HotKeyManager::hotKeyPressed);
        QVERIFY(manager.setHotKey(108, "Ctrl+Alt+Right", false));
        QVERIFY(xdotoolKey("ctrl+shift+Right"));
        QVERIFY(xdotoolKey("ctrl+alt+Right"));
        QVERIFY(spy.wait(5000));
        // Both would emit 108: give a second one time to show up.
        QTest::qWait(200);
        QCOMPARE(ids(spy), QList<int>{108});
        ForeignXClient other;
        QVERIFY(other.grabAllLocks(XK_Right, kCtrlShift));
    }

    void aChordAnotherClientHoldsStaysAnInAppKey()
    {
        ForeignXClient holder;
        QVERIFY(holder.grabAllLocks(XK_o, XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1));
        HotKeyManager manager;
        MessageLog log;
        QVERIFY(!manager.bindGlobal(101, "Ctrl+Alt+O"));
        QCOMPARE(log.warnings, QStringList{"QxtGlobalShortcut failed to register: Ctrl+Alt+O"});
        QCOMPARE(manager.hotKey(101), QStringLiteral("Ctrl+Alt+O"));
        QSignalSpy spy(&manager, &HotKeyManager::hotKeyPressed);
        QKeyEvent event(QEvent::KeyPress, Qt::Key_O, Qt::ControlModifier | Qt::AltModifier);
        manager.handleKeyPress(&event);
        QCOMPARE(ids(spy), QList<int>{101});
    }

    void swappedChordsAreBoundAtStartAndAfterAReset()
    {
        QFile::remove(QCoreApplication::applicationDirPath() + "/tavrilconfig.ini");
        MessageLog log;
        {
            HotKeyManager manager;
            QVERIFY(manager.setHotKey(107, "Ctrl+Alt+1", true));
            QVERIFY(manager.setHotKey(108, "Ctrl+Shift+Left", true));
            QVERIFY(manager.setHotKey(107, "Ctrl+Shift+Right", true));
        }
        HotKeyManager manager; // the swap, from the file
        QSignalSpy spy(&manager, &HotKeyManager::hotKeyPressed);
        QVERIFY(xdotoolKey("ctrl+shift+Right"));
        QTRY_COMPARE_WITH_TIMEOUT(ids(spy), QList<int>{107}, 5000);
        manager.resetToDefaults(true);
        QVERIFY(xdotoolKey("ctrl+shift+Left"));
        QTRY_COMPARE_WITH_TIMEOUT(ids(spy), (QList<int>{107, 107}), 5000);
        QVERIFY(log.warnings.filter("failed to register").isEmpty());
        QVERIFY(!ForeignXClient().grab(XK_Left, kCtrlShift, {0}));
        QFile::remove(QCoreApplication::applicationDirPath() + "/tavrilconfig.ini");
    }

    void aSuspendedManagerHoldsNoChord()
    {
        HotKeyManager manager;
        manager.setGlobalSuspended(true);
        {
            ForeignXClient other;
            QVERIFY(other.grabAllLocks(XK_Right, kCtrlShift));
        }
        QVERIFY(manager.setHotKey(101, "Ctrl+Alt+O", false)); // bound once resumed
        manager.setGlobalSuspended(false);
        QVERIFY(!ForeignXClient().grab(XK_Right, kCtrlShift, {0}));
        QVERIFY(!ForeignXClient().grab(XK_o, XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1, {0}));
    }

    void destroyingTheManagerReleasesEveryGrab()
    {
        QScopedPointer<HotKeyManager> manager(new HotKeyManager);
        QVERIFY(!ForeignXClient().grab(XK_Right, kCtrlShift, {0}));
        manager.reset();
        ForeignXClient other;
        for (uint32_t keysym : {XK_o, XK_c, XK_t, XK_b, XK_v, XK_f, XK_Left, XK_Right, XK_Down, XK_Up, XK_n, XK_m, XK_p,
                                XK_h, XK_bracketleft, XK_bracketright})
            QVERIFY2(other.grabAllLocks(keysym, kCtrlShift), qPrintable(QString::number(keysym, 16)));
    }
};

QTEST_MAIN(TestHotKeyManagerX11)
#include "tst_hotkeymanager_x11.moc"
