#include "HotKeyManager.h"
#include "MessageLog.h"
#include "QxtGlobalShortcut.h"
#include "TestFiles.h"

#include <QKeyEvent>
#include <QtTest>

namespace {

// A command's key by name: "next-page" in the window, "next-page@g" on the whole desktop.
KeyBinding binding(const QString &spec)
{
    const CommandInfo *command = CommandTable::byName(spec.section('@', 0, 0));
    if (!command)
        qFatal("no command %s", qPrintable(spec));
    return {command->command, spec.endsWith("@g") ? KeyScope::Global : KeyScope::InApp};
}

bool set(HotKeyManager &manager, const QString &change, bool save = true)
{
    const KeyBinding key = binding(change.section('=', 0, 0));
    return manager.setHotKey(key.command, key.scope, change.section('=', 1), save);
}

// The documented defaults, apart from the code: each command's in-app key; on the desktop only pages,
// chapters, hiding and showing, on Ctrl+Alt+Shift chords that terminals and browsers leave alone.
QMap<QString, QString> documentedDefaults()
{
    const QStringList keys = {"open=O",         "close=C", "contents=T",         "bookmarks=B",
                              "add-bookmark=V", "find=F",  "previous-page=Left", "next-page=Right",
                              "hide=Down",      "show=Up", "center=N",           "menu=M",
                              "preferences=P",  "help=H",  "previous-chapter=[", "next-chapter=]",
                              "auto-turn=A",    "read-aloud=R", "stop-reading=S", "undo-sync=Z"};
    QMap<QString, QString> table{{"jump", "G"},
                                 {"previous-page@g", "Ctrl+Alt+Shift+PgUp"},
                                 {"next-page@g", "Ctrl+Alt+Shift+PgDown"},
                                 {"previous-chapter@g", "Ctrl+Alt+Shift+Home"},
                                 {"next-chapter@g", "Ctrl+Alt+Shift+End"},
                                 {"hide@g", "Ctrl+Alt+Shift+H"},
                                 {"show@g", "Ctrl+Alt+Shift+S"}};
    for (const QString &key : keys)
        table.insert(key.section('=', 0, 0), key.section('=', 1));
    return table;
}

// Every key the manager holds, by name.
QMap<QString, QString> table(const HotKeyManager &manager)
{
    QMap<QString, QString> keys;
    for (const CommandInfo &command : CommandTable::rows()) {
        for (KeyScope scope : {KeyScope::InApp, KeyScope::Global}) {
            const QString key = manager.hotKey(command.command, scope);
            if (!key.isEmpty())
                keys.insert(QLatin1String(command.name) + (scope == KeyScope::Global ? "@g" : ""), key);
        }
    }
    return keys;
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

// The command a key press runs: empty for none, "*" for more than one.
QString press(HotKeyManager &manager, int key, Qt::KeyboardModifiers modifiers = {}, bool autoRepeat = false)
{
    QSignalSpy spy(&manager, &HotKeyManager::hotKeyPressed);
    QKeyEvent event(QEvent::KeyPress, key, modifiers, QString(), autoRepeat);
    manager.handleKeyPress(&event);
    return spy.isEmpty() ? QString() : spy.size() > 1 ? "*" : CommandTable::name(spy.at(0).at(0).value<Command>());
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
        QCOMPARE(table(manager), documentedDefaults());
        QVERIFY(stored().isEmpty());
        // Where there are no global keys at all, nothing is worth a warning.
        QCOMPARE(log.warnings, QStringList());
    }

    void aSequenceIsTakenOnlyWhenFreeInBothColumns()
    {
        MessageLog log;
        HotKeyManager manager;
        // Taken sequences, then keys a command cannot have (quit none, jump none on the desktop).
        for (QString refused : {"open=Ctrl+Alt+Shift+PgDown", "close@g=O", "open=C", "quit=Q", "quit@g=Q", "jump@g=Q"})
            QVERIFY2(!set(manager, refused), qPrintable(refused));
        QVERIFY(set(manager, "open=O")); // its own: accepted, not written
        QVERIFY(stored().isEmpty());

        // Two commands swap through a free sequence; a cleared one is written
        // empty, and what it gave up is free for another.
        for (QString change : {"open=X", "close=O", "open=C", "next-page@g=", "contents=Ctrl+Shift+Right"})
            QVERIFY(set(manager, change));
        QCOMPARE(stored(), (QStringList{"1=C", "2=O", "3=Ctrl+Shift+Right", "108="}));
        // An unknown key's chord has no text either: it must not run the cleared command.
        QCOMPARE(press(manager, Qt::Key_unknown) + press(manager, 0), QString());
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
        // Swaps and cleared keys come back; of a chord stored twice the first keeps it, the other its default;
        // a default a stored key took is left empty; a value that is no sequence stays text and matches no press.
        QMap<QString, QString> expected = documentedDefaults();
        for (const QString &entry : QStringLiteral("open=C|close=X|contents=B|add-bookmark=Z|next-page@g=bad|"
                                                   "previous-chapter@g=Ctrl+Shift+]|next-chapter@g=Ctrl+Shift+[")
                                        .split('|'))
            expected.insert(entry.section('=', 0, 0), entry.section('=', 1));
        expected.remove("bookmarks");
        expected.remove("undo-sync"); // its Z went to add-bookmark
        expected.remove("next-page");
        QCOMPARE(table(manager), expected);
        QCOMPARE(press(manager, Qt::Key_Right), QString());
        QCOMPARE(press(manager, Qt::Key_C), QStringLiteral("open"));
    }

    void resetPutsEveryDefaultBackAndWritesThem()
    {
        MessageLog log;
        HotKeyManager manager;
        // close holds open's default: the reset must not refuse it back.
        QVERIFY(set(manager, "open=X"));
        QVERIFY(set(manager, "close=O"));
        manager.resetToDefaults(false);
        QCOMPARE(manager.hotKey(Command::Open, KeyScope::InApp), QStringLiteral("O"));
        QCOMPARE(stored(), (QStringList{"1=X", "2=O"}));
        manager.resetToDefaults(true);
        QCOMPARE(table(manager), documentedDefaults());
        QCOMPARE(stored().size(), 42); // every key there can be, the empty ones too
        QVERIFY(stored().contains("108=Ctrl+Alt+Shift+PgDown"));
        QVERIFY(stored().contains("19=G"));
        QVERIFY(stored().contains("101="));
    }

    // Key, modifiers, the command run; keypad keys count as the main ones unless with Ctrl.
    void keyPressesMatchTheirChord()
    {
        MessageLog log;
        HotKeyManager manager;
        QVERIFY(set(manager, "find=5", false));
        const int shift = Qt::ShiftModifier, keypad = Qt::KeypadModifier, ctrl = Qt::ControlModifier;
        const int alt = Qt::AltModifier;
        const QList<QPair<int, QString>> presses = {{Qt::Key_O, "open"},
                                                    {Qt::Key_O | shift, ""},
                                                    {Qt::Key_BracketLeft, "previous-chapter"},
                                                    {Qt::Key_Left | keypad, "previous-page"},
                                                    {Qt::Key_5, "find"},
                                                    {Qt::Key_5 | keypad, "find"},
                                                    {Qt::Key_5 | ctrl | keypad, ""},
                                                    {Qt::Key_Right | ctrl | shift, ""},
                                                    {Qt::Key_PageDown | ctrl | shift | alt, "next-page"},
                                                    {Qt::Key_Control | ctrl, ""}};
        for (const auto &p : presses)
            for (bool held : {false, true}) // held, it repeats
                QCOMPARE(press(manager, p.first & ~Qt::KeyboardModifierMask,
                               Qt::KeyboardModifiers(p.first & Qt::KeyboardModifierMask), held),
                         p.second);
    }

    void aGlobalKeyTheSystemRefusesStillWorksInTheWindow()
    {
        MessageLog log;
        HotKeyManager manager;
        log.warnings.clear();
        QVERIFY(!manager.bindGlobal(Command::NextPage, "Ctrl+Alt+Right"));
        QVERIFY(set(manager, "hide@g=Ctrl+Alt+Down"));
        QCOMPARE(stored(), QStringList{"109=Ctrl+Alt+Down"});
        QCOMPARE(press(manager, Qt::Key_Down, Qt::ControlModifier | Qt::AltModifier), QStringLiteral("hide"));
        // Only the manager's own shortcuts are believed.
        QSignalSpy spy(&manager, &HotKeyManager::hotKeyPressed);
        QxtGlobalShortcut stranger;
        stranger.setTag(int(Command::NextPage));
        manager.onGlobalKeyPressed(&stranger);
        manager.onGlobalKeyPressed(nullptr);
        QCOMPARE(spy.count(), 0);
    }
};

QTEST_MAIN(TestHotKeyManager)
#include "tst_hotkeymanager.moc"
