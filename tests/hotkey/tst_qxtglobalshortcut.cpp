#include "ForeignXClient.h"
#include "MessageLog.h"
#include "QxtGlobalShortcut.h"

#include <QGuiApplication>
#include <QScopedPointer>
#include <QSignalSpy>
#include <QtTest>

#include <X11/keysym.h>
#include <xcb/xcb.h>

namespace {
const uint16_t kCtrlAlt = XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1;
}

/// The grabs themselves, on a real X server. (Where the platform has no
/// global keys, tst_hotkeymanager sees the refusal.)
class TestQxtGlobalShortcut : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QCOMPARE(QGuiApplication::platformName(), QStringLiteral("xcb")); }

    void aPressFiresWhateverTheLockKeys_data()
    {
        QTest::addColumn<QString>("locks");
        QTest::newRow("no lock") << QString();
        QTest::newRow("NumLock") << QStringLiteral("Num_Lock");
        QTest::newRow("CapsLock") << QStringLiteral("Caps_Lock");
        QTest::newRow("both") << QStringLiteral("Num_Lock Caps_Lock");
    }
    void aPressFiresWhateverTheLockKeys()
    {
        QFETCH(QString, locks);
        QxtGlobalShortcut shortcut;
        shortcut.setTag(108);
        QSignalSpy spy(&shortcut, &QxtGlobalShortcut::activated);
        QVERIFY(shortcut.setShortcut(QKeySequence("Ctrl+Alt+K")));
        ForeignXClient other;
        QVERIFY(other.takeFocus());
        // A lock key toggles; pressing it again after the chord puts it back.
        const bool sent = (locks.isEmpty() || xdotoolKey(locks)) && xdotoolKey("ctrl+alt+k") &&
                          (locks.isEmpty() || xdotoolKey(locks));
        QVERIFY(sent);
        QVERIFY(spy.wait(5000));
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy.at(0).at(0).value<void *>(), static_cast<void *>(&shortcut));
        QCOMPARE(shortcut.getTag(), 108);
    }

    void sequencesWithoutOneRealKeyBindNothing_data()
    {
        QTest::addColumn<QKeySequence>("sequence");
        QTest::addColumn<int>("warnings");
        QTest::newRow("empty") << QKeySequence() << 0;
        QTest::newRow("two chords") << QKeySequence("Ctrl+Alt+A, B") << 1;
        QTest::newRow("garbage") << QKeySequence::fromString("garbage") << 1;
        QTest::newRow("no keysym") << QKeySequence(Qt::Key_Launch0 | Qt::ControlModifier) << 1;
    }
    void sequencesWithoutOneRealKeyBindNothing()
    {
        QFETCH(QKeySequence, sequence);
        QFETCH(int, warnings);
        QxtGlobalShortcut shortcut;
        QVERIFY(shortcut.setShortcut(QKeySequence("Ctrl+Alt+L")));
        MessageLog log;
        QVERIFY(!shortcut.setShortcut(sequence));
        QCOMPARE(log.warnings.filter("QxtGlobalShortcut failed to register:").size(), warnings);
        // The previous chord was released all the same.
        ForeignXClient other;
        QVERIFY(other.grabAllLocks(XK_l, kCtrlAlt));
    }

    void twoOfOurShortcutsCannotShareAChord()
    {
        QScopedPointer<QxtGlobalShortcut> first(new QxtGlobalShortcut);
        QxtGlobalShortcut second;
        QSignalSpy firstSpy(first.data(), &QxtGlobalShortcut::activated);
        QSignalSpy secondSpy(&second, &QxtGlobalShortcut::activated);
        QVERIFY(first->setShortcut(QKeySequence("Ctrl+Alt+P")));
        {
            MessageLog log;
            QVERIFY(!second.setShortcut(QKeySequence("Ctrl+Alt+P")));
            QCOMPARE(log.warnings, QStringList{"QxtGlobalShortcut failed to register: Ctrl+Alt+P"});
        }
        // The refusal must not have taken the chord from the first one.
        QVERIFY(xdotoolKey("ctrl+alt+p"));
        QVERIFY(firstSpy.wait(5000));
        QCOMPARE(secondSpy.count(), 0);
        first.reset();
        QVERIFY(second.setShortcut(QKeySequence("Ctrl+Alt+P")));
    }

    void aRefusedGrabLeavesNoVariantBehind()
    {
        // The other client holds only the NumLock variant: ours gets the
        // others at first and must give them back.
        ForeignXClient holder;
        QVERIFY(holder.grab(XK_q, kCtrlAlt, {XCB_MOD_MASK_2}));
        QxtGlobalShortcut shortcut;
        MessageLog log;
        QVERIFY(!shortcut.setShortcut(QKeySequence("Ctrl+Alt+Q")));
        QCOMPARE(log.warnings, QStringList{"QxtGlobalShortcut failed to register: Ctrl+Alt+Q"});
        ForeignXClient other;
        QVERIFY(other.grab(XK_q, kCtrlAlt, {0, XCB_MOD_MASK_LOCK, XCB_MOD_MASK_2 | XCB_MOD_MASK_LOCK}));
    }
};

QTEST_MAIN(TestQxtGlobalShortcut)
#include "tst_qxtglobalshortcut.moc"
