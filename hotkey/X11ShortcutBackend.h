#pragma once

#include "GlobalShortcutBackend.h"

#include <QAbstractNativeEventFilter>
#include <QHash>

/// Global keys on X11: passive key grabs on the root window through Qt's own
/// xcb connection, and a native event filter that turns the grabbed presses
/// into activated().
class X11ShortcutBackend : public GlobalShortcutBackend, public QAbstractNativeEventFilter
{
public:
    bool bind(Qt::Key key, Qt::KeyboardModifiers modifiers, QxtGlobalShortcut *owner) override;
    bool unbind(QxtGlobalShortcut *owner) override;
    bool nativeEventFilter(const QByteArray &eventType, void *message, long *result) override;

private:
    /// A grabbed chord: the keycode in the high half, the X modifier mask in the low one.
    using Chord = quint32;
    static Chord chord(quint8 keycode, quint16 modifiers);

    void setFiltering(bool on);

    QHash<Chord, QxtGlobalShortcut *> owners;
    bool filtering = false;
};
