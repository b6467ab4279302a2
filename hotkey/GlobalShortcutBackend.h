#pragma once

#include <Qt>

class QAbstractNativeEventFilter;
class QxtGlobalShortcut;

/// The platform side of QxtGlobalShortcut: binds chords for the whole desktop
/// and emits the owner's activated() when one is pressed.
class GlobalShortcutBackend
{
public:
    virtual ~GlobalShortcutBackend() = default;

    /// Binds @p key with @p modifiers for @p owner. False when the system
    /// refuses it or another owner already holds the chord; nothing stays bound then.
    virtual bool bind(Qt::Key key, Qt::KeyboardModifiers modifiers, QxtGlobalShortcut *owner) = 0;
    /// Releases what bind() took for @p owner. False when the system reports
    /// an error; the owner is forgotten either way.
    virtual bool unbind(QxtGlobalShortcut *owner) = 0;

    /// The backend of the running platform, or null where global keys do not
    /// exist (Wayland without X11, the offscreen platform).
    static GlobalShortcutBackend *instance();

protected:
    /// Installs @p filter while something is bound and removes it when
    /// nothing is, so the reader's other events skip the lookup.
    static void setFiltering(QAbstractNativeEventFilter *filter, bool on, bool *installed);
};
