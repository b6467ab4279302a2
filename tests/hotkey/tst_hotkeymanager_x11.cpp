// Global keys on a real X server; another X client holds chords and the focus, xdotool presses through XTest.

#include "HotKeyManager.h"
#include "KeyLineLabel.h"
#include "MessageLog.h"
#include "PreferenceDialog.h"
#include "QxtGlobalShortcut.h"
#include "ReaderConfig.h"
#include "TestFiles.h"

#include <QtTest>

#include <X11/keysym.h>
#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>

#include <cstdlib>

namespace {

const uint16_t kCtrlShift = XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_SHIFT;
const uint16_t kCtrlAlt = XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1;
const uint16_t kCtrlAltShift = kCtrlAlt | XCB_MOD_MASK_SHIFT;

/// A second X client beside the one under test.
class ForeignXClient
{
public:
    ForeignXClient() : connection(xcb_connect(nullptr, nullptr))
    {
        if (!xcb_connection_has_error(connection))
            root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
    }
    ~ForeignXClient() { xcb_disconnect(connection); }

    /// Holds `keysym` with `modifiers` and each of `locks` (all lock variants) while it lives; true: all grabbed.
    bool grab(xcb_keysym_t keysym, uint16_t modifiers,
              std::initializer_list<uint16_t> locks = {0, XCB_MOD_MASK_2, XCB_MOD_MASK_LOCK,
                                                       XCB_MOD_MASK_2 | XCB_MOD_MASK_LOCK})
    {
        xcb_key_symbols_t *symbols = xcb_key_symbols_alloc(connection);
        xcb_keycode_t *codes = root ? xcb_key_symbols_get_keycode(symbols, keysym) : nullptr;
        const xcb_keycode_t keycode = codes ? codes[0] : 0;
        std::free(codes);
        xcb_key_symbols_free(symbols);
        bool all = keycode != 0;
        for (uint16_t lock : locks) {
            xcb_generic_error_t *error =
                xcb_request_check(connection, xcb_grab_key_checked(connection, 1, root, modifiers | lock, keycode,
                                                                   XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
            all = all && !error;
            std::free(error);
        }
        return all;
    }

    /// Maps a window of this client and gives it the input focus.
    bool takeFocus()
    {
        const xcb_window_t window = xcb_generate_id(connection);
        const xcb_screen_t *screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
        xcb_create_window(connection, XCB_COPY_FROM_PARENT, window, root, 0, 0, 200, 100, 0,
                          XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, 0, nullptr);
        xcb_map_window(connection, window);
        xcb_set_input_focus(connection, XCB_INPUT_FOCUS_POINTER_ROOT, window, XCB_CURRENT_TIME);
        xcb_get_input_focus_reply_t *reply =
            xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr);
        const bool focused = reply && reply->focus == window;
        std::free(reply);
        return focused;
    }

private:
    xcb_connection_t *connection;
    xcb_window_t root = 0;
};

bool xdotoolKey(const QString &keys)
{
    return QProcess::execute(QStringLiteral("xdotool"), QStringList{QStringLiteral("key")} + keys.split(' ')) == 0;
}

// The commands run, by name.
QStringList ran(const QSignalSpy &spy)
{
    QStringList result;
    for (const QList<QVariant> &arguments : spy)
        result << CommandTable::name(arguments.at(0).value<Command>());
    return result;
}

} // namespace

class TestHotKeyManagerX11 : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QCOMPARE(QGuiApplication::platformName(), QStringLiteral("xcb")); }
    void init() { QFile::remove(iniPath()); }
    void cleanup() { QFile::remove(iniPath()); }

    void aGlobalDefaultFiresWhateverTheLockKeysWhileAnotherClientHasTheFocus()
    {
        HotKeyManager manager;
        QSignalSpy spy(&manager, &HotKeyManager::hotKeyPressed);
        ForeignXClient other;
        QVERIFY(other.takeFocus());
        // A lock key toggles; pressing it again after the chord puts it back.
        for (QString locks : {"", "Num_Lock", "Caps_Lock", "Num_Lock Caps_Lock"})
            QVERIFY((locks.isEmpty() || xdotoolKey(locks)) && xdotoolKey("ctrl+alt+shift+Next") &&
                    (locks.isEmpty() || xdotoolKey(locks)));
        QVERIFY(xdotoolKey("ctrl+alt+shift+Home"));
        QTRY_COMPARE_WITH_TIMEOUT(ran(spy),
                                  QString("next-page next-page next-page next-page previous-chapter").split(' '), 5000);
    }

    void grabsFollowTheTableAndAreReleased()
    {
        QScopedPointer<HotKeyManager> manager(new HotKeyManager);
        QSignalSpy spy(manager.data(), &HotKeyManager::hotKeyPressed);
        QVERIFY(manager->setHotKey(Command::NextPage, KeyScope::Global, "Ctrl+Alt+Right", false));
        QxtGlobalShortcut stranger; // ours too, yet the chord is taken
        QVERIFY(!stranger.setShortcut(QKeySequence("Ctrl+Alt+Right")));
        QVERIFY(xdotoolKey("ctrl+alt+shift+Next"));
        QVERIFY(xdotoolKey("ctrl+alt+Right"));
        QVERIFY(spy.wait(5000));
        QTest::qWait(200); // both would run next-page: give a second one time to show up
        QCOMPARE(ran(spy), QStringList{"next-page"});
        QVERIFY(ForeignXClient().grab(XK_Next, kCtrlAltShift));

        // While the capture dialog listens, the reader holds no chord.
        manager->setGlobalSuspended(true);
        QVERIFY(ForeignXClient().grab(XK_Right, kCtrlAlt));
        QVERIFY(manager->setHotKey(Command::Open, KeyScope::Global, "Ctrl+Alt+O", false)); // bound once resumed
        manager->setGlobalSuspended(false);
        QVERIFY(!ForeignXClient().grab(XK_Right, kCtrlAlt, {0}));
        QVERIFY(!ForeignXClient().grab(XK_o, kCtrlAlt, {0}));

        manager.reset();
        ForeignXClient other;
        QVERIFY(other.grab(XK_Right, kCtrlAlt) && other.grab(XK_o, kCtrlAlt));
        for (xcb_keysym_t keysym : {XK_Prior, XK_Next, XK_Home, XK_End, XK_h, XK_s})
            QVERIFY2(other.grab(keysym, kCtrlAltShift), qPrintable(QString::number(keysym, 16)));
    }

    void aChordAnotherClientHoldsEvenInPartStaysAnInAppKey()
    {
        // The other client holds only the NumLock variant: ours gets the others at first and must give them back.
        ForeignXClient holder;
        QVERIFY(holder.grab(XK_q, kCtrlAlt, {XCB_MOD_MASK_2}));
        HotKeyManager manager;
        QVERIFY(!manager.bindGlobal(Command::Open, "Ctrl+Alt+Q"));
        QVERIFY(ForeignXClient().grab(XK_q, kCtrlAlt, {0, XCB_MOD_MASK_LOCK, XCB_MOD_MASK_2 | XCB_MOD_MASK_LOCK}));
        QSignalSpy spy(&manager, &HotKeyManager::hotKeyPressed);
        QKeyEvent event(QEvent::KeyPress, Qt::Key_Q, Qt::ControlModifier | Qt::AltModifier);
        manager.handleKeyPress(&event);
        QCOMPARE(ran(spy), QStringList{"open"});
    }

    void swappedChordsAreBoundAtStartAndAfterAReset()
    {
        MessageLog log;
        {
            HotKeyManager manager;
            const KeyScope global = KeyScope::Global;
            QVERIFY(manager.setHotKey(Command::PreviousPage, global, "Ctrl+Alt+1", true) &&
                    manager.setHotKey(Command::NextPage, global, "Ctrl+Alt+Shift+PgUp", true) &&
                    manager.setHotKey(Command::PreviousPage, global, "Ctrl+Alt+Shift+PgDown", true));
        }
        HotKeyManager manager; // the swap, from the file
        QSignalSpy spy(&manager, &HotKeyManager::hotKeyPressed);
        QVERIFY(xdotoolKey("ctrl+alt+shift+Next"));
        QTRY_COMPARE_WITH_TIMEOUT(ran(spy), QStringList{"previous-page"}, 5000);
        manager.resetToDefaults(true);
        QVERIFY(xdotoolKey("ctrl+alt+shift+Prior"));
        QTRY_COMPARE_WITH_TIMEOUT(ran(spy), (QStringList{"previous-page", "previous-page"}), 5000);
        QVERIFY(log.warnings.filter("held by another program").isEmpty());
    }

    // A default chord another program holds: one line for all that are refused, the signal the window tells the
    // user by, and the shortcut tab marks the key as working only in the window.
    void refusedChordsAreToldOnceAndMarked()
    {
        ForeignXClient holder;
        QVERIFY(holder.grab(XK_Next, kCtrlAltShift) && holder.grab(XK_h, kCtrlAltShift));
        MessageLog log;
        HotKeyManager manager(nullptr, HotKeyManager::BindLater);
        QSignalSpy refused(&manager, &HotKeyManager::globalKeysRefused);
        QTRY_COMPARE(refused.size(), 1);
        QCOMPARE(refused.first().first().toStringList(), (QStringList{"Ctrl+Alt+Shift+PgDown", "Ctrl+Alt+Shift+H"}));
        QCOMPARE(log.warnings.size(), 1);
        ReaderConfig config;
        PreferenceDialog dialog(&config, &manager);
        const auto marked = [&dialog](const char *name) {
            return !dialog.findChild<KeyLineLabel *>(QLatin1String(name))->toolTip().isEmpty();
        };
        QVERIFY(marked("hotkey_next_g") && marked("hotkey_hide_g"));
        QVERIFY(!marked("hotkey_back_g") && !marked("hotkey_next"));
    }
};

QTEST_MAIN(TestHotKeyManagerX11)
#include "tst_hotkeymanager_x11.moc"
