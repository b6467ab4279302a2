#include "WinShortcutBackend.h"

#include "QxtGlobalShortcut.h"

#include <QCoreApplication>

#include <windows.h>

namespace {

struct SpecialKey
{
    int key;
    UINT vk;
};

const SpecialKey kSpecialKeys[] = {
    {Qt::Key_Escape, VK_ESCAPE}, {Qt::Key_Tab, VK_TAB},       {Qt::Key_Backspace, VK_BACK},
    {Qt::Key_Return, VK_RETURN}, {Qt::Key_Enter, VK_RETURN},  {Qt::Key_Insert, VK_INSERT},
    {Qt::Key_Delete, VK_DELETE}, {Qt::Key_Pause, VK_PAUSE},   {Qt::Key_Print, VK_SNAPSHOT},
    {Qt::Key_Home, VK_HOME},     {Qt::Key_End, VK_END},       {Qt::Key_Left, VK_LEFT},
    {Qt::Key_Up, VK_UP},         {Qt::Key_Right, VK_RIGHT},   {Qt::Key_Down, VK_DOWN},
    {Qt::Key_PageUp, VK_PRIOR},  {Qt::Key_PageDown, VK_NEXT}, {Qt::Key_Space, VK_SPACE},
    {Qt::Key_Menu, VK_APPS},     {Qt::Key_Help, VK_HELP},
};

UINT virtualKeyFor(Qt::Key key)
{
    if (key >= Qt::Key_F1 && key <= Qt::Key_F24)
        return VK_F1 + UINT(key - Qt::Key_F1);
    for (const SpecialKey &special : kSpecialKeys) {
        if (special.key == key)
            return special.vk;
    }
    // Letters, digits and punctuation: whichever key the current layout puts
    // the character on ("[" is VK_OEM_4 on a US keyboard, elsewhere on others).
    if (key >= 0x20 && key <= 0xffff) {
        const SHORT scan = VkKeyScanW(WCHAR(key));
        if (scan != -1)
            return UINT(scan & 0xff);
    }
    return 0;
}

UINT winModifiers(Qt::KeyboardModifiers modifiers)
{
    UINT mask = 0;
    if (modifiers & Qt::ShiftModifier)
        mask |= MOD_SHIFT;
    if (modifiers & Qt::ControlModifier)
        mask |= MOD_CONTROL;
    if (modifiers & Qt::AltModifier)
        mask |= MOD_ALT;
    if (modifiers & Qt::MetaModifier)
        mask |= MOD_WIN;
    return mask;
}

} // namespace

bool WinShortcutBackend::bind(Qt::Key key, Qt::KeyboardModifiers modifiers, QxtGlobalShortcut *owner)
{
    const UINT vk = virtualKeyFor(key);
    if (!vk || !owner)
        return false;
    // Hot keys registered for the thread (no window) arrive as thread messages.
    const int id = nextId++;
    if (!RegisterHotKey(nullptr, id, winModifiers(modifiers), vk))
        return false;
    owners.insert(id, owner);
    setFiltering(true);
    return true;
}

bool WinShortcutBackend::unbind(QxtGlobalShortcut *owner)
{
    const int id = owners.key(owner, 0);
    if (!id)
        return true;
    owners.remove(id);
    setFiltering(!owners.isEmpty());
    return UnregisterHotKey(nullptr, id);
}

bool WinShortcutBackend::nativeEventFilter(const QByteArray &eventType, void *message, long *result)
{
    Q_UNUSED(result)
    if (eventType != "windows_generic_MSG" || !message)
        return false;
    const MSG *msg = static_cast<const MSG *>(message);
    if (msg->message != WM_HOTKEY)
        return false;
    QxtGlobalShortcut *owner = owners.value(int(msg->wParam));
    if (!owner)
        return false;
    emit owner->activated(owner);
    return true;
}

void WinShortcutBackend::setFiltering(bool on)
{
    GlobalShortcutBackend::setFiltering(this, on, &filtering);
}
