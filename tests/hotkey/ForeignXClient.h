#pragma once

#include <QString>

#include <cstdint>
#include <initializer_list>

struct xcb_connection_t;

/// A second X client beside the application under test: it can hold key
/// grabs of its own and take the input focus.
class ForeignXClient
{
public:
    ForeignXClient();
    ~ForeignXClient();
    ForeignXClient(const ForeignXClient &) = delete;
    ForeignXClient &operator=(const ForeignXClient &) = delete;

    /// Grabs the key of @p keysym with the X modifier mask @p modifiers on
    /// the root window, combined with each of @p locks (X lock masks: 0,
    /// Mod2, Lock, ...). True when every grab succeeded; the ones that did
    /// stay held until the client goes.
    bool grab(uint32_t keysym, uint16_t modifiers, std::initializer_list<uint16_t> locks);
    /// grab() with every combination of NumLock and CapsLock.
    bool grabAllLocks(uint32_t keysym, uint16_t modifiers);

    /// Maps a window of this client and gives it the input focus.
    bool takeFocus();

private:
    xcb_connection_t *connection = nullptr;
    uint32_t root = 0;
};

/// Sends @p keys through `xdotool key` (XTest, which reaches root grabs).
bool xdotoolKey(const QString &keys);
