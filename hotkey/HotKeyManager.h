#pragma once

#include "CommandTable.h"

#include <QList>
#include <QMap>
#include <QObject>
#include <QSharedPointer>
#include <QString>

class PortalShortcuts;
class QKeyEvent;
class QxtGlobalShortcut;

/// A command's key in one scope.
struct KeyBinding
{
    Command command;
    KeyScope scope;
    bool operator==(const KeyBinding &other) const { return command == other.command && scope == other.scope; }
    /// In-app keys first, then global ones; within a scope, in the table's order.
    bool operator<(const KeyBinding &other) const;
};

/// The reader's key table: each command's in-app key, matched against key
/// presses in the main window, and its global key, bound for the whole
/// desktop. Both end in hotKeyPressed().
class HotKeyManager : public QObject
{
    Q_OBJECT

public:
    enum BindTime { BindNow, BindLater };
    /// Starts from the defaults, then applies what the settings file holds.
    /// The global keys are bound at once, or with BindLater once the event
    /// loop runs (the reader's window need not wait for the window system).
    explicit HotKeyManager(QObject *parent = nullptr, BindTime binding = BindNow);
    ~HotKeyManager() override;

    /// Every command and scope that takes a key, in the order in which
    /// defaults and stored keys are applied.
    static QList<KeyBinding> bindings();

    /// The binding whose key is the chord of @p event; false for none.
    bool bindingFor(const QKeyEvent *event, KeyBinding *binding) const;
    /// Emits hotKeyPressed() when the chord of @p event is a command's key.
    void handleKeyPress(QKeyEvent *event);

    /// The key text of @p command in @p scope; empty for none.
    QString hotKey(Command command, KeyScope scope) const;

    /// Gives the command the key @p text in @p scope. False when another
    /// binding already uses it or the command takes no key there; the empty
    /// text is never refused.
    bool setHotKey(Command command, KeyScope scope, const QString &text, bool save);

    /// Puts every key back to its default; with @p save, writes all of them.
    void resetToDefaults(bool save);

    /// Applies the stored keys over the defaults: a stored key wins over a
    /// default, and of two stored keys with one chord the first in order.
    void loadFromSettings();

    /// While suspended no chord is held system-wide, so that a capture
    /// dialog receives the reader's own global chords as plain key presses.
    void setGlobalSuspended(bool suspend);
    bool isGlobalSuspended() const { return suspended; }

    /// The binding whose key is @p text; false when none (and for the empty text).
    bool findBinding(const QString &text, KeyBinding *binding) const;

    /// Binds @p text system-wide for @p command and keeps it in the table
    /// whatever the system answers; returns the system's answer.
    bool bindGlobal(Command command, const QString &text);
    /// Whether the global key of @p command is held system-wide now.
    bool isGloballyBound(Command command) const;

    /// Global keys go through the desktop's portal: the desktop decides the
    /// chords, and the table's global column holds only the reader's wishes.
    /// Takes @p portal over (tests hand in one on a private bus).
    void setPortal(PortalShortcuts *portal);
    /// The desktop's portal, or null where the reader grabs keys itself.
    PortalShortcuts *desktopPortal() const { return portal; }
    /// The chord the desktop bound for @p command, as it describes it.
    QString desktopTrigger(Command command) const;

signals:
    void hotKeyPressed(Command command);
    /// The desktop's answer about the global keys changed.
    void globalKeysChanged();
    /// These global chords could not be bound (another program holds them):
    /// they work only as keys of the window.
    void globalKeysRefused(const QStringList &chords);

public slots:
    /// Connected to each global shortcut's activated(); @p shortcut is the one that fired.
    void onGlobalKeyPressed(void *shortcut);

private:
    void bindFirstTime();
    static QMap<KeyBinding, QString> defaultTable();
    void loadTable();
    void saveHotKey(const KeyBinding &binding, const QString &text);
    /// Binds every global chord that is not bound as the table says, after
    /// releasing all of those first.
    void applyGlobalBindings();
    void offerToDesktop();
    void reportRefusals(const QList<Command> &tried);

    QMap<KeyBinding, QString> hotKeys;
    bool suspended = false;
    PortalShortcuts *portal = nullptr; // owned (child)
    QStringList offered;               // the wishes last offered to the desktop
    QMap<Command, QSharedPointer<QxtGlobalShortcut>> globalShortcuts;
};
