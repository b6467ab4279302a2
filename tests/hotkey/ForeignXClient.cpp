#include "ForeignXClient.h"

#include <QProcess>
#include <QStringList>

#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>

#include <cstdlib>

ForeignXClient::ForeignXClient()
{
    connection = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(connection)) {
        xcb_disconnect(connection);
        connection = nullptr;
        return;
    }
    root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
}

ForeignXClient::~ForeignXClient()
{
    if (connection)
        xcb_disconnect(connection);
}

bool ForeignXClient::grab(uint32_t keysym, uint16_t modifiers, std::initializer_list<uint16_t> locks)
{
    if (!connection)
        return false;
    xcb_key_symbols_t *symbols = xcb_key_symbols_alloc(connection);
    xcb_keycode_t *codes = xcb_key_symbols_get_keycode(symbols, keysym);
    const xcb_keycode_t keycode = codes ? codes[0] : 0;
    std::free(codes);
    xcb_key_symbols_free(symbols);
    if (!keycode)
        return false;
    bool all = true;
    for (uint16_t lock : locks) {
        const xcb_void_cookie_t cookie = xcb_grab_key_checked(connection, 1, root, modifiers | lock, keycode,
                                                              XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
        xcb_generic_error_t *error = xcb_request_check(connection, cookie);
        all = all && !error;
        std::free(error);
    }
    return all;
}

bool ForeignXClient::grabAllLocks(uint32_t keysym, uint16_t modifiers)
{
    return grab(keysym, modifiers, {0, XCB_MOD_MASK_2, XCB_MOD_MASK_LOCK, XCB_MOD_MASK_2 | XCB_MOD_MASK_LOCK});
}

bool ForeignXClient::takeFocus()
{
    if (!connection)
        return false;
    const xcb_window_t window = xcb_generate_id(connection);
    const xcb_screen_t *screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
    xcb_create_window(connection, XCB_COPY_FROM_PARENT, window, root, 0, 0, 200, 100, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                      screen->root_visual, 0, nullptr);
    xcb_map_window(connection, window);
    xcb_set_input_focus(connection, XCB_INPUT_FOCUS_POINTER_ROOT, window, XCB_CURRENT_TIME);
    xcb_get_input_focus_reply_t *reply =
        xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr);
    const bool focused = reply && reply->focus == window;
    std::free(reply);
    return focused;
}

bool xdotoolKey(const QString &keys)
{
    QProcess xdotool;
    xdotool.start(QStringLiteral("xdotool"), QStringList{QStringLiteral("key")} + keys.split(QLatin1Char(' ')));
    return xdotool.waitForFinished(10000) && xdotool.exitStatus() == QProcess::NormalExit && xdotool.exitCode() == 0;
}
