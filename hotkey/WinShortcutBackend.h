#pragma once

#include "GlobalShortcutBackend.h"

#include <QAbstractNativeEventFilter>
#include <QHash>

/// Global keys on Windows: RegisterHotKey for the GUI thread, whose WM_HOTKEY
/// messages reach the native event filter.
class WinShortcutBackend : public GlobalShortcutBackend, public QAbstractNativeEventFilter
{
public:
    bool bind(Qt::Key key, Qt::KeyboardModifiers modifiers, QxtGlobalShortcut *owner) override;
    bool unbind(QxtGlobalShortcut *owner) override;
    bool nativeEventFilter(const QByteArray &eventType, void *message, long *result) override;

private:
    void setFiltering(bool on);

    QHash<int, QxtGlobalShortcut *> owners; // by hot-key id
    int nextId = 1;
    bool filtering = false;
};
