#include "HotKeyManager.h"
#include "MessageLog.h"
#include "QxtGlobalShortcut.h"
#include "TestFiles.h"

#include <QKeyEvent>
#include <QtTest>

namespace {

// The documented table, apart from the code: ids 1-14 and 16-18 with a global
// default of Ctrl+Shift and the in-app key (id + 100); 19 (jump) in-app only.
QMap<int, QString> documentedDefaults()
{
    const QStringList inApp = {"O",  "C", "T", "B", "V", "F", "Left", "Right", "Down",
                               "Up", "N", "M", "P", "H", "[", "]",    "A"};
    QMap<int, QString> table{{19, "G"}};
    for (int i = 0; i < inApp.size(); ++i) {
        table.insert(i < 14 ? i + 1 : i + 2, inApp.at(i));
        table.insert(i < 14 ? i + 101 : i + 102, "Ctrl+Shift+" + inApp.at(i));
    }
    return table;
}

// The [key] group of the ini file, as "id=value" in the order of the ids.
QStringList stored()
{
    QSettings file(iniPath(), QSettings::IniFormat);
    file.beginGroup(QStringLiteral("key"));
    QMap<int, QString> keys;
    for (const QString &key : file.childKeys())
        keys.insert(key.toInt(), key + '=' + file.value(key).toString());
    return keys.values();
}

// The action a key press runs: -1 for none, 0 for more than one.
int press(HotKeyManager &manager, int key, Qt::KeyboardModifiers modifiers = {}, bool autoRepeat = false)
{
    QSignalSpy spy(&manager, &HotKeyManager::hotKeyPressed);
    QKeyEvent event(QEvent::KeyPress, key, modifiers, QString(), autoRepeat);
    manager.handleKeyPress(&event);
    return spy.isEmpty() ? -1 : spy.size() > 1 ? 0 : spy.at(0).at(0).toInt();
}

} // namespace

/// The table and its settings offscreen, where no global key can be bound.
class TestHotKeyManager : public QObject
{
    Q_OBJECT

private slots:
    void init() { QFile::remove(iniPath()); }
    void cleanup() { QFile::remove(iniPath()); }

    void startsFromTheDefaultsWithoutWritingThem()
    {
        MessageLog log;
        HotKeyManager manager;
        QMap<int, QString> table;
        for (int id = -1; id <= 200; ++id)
            if (!manager.hotKey(id).isEmpty())
                table.insert(id, manager.hotKey(id));
        QCOMPARE(table, documentedDefaults());
        QVERIFY(stored().isEmpty());
        // Every global default was offered to the system, which has no global keys here.
        QCOMPARE(log.warnings.filter("QxtGlobalShortcut failed to register: Ctrl+Shift+").size(), 17);
    }

    void aSequenceIsTakenOnlyWhenFreeInBothColumns()
    {
        MessageLog log;
        HotKeyManager manager;
        // Taken sequences, then ids outside the table (15 is quit, menu only), refused with a word.
        for (QString refused : {"1=Ctrl+Shift+O", "102=O", "1=C", "15=Q", "115=Q", "0=Q", "-8=Q", "119=Q"})
            QVERIFY2(!manager.setHotKey(refused.section('=', 0, 0).toInt(), refused.section('=', 1), true),
                     qPrintable(refused));
        QVERIFY(manager.setHotKey(1, "O", true)); // its own: accepted, not written
        QCOMPARE(log.warnings.filter("HotKeyManager:").size(), 5);
        QVERIFY(stored().isEmpty());

        // Two actions swap through a free sequence; a cleared one is written
        // empty, and what it gave up is free for another.
        for (QString change : {"1=X", "2=O", "1=C", "108=", "3=Ctrl+Shift+Right"})
            QVERIFY(manager.setHotKey(change.section('=', 0, 0).toInt(), change.section('=', 1), true));
        QCOMPARE(stored(), (QStringList{"1=C", "2=O", "3=Ctrl+Shift+Right", "108="}));
        // An unknown key's chord has no text either: it must not run the cleared action.
        QVERIFY(press(manager, Qt::Key_unknown) == -1 && press(manager, 0) == -1);
    }

    void storedKeysComeBackAsTheUserLeftThem()
    {
        QVariantMap keys;
        for (const QString &entry :
             QStringLiteral("1=C|2=X|8=|108=bad|15=Q|116=Ctrl+Shift+]|117=Ctrl+Shift+[|5=Z|6=Z|3=B").split('|'))
            keys.insert("key/" + entry.section('=', 0, 0), entry.section('=', 1));
        storeSettings(iniPath(), keys);
        MessageLog log;
        HotKeyManager manager;
        // Swaps and cleared keys come back; of a chord stored twice the lower id keeps it, the other its default;
        // a default a stored key took is left empty; a value that is no sequence stays text and matches no press.
        QMap<int, QString> expected = documentedDefaults();
        for (const QString &entry :
             QStringLiteral("1=C|2=X|3=B|4=|5=Z|8=|108=bad|116=Ctrl+Shift+]|117=Ctrl+Shift+[").split('|'))
            expected.insert(entry.section('=', 0, 0).toInt(), entry.section('=', 1));
        for (int id = -1; id <= 200; ++id)
            QCOMPARE(manager.hotKey(id), expected.value(id));
        QCOMPARE(press(manager, Qt::Key_Right), -1);
        QCOMPARE(press(manager, Qt::Key_C), 1);
    }

    void resetPutsEveryDefaultBackAndWritesThem()
    {
        MessageLog log;
        HotKeyManager manager;
        // Id 2 holds id 1's default: the reset must not refuse it back.
        QVERIFY(manager.setHotKey(1, "X", true) && manager.setHotKey(2, "O", true));
        manager.resetToDefaults(false);
        QCOMPARE(manager.hotKey(1), QStringLiteral("O"));
        QCOMPARE(stored(), (QStringList{"1=X", "2=O"}));
        manager.resetToDefaults(true);
        QStringList all;
        const QMap<int, QString> defaults = documentedDefaults();
        for (auto it = defaults.constBegin(); it != defaults.constEnd(); ++it) {
            all << QStringLiteral("%1=%2").arg(it.key()).arg(it.value());
            QCOMPARE(manager.hotKey(it.key()), it.value());
        }
        QCOMPARE(stored(), all);
    }

    // Key, modifiers, the action run; keypad keys count as the main ones unless with Ctrl.
    void keyPressesMatchTheirChord()
    {
        MessageLog log;
        HotKeyManager manager;
        QVERIFY(manager.setHotKey(HotKeyManager::Find, "5", false));
        const int shift = Qt::ShiftModifier, keypad = Qt::KeypadModifier, ctrl = Qt::ControlModifier;
        const int presses[][2] = {{Qt::Key_O, 1},
                                  {Qt::Key_O | shift, -1},
                                  {Qt::Key_BracketLeft, 16},
                                  {Qt::Key_Left | keypad, 7},
                                  {Qt::Key_5, 6},
                                  {Qt::Key_5 | keypad, 6},
                                  {Qt::Key_5 | ctrl | keypad, -1},
                                  {Qt::Key_Right | ctrl | shift, 108},
                                  {Qt::Key_Control | ctrl, -1}};
        for (const auto &p : presses)
            for (bool held : {false, true}) // held, it repeats
                QVERIFY2(press(manager, p[0] & ~Qt::KeyboardModifierMask,
                               Qt::KeyboardModifiers(p[0] & Qt::KeyboardModifierMask), held) == p[1],
                         qPrintable(QKeySequence(p[0]).toString()));
    }

    void aGlobalKeyTheSystemRefusesStillWorksInTheWindow()
    {
        MessageLog log;
        HotKeyManager manager;
        log.warnings.clear();
        QVERIFY(!manager.bindGlobal(108, "Ctrl+Alt+Right"));
        QCOMPARE(log.warnings, QStringList{"QxtGlobalShortcut failed to register: Ctrl+Alt+Right"});
        QVERIFY(manager.setHotKey(109, "Ctrl+Alt+Down", true));
        QCOMPARE(stored(), QStringList{"109=Ctrl+Alt+Down"});
        QCOMPARE(press(manager, Qt::Key_Down, Qt::ControlModifier | Qt::AltModifier), 109);
        // Only the manager's own shortcuts are believed.
        QSignalSpy spy(&manager, &HotKeyManager::hotKeyPressed);
        QxtGlobalShortcut stranger;
        stranger.setTag(108);
        manager.onGlobalKeyPressed(&stranger);
        manager.onGlobalKeyPressed(nullptr);
        QCOMPARE(spy.count(), 0);
    }
};

QTEST_MAIN(TestHotKeyManager)
#include "tst_hotkeymanager.moc"
