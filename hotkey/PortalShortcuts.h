#pragma once

#include <QDBusConnection>
#include <QMap>
#include <QObject>
#include <QVariantMap>

class QDBusMessage;
class QTimer;

/// Global shortcuts granted by the desktop (org.freedesktop.portal.GlobalShortcuts),
/// where the reader cannot grab keys itself (Wayland). The reader offers its
/// whole list at once, each with the chord it would like; the desktop binds
/// what it decides, possibly other chords or none, and says so, perhaps later.
///
/// Every portal call is asynchronous: the reader never waits for the desktop.
class PortalShortcuts : public QObject
{
    Q_OBJECT

public:
    struct Shortcut
    {
        QString id;
        QString description;
        QString preferredTrigger; // in the portal's syntax, see toPortalTrigger()
    };
    enum State { Idle, Binding, Bound, Unavailable, Failed };
    Q_ENUM(State)

    /// Talks to the portal on `bus` (the session bus; tests pass a private one).
    explicit PortalShortcuts(const QDBusConnection &bus, QObject *parent = nullptr);
    ~PortalShortcuts() override;

    /// Offers `shortcuts` to the desktop, replacing what was offered before.
    void bind(const QList<Shortcut> &shortcuts);
    State state() const { return state_; }
    /// The chord the desktop bound to `id`, as the desktop describes it;
    /// empty when it bound none.
    QString trigger(const QString &id) const { return triggers.value(id); }
    /// Why the shortcuts are unavailable or failed.
    QString errorText() const { return error; }
    /// The desktop can show its own settings for the reader's shortcuts.
    bool canConfigure() const { return state_ == Bound && version >= 2; }
    void configure();

    /// Qt's portable text of one chord ("Ctrl+Shift+[") in the portal's
    /// syntax ("CTRL+SHIFT+bracketleft"): modifiers CTRL, ALT, SHIFT, LOGO and
    /// an xkbcommon key name. Empty for what has no such name.
    static QString toPortalTrigger(const QString &portableText);

signals:
    void activated(const QString &id);
    /// The state or the bound chords changed.
    void changed();

private slots:
    void onResponse(const QDBusMessage &message);
    void onActivated(const QDBusMessage &message);
    void onShortcutsChanged(const QDBusMessage &message);
    void onSessionClosed(const QDBusMessage &message);

private:
    using Step = void (PortalShortcuts::*)(uint response, const QVariantMap &results);

    void start();
    void askVersion();
    void createSession();
    void sendBind();
    void afterCreate(uint response, const QVariantMap &results);
    void afterBind(uint response, const QVariantMap &results);
    void request(const QString &method, const QVariantList &arguments, const QString &token, Step then);
    void stopWaiting();
    QString nextToken();
    void readTriggers(const QVariant &shortcuts);
    void fail(State state, const QString &why);
    void closeSession();
    void setState(State state);

    QDBusConnection bus;
    QString sessionHandle;
    QString awaited; // the request whose Response is due
    Step then = nullptr;
    QTimer *timeout;
    QList<Shortcut> wanted;
    bool bindAgain = false;
    QMap<QString, QString> triggers;
    State state_ = Idle;
    QString error;
    uint version = 0;
    int tokens = 0;
};
