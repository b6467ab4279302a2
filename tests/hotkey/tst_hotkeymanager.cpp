#include "HotKeyManager.h"
#include "MessageLog.h"
#include "QxtGlobalShortcut.h"

#include <QKeyEvent>
#include <QtTest>

namespace {

// The table as the reader documents it, kept apart from the code under test:
// ids 1-14, 16-18, each global default being Ctrl+Shift and the in-app key;
// 19 (jump) has an in-app key only.
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

QString iniPath()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/tavrilconfig.ini");
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

/// The table and its settings on the offscreen platform, where no global key
/// can be bound: what remains must still work.
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
        for (int id = -1; id <= 200; ++id) {
            if (!manager.hotKey(id).isEmpty())
                table.insert(id, manager.hotKey(id));
        }
        QCOMPARE(table, documentedDefaults());
        QVERIFY(stored().isEmpty());
        // Every global default was offered to the system, which has no global keys here.
        QCOMPARE(log.warnings.filter("QxtGlobalShortcut failed to register: Ctrl+Shift+").size(), 17);
    }

    void aSequenceIsTakenOnlyWhenFreeInBothColumns()
    {
        MessageLog log;
        HotKeyManager manager;
        QVERIFY(!manager.setHotKey(1, "Ctrl+Shift+O", true));
        QVERIFY(!manager.setHotKey(102, "O", true));
        QVERIFY(!manager.setHotKey(1, "C", true));
        QVERIFY(manager.setHotKey(1, "O", true)); // its own: accepted, not written
        // Ids outside the table (15 is quit, menu only) are refused with a word.
        for (int id : {15, 115, 0, -8, 119})
            QVERIFY(!manager.setHotKey(id, "Q", true));
        QCOMPARE(log.warnings.filter("HotKeyManager:").size(), 5);
        QVERIFY(stored().isEmpty());

        // Two actions swap through a free sequence; a cleared one is written
        // empty, and what it gave up is free for another.
        for (QString change : {"1=X", "2=O", "1=C", "108=", "3=Ctrl+Shift+Right"})
            QVERIFY(manager.setHotKey(change.section('=', 0, 0).toInt(), change.section('=', 1), true));
        QCOMPARE(stored(), (QStringList{"1=C", "2=O", "3=Ctrl+Shift+Right", "108="}));
        // An unknown key's chord has no text either: it must not run the cleared action.
        QCOMPARE(press(manager, Qt::Key_unknown), -1);
        QCOMPARE(press(manager, 0), -1);
    }

    void storedKeysComeBackAsTheUserLeftThem()
    {
        {
            QSettings file(iniPath(), QSettings::IniFormat);
            for (const QString &entry :
                 QStringLiteral("1=C|2=X|8=|108=bad|15=Q|116=Ctrl+Shift+]|117=Ctrl+Shift+[|5=Z|6=Z|3=B").split('|'))
                file.setValue("key/" + entry.section('=', 0, 0), entry.section('=', 1));
        }
        MessageLog log;
        HotKeyManager manager;
        // The swaps and the cleared key come back; of one chord stored twice
        // (an edited file) the lower id keeps it and the other its default;
        // a default that a stored key took is left empty; a value that is no
        // sequence stays as text and matches no press.
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
        QVERIFY(manager.setHotKey(1, "X", true));
        QVERIFY(manager.setHotKey(2, "O", true));
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

    void keyPressesMatchTheirChord_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<int>("expected");
        QTest::newRow("O") << int(Qt::Key_O) << 0 << 1;
        QTest::newRow("Shift+O") << int(Qt::Key_O) << int(Qt::ShiftModifier) << -1;
        QTest::newRow("[") << int(Qt::Key_BracketLeft) << 0 << 16;
        QTest::newRow("keypad arrow") << int(Qt::Key_Left) << int(Qt::KeypadModifier) << 7;
        QTest::newRow("main-row 5") << int(Qt::Key_5) << 0 << 6;
        QTest::newRow("keypad 5") << int(Qt::Key_5) << int(Qt::KeypadModifier) << 6;
        QTest::newRow("Ctrl+keypad 5") << int(Qt::Key_5) << int(Qt::ControlModifier | Qt::KeypadModifier) << -1;
        QTest::newRow("global chord") << int(Qt::Key_Right) << int(Qt::ControlModifier | Qt::ShiftModifier) << 108;
        QTest::newRow("Ctrl alone") << int(Qt::Key_Control) << int(Qt::ControlModifier) << -1;
    }

    void keyPressesMatchTheirChord()
    {
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(int, expected);
        MessageLog log;
        HotKeyManager manager;
        QVERIFY(manager.setHotKey(HotKeyManager::Find, "5", false));
        QCOMPARE(press(manager, key, Qt::KeyboardModifiers(modifiers)), expected);
        QCOMPARE(press(manager, key, Qt::KeyboardModifiers(modifiers), true), expected); // held, it repeats
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
