#include "X11ShortcutBackend.h"

#include "QxtGlobalShortcut.h"

#include <QChar>
#include <QCoreApplication>
#include <QX11Info>

#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>

#include <X11/keysym.h>

#include <array>
#include <cstdlib>

namespace {

// Only these modifiers tell chords apart; the lock keys must not.
const quint16 kChordModifiers = XCB_MOD_MASK_SHIFT | XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1 | XCB_MOD_MASK_4;

// A grab matches the modifier state exactly, so every chord is grabbed again
// with NumLock (Mod2), CapsLock and both.
const std::array<quint16, 4> kLockVariants = {0, XCB_MOD_MASK_2, XCB_MOD_MASK_LOCK, XCB_MOD_MASK_2 | XCB_MOD_MASK_LOCK};

struct SpecialKey
{
    int key;
    xcb_keysym_t keysym;
};

const SpecialKey kSpecialKeys[] = {
    {Qt::Key_Escape, XK_Escape},
    {Qt::Key_Tab, XK_Tab},
    {Qt::Key_Backtab, XK_ISO_Left_Tab},
    {Qt::Key_Backspace, XK_BackSpace},
    {Qt::Key_Return, XK_Return},
    {Qt::Key_Enter, XK_KP_Enter},
    {Qt::Key_Insert, XK_Insert},
    {Qt::Key_Delete, XK_Delete},
    {Qt::Key_Pause, XK_Pause},
    {Qt::Key_Print, XK_Print},
    {Qt::Key_SysReq, XK_Sys_Req},
    {Qt::Key_Home, XK_Home},
    {Qt::Key_End, XK_End},
    {Qt::Key_Left, XK_Left},
    {Qt::Key_Up, XK_Up},
    {Qt::Key_Right, XK_Right},
    {Qt::Key_Down, XK_Down},
    {Qt::Key_PageUp, XK_Prior},
    {Qt::Key_PageDown, XK_Next},
    {Qt::Key_Menu, XK_Menu},
    {Qt::Key_Help, XK_Help},
};

xcb_keysym_t keysymFor(Qt::Key key)
{
    if (key >= Qt::Key_F1 && key <= Qt::Key_F35)
        return XK_F1 + xcb_keysym_t(key - Qt::Key_F1);
    for (const SpecialKey &special : kSpecialKeys) {
        if (special.key == key)
            return special.keysym;
    }
    // Qt names letters by their capital; the unshifted keysym finds the key
    // in the first column of the map.
    if (key >= 0x20 && key <= 0xff)
        return QChar(key).toLower().unicode();
    // X11 gives every other character the keysym 0x01000000 + its code point.
    if (key > 0xff && key < 0x110000)
        return 0x01000000 + xcb_keysym_t(key);
    return XCB_NO_SYMBOL;
}

xcb_keycode_t keycodeFor(xcb_connection_t *connection, Qt::Key key)
{
    const xcb_keysym_t keysym = keysymFor(key);
    if (keysym == XCB_NO_SYMBOL)
        return XCB_NO_SYMBOL;
    xcb_key_symbols_t *symbols = xcb_key_symbols_alloc(connection);
    if (!symbols)
        return XCB_NO_SYMBOL;
    xcb_keycode_t *codes = xcb_key_symbols_get_keycode(symbols, keysym);
    const xcb_keycode_t keycode = codes ? codes[0] : xcb_keycode_t(XCB_NO_SYMBOL);
    std::free(codes);
    xcb_key_symbols_free(symbols);
    return keycode;
}

quint16 xcbModifiers(Qt::KeyboardModifiers modifiers)
{
    quint16 mask = 0;
    if (modifiers & Qt::ShiftModifier)
        mask |= XCB_MOD_MASK_SHIFT;
    if (modifiers & Qt::ControlModifier)
        mask |= XCB_MOD_MASK_CONTROL;
    if (modifiers & Qt::AltModifier)
        mask |= XCB_MOD_MASK_1;
    if (modifiers & Qt::MetaModifier)
        mask |= XCB_MOD_MASK_4;
    return mask;
}

// The requests go out together and are checked afterwards: one round trip
// for the four grabs instead of four.
template <typename Request>
std::array<bool, kLockVariants.size()> sendChecked(xcb_connection_t *connection, Request request)
{
    std::array<xcb_void_cookie_t, kLockVariants.size()> cookies;
    for (size_t i = 0; i < kLockVariants.size(); ++i)
        cookies[i] = request(kLockVariants[i]);
    std::array<bool, kLockVariants.size()> done;
    for (size_t i = 0; i < cookies.size(); ++i) {
        xcb_generic_error_t *error = xcb_request_check(connection, cookies[i]);
        done[i] = !error;
        std::free(error);
    }
    return done;
}

bool grab(xcb_connection_t *connection, xcb_keycode_t keycode, quint16 modifiers)
{
    const xcb_window_t root = QX11Info::appRootWindow();
    const auto grabbed = sendChecked(connection, [&](quint16 lock) {
        return xcb_grab_key_checked(connection, 1, root, modifiers | lock, keycode, XCB_GRAB_MODE_ASYNC,
                                    XCB_GRAB_MODE_ASYNC);
    });
    bool all = true;
    for (bool ok : grabbed)
        all = all && ok;
    if (all)
        return true;
    // Another client holds some variant: give back the ones we got, or the
    // chord would half work and block that client's future grabs.
    for (size_t i = 0; i < grabbed.size(); ++i) {
        if (grabbed[i])
            xcb_ungrab_key(connection, keycode, root, modifiers | kLockVariants[i]);
    }
    xcb_flush(connection);
    return false;
}

bool ungrab(xcb_connection_t *connection, xcb_keycode_t keycode, quint16 modifiers)
{
    const xcb_window_t root = QX11Info::appRootWindow();
    const auto released = sendChecked(
        connection, [&](quint16 lock) { return xcb_ungrab_key_checked(connection, keycode, root, modifiers | lock); });
    bool all = true;
    for (bool ok : released)
        all = all && ok;
    return all;
}

} // namespace

X11ShortcutBackend::Chord X11ShortcutBackend::chord(quint8 keycode, quint16 modifiers)
{
    return Chord(keycode) << 16 | modifiers;
}

bool X11ShortcutBackend::bind(Qt::Key key, Qt::KeyboardModifiers modifiers, QxtGlobalShortcut *owner)
{
    xcb_connection_t *connection = QX11Info::connection();
    if (!connection || !owner)
        return false;
    const xcb_keycode_t keycode = keycodeFor(connection, key);
    if (keycode == XCB_NO_SYMBOL)
        return false;
    const quint16 mask = xcbModifiers(modifiers);
    const Chord wanted = chord(keycode, mask);
    // X lets one client grab the same chord twice, and releasing either
    // would release both: the first of our own owners keeps it.
    if (owners.contains(wanted) || !grab(connection, keycode, mask))
        return false;
    owners.insert(wanted, owner);
    setFiltering(true);
    return true;
}

bool X11ShortcutBackend::unbind(QxtGlobalShortcut *owner)
{
    const Chord held = owners.key(owner, 0);
    if (!held)
        return true;
    owners.remove(held);
    setFiltering(!owners.isEmpty());
    xcb_connection_t *connection = QX11Info::connection();
    // Without the application its connection is closed, and the server
    // dropped the grabs with it.
    if (!connection)
        return true;
    return ungrab(connection, xcb_keycode_t(held >> 16), quint16(held & 0xffff));
}

bool X11ShortcutBackend::nativeEventFilter(const QByteArray &eventType, void *message, long *result)
{
    Q_UNUSED(result)
    if (eventType != "xcb_generic_event_t" || !message)
        return false;
    const auto *event = static_cast<const xcb_generic_event_t *>(message);
    if ((event->response_type & ~0x80) != XCB_KEY_PRESS)
        return false;
    const auto *press = reinterpret_cast<const xcb_key_press_event_t *>(event);
    if (press->event != QX11Info::appRootWindow())
        return false;
    QxtGlobalShortcut *owner = owners.value(chord(press->detail, press->state & kChordModifiers));
    if (!owner)
        return false;
    emit owner->activated(owner);
    return true;
}

void X11ShortcutBackend::setFiltering(bool on)
{
    GlobalShortcutBackend::setFiltering(this, on, &filtering);
}
