#include "HotKeyManager.h"
#include "MessageLog.h"
#include "QxtGlobalShortcut.h"

#include <QCoreApplication>
#include <QFile>
#include <QKeyEvent>
#include <QSettings>
#include <QSignalSpy>
#include <QtTest>

namespace {

// The table as the reader documents it, kept apart from the code under test:
// ids 1-14, 16-18, each global default being Ctrl+Shift and the in-app key;
// 19 (jump) has an in-app key only.
const QStringList kInApp = {"O",  "C", "T", "B", "V", "F", "Left", "Right", "Down",
                            "Up", "N", "M", "P", "H", "[", "]",    "A"};

QMap<int, QString> documentedDefaults()
{
    QMap<int, QString> table;
    for (int i = 0; i < kInApp.size(); ++i) {
        const int id = i < 14 ? i + 1 : i + 2;
        table.insert(id, kInApp.at(i));
        table.insert(id + 100, "Ctrl+Shift+" + kInApp.at(i));
    }
    table.insert(19, "G");
    return table;
}

QList<int> pressAll(HotKeyManager &manager, std::initializer_list<QKeyEvent> events)
{
    QSignalSpy spy(&manager, &HotKeyManager::hotKeyPressed);
    for (QKeyEvent event : events)
        manager.handleKeyPress(&event);
    QList<int> ids;
    for (const QList<QVariant> &arguments : spy)
        ids << arguments.at(0).toInt();
    return ids;
}

QKeyEvent press(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier, bool autoRepeat = false)
{
    return QKeyEvent(QEvent::KeyPress, key, modifiers, QString(), autoRepeat);
}

} // namespace

/// The table and its settings on the offscreen platform, where no global key
/// can be bound: what remains must still work.
class TestHotKeyManager : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { iniPath = QCoreApplication::applicationDirPath() + QStringLiteral("/tavrilconfig.ini"); }
    void init() { QFile::remove(iniPath); }
    void cleanup() { QFile::remove(iniPath); }

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

    void aSequenceInUseIsRefusedAcrossBothColumns()
    {
        MessageLog log;
        HotKeyManager manager;
        QVERIFY(!manager.setHotKey(1, "Ctrl+Shift+O", true));
        QVERIFY(!manager.setHotKey(102, "O", true));
        QCOMPARE(manager.hotKey(1), QStringLiteral("O"));
        QCOMPARE(manager.hotKey(102), QStringLiteral("Ctrl+Shift+C"));
        // The sequence an action already has is accepted, and not written.
        QVERIFY(manager.setHotKey(1, "O", true));
        QVERIFY(stored().isEmpty());
        // Ids outside the table (15 is quit, menu only) are refused with a word.
        for (int id : {15, 115, 0, -8, 119})
            QVERIFY(!manager.setHotKey(id, "Q", true));
        QCOMPARE(log.warnings.filter("HotKeyManager:").size(), 5);
        QCOMPARE(manager.hotKey(15), QString());
        QVERIFY(stored().isEmpty());
    }

    void twoActionsSwapOnlyThroughAFreeSequence()
    {
        MessageLog log;
        HotKeyManager manager;
        QVERIFY(!manager.setHotKey(1, "C", true));
        QVERIFY(manager.setHotKey(1, "X", true));
        QVERIFY(manager.setHotKey(2, "O", true));
        QVERIFY(manager.setHotKey(1, "C", true));
        const QMap<QString, QString> expected{{"1", "C"}, {"2", "O"}};
        QCOMPARE(stored(), expected);
    }

    void theEmptySequenceIsNeverRefusedAndIsWrittenEmpty()
    {
        MessageLog log;
        HotKeyManager manager;
        QVERIFY(manager.setHotKey(1, QString(), true));
        QVERIFY(manager.setHotKey(108, QString(), true));
        // What the cleared action gave up is free for another.
        QVERIFY(manager.setHotKey(3, "O", true));
        const QMap<QString, QString> expected{{"1", ""}, {"108", ""}, {"3", "O"}};
        QCOMPARE(stored(), expected);
        QCOMPARE(manager.hotKey(108), QString());
        // An unknown key's chord has no text either: it must not run the cleared actions.
        QCOMPARE(pressAll(manager, {press(Qt::Key_unknown), press(0)}), QList<int>{});
    }

    void storedKeysComeBackAsTheUserLeftThem()
    {
        // Id 2 was given X, then id 1 took "C"; the global keys of previous
        // and next page were swapped. All of it comes back at the next start.
        store({{"1", "C"},
               {"2", "X"},
               {"8", ""},
               {"108", "garbage"},
               {"15", "Q"},
               {"107", "Ctrl+Q"},
               {"116", "Ctrl+Shift+]"},
               {"117", "Ctrl+Shift+["},
               {"5", "Z"},
               {"6", "Z"},
               {"3", "B"}});
        MessageLog log;
        HotKeyManager manager;
        QCOMPARE(manager.hotKey(1), QStringLiteral("C"));
        QCOMPARE(manager.hotKey(2), QStringLiteral("X"));
        QCOMPARE(manager.hotKey(8), QString());
        QCOMPARE(manager.hotKey(107), QStringLiteral("Ctrl+Q"));
        QCOMPARE(manager.hotKey(116), QStringLiteral("Ctrl+Shift+]"));
        QCOMPARE(manager.hotKey(117), QStringLiteral("Ctrl+Shift+["));
        QCOMPARE(manager.hotKey(15), QString());
        // An edited file with one chord twice: the lower id keeps it, the
        // other its default; a default a stored key took is left empty.
        QCOMPARE(manager.hotKey(5), QStringLiteral("Z"));
        QCOMPARE(manager.hotKey(6), QStringLiteral("F"));
        QCOMPARE(manager.hotKey(3), QStringLiteral("B"));
        QCOMPARE(manager.hotKey(4), QString());
        // A value that is no sequence stays as text and matches no press.
        QCOMPARE(manager.hotKey(108), QStringLiteral("garbage"));
        QCOMPARE(pressAll(manager, {press(Qt::Key_Right), press(Qt::Key_K), press(Qt::Key_Q)}), QList<int>{});
        QCOMPARE(pressAll(manager, {press(Qt::Key_C)}), QList<int>{1});
    }

    void resetPutsEveryDefaultBackAndWritesAll32()
    {
        MessageLog log;
        HotKeyManager manager;
        // Id 2 holds id 1's default: the reset must not refuse it back.
        QVERIFY(manager.setHotKey(1, "X", true));
        QVERIFY(manager.setHotKey(2, "O", true));
        QVERIFY(manager.setHotKey(101, QString(), true));
        manager.resetToDefaults(false);
        QCOMPARE(manager.hotKey(1), QStringLiteral("O"));
        QCOMPARE(manager.hotKey(101), QStringLiteral("Ctrl+Shift+O"));
        QCOMPARE(stored().size(), 3);

        QVERIFY(manager.setHotKey(17, "Z", false));
        manager.resetToDefaults(true);
        QMap<QString, QString> expected;
        const QMap<int, QString> defaults = documentedDefaults();
        for (auto it = defaults.constBegin(); it != defaults.constEnd(); ++it) {
            expected.insert(QString::number(it.key()), it.value());
            QCOMPARE(manager.hotKey(it.key()), it.value());
        }
        QCOMPARE(stored(), expected);
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
        const QList<int> ids = pressAll(manager, {press(key, Qt::KeyboardModifiers(modifiers))});
        QCOMPARE(ids, expected == -1 ? QList<int>{} : QList<int>{expected});
    }

    void heldKeysRepeatTheirAction()
    {
        MessageLog log;
        HotKeyManager manager;
        const QList<int> ids = pressAll(manager, {press(Qt::Key_Right), press(Qt::Key_Right, Qt::NoModifier, true),
                                                  press(Qt::Key_Right, Qt::NoModifier, true)});
        QCOMPARE(ids, (QList<int>{8, 8, 8}));
        manager.handleKeyPress(nullptr);
    }

    void aGlobalKeyTheSystemRefusesStillWorksInTheWindow()
    {
        MessageLog log;
        HotKeyManager manager;
        log.warnings.clear();
        QVERIFY(!manager.bindGlobal(108, "Ctrl+Alt+Right"));
        QCOMPARE(log.warnings, QStringList{"QxtGlobalShortcut failed to register: Ctrl+Alt+Right"});
        QVERIFY(manager.setHotKey(109, "Ctrl+Alt+Down", true));
        QCOMPARE(stored().value("109"), QStringLiteral("Ctrl+Alt+Down"));
        QCOMPARE(pressAll(manager, {press(Qt::Key_Down, Qt::ControlModifier | Qt::AltModifier)}), QList<int>{109});
        // Only the manager's own shortcuts are believed.
        QSignalSpy spy(&manager, &HotKeyManager::hotKeyPressed);
        QxtGlobalShortcut stranger;
        stranger.setTag(108);
        manager.onGlobalKeyPressed(&stranger);
        manager.onGlobalKeyPressed(nullptr);
        QCOMPARE(spy.count(), 0);
    }

private:
    QMap<QString, QString> stored() const
    {
        QSettings file(iniPath, QSettings::IniFormat);
        file.beginGroup(QStringLiteral("key"));
        QMap<QString, QString> keys;
        for (const QString &key : file.childKeys())
            keys.insert(key, file.value(key).toString());
        return keys;
    }

    void store(const QMap<QString, QString> &keys) const
    {
        QSettings file(iniPath, QSettings::IniFormat);
        for (auto it = keys.constBegin(); it != keys.constEnd(); ++it)
            file.setValue("key/" + it.key(), it.value());
    }

    QString iniPath;
};

QTEST_MAIN(TestHotKeyManager)
#include "tst_hotkeymanager.moc"
