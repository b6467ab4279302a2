#include "PortalShortcuts.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>
#include <QKeySequence>
#include <QTimer>

using PortalShortcutList = QList<QPair<QString, QVariantMap>>;
Q_DECLARE_METATYPE(PortalShortcutList)

namespace {

const QString kService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kInterface = QStringLiteral("org.freedesktop.portal.GlobalShortcuts");
const QString kRequest = QStringLiteral("org.freedesktop.portal.Request");
const QString kSession = QStringLiteral("org.freedesktop.portal.Session");
// A desktop may ask the user before it binds anything.
const int kAnswerTime = 120 * 1000;

QDBusMessage portalCall(const QString &interface, const QString &method, const QVariantList &arguments)
{
    QDBusMessage message = QDBusMessage::createMethodCall(kService, kPath, interface, method);
    message.setArguments(arguments);
    return message;
}

// A handle arrives as an object path or, from some frontends, as a string.
QString pathOf(const QVariant &value)
{
    if (value.userType() == qMetaTypeId<QDBusObjectPath>())
        return value.value<QDBusObjectPath>().path();
    return value.toString();
}

PortalShortcutList shortcutsFrom(const QVariant &value)
{
    if (value.userType() == qMetaTypeId<QDBusArgument>())
        return qdbus_cast<PortalShortcutList>(value.value<QDBusArgument>());
    return value.value<PortalShortcutList>();
}

QString keyName(int key)
{
    if ((key >= Qt::Key_A && key <= Qt::Key_Z))
        return QString(QChar(key)).toLower();
    if (key >= Qt::Key_0 && key <= Qt::Key_9)
        return QString(QChar(key));
    if (key >= Qt::Key_F1 && key <= Qt::Key_F35)
        return QStringLiteral("F%1").arg(key - Qt::Key_F1 + 1);
    static const QMap<int, const char *> names = {
        {Qt::Key_Left, "Left"},
        {Qt::Key_Right, "Right"},
        {Qt::Key_Up, "Up"},
        {Qt::Key_Down, "Down"},
        {Qt::Key_Home, "Home"},
        {Qt::Key_End, "End"},
        {Qt::Key_PageUp, "Page_Up"},
        {Qt::Key_PageDown, "Page_Down"},
        {Qt::Key_Insert, "Insert"},
        {Qt::Key_Delete, "Delete"},
        {Qt::Key_Escape, "Escape"},
        {Qt::Key_Return, "Return"},
        {Qt::Key_Enter, "KP_Enter"},
        {Qt::Key_Tab, "Tab"},
        {Qt::Key_Backspace, "BackSpace"},
        {Qt::Key_Space, "space"},
        {Qt::Key_Print, "Print"},
        {Qt::Key_Pause, "Pause"},
        {Qt::Key_Menu, "Menu"},
        {Qt::Key_BracketLeft, "bracketleft"},
        {Qt::Key_BracketRight, "bracketright"},
        {Qt::Key_Comma, "comma"},
        {Qt::Key_Period, "period"},
        {Qt::Key_Slash, "slash"},
        {Qt::Key_Semicolon, "semicolon"},
        {Qt::Key_Apostrophe, "apostrophe"},
        {Qt::Key_Minus, "minus"},
        {Qt::Key_Equal, "equal"},
        {Qt::Key_QuoteLeft, "grave"},
        {Qt::Key_Backslash, "backslash"},
    };
    return QString::fromLatin1(names.value(key));
}

} // namespace

PortalShortcuts::PortalShortcuts(const QDBusConnection &bus, QObject *parent)
    : QObject(parent), bus(bus), timeout(new QTimer(this))
{
    qDBusRegisterMetaType<QPair<QString, QVariantMap>>();
    qDBusRegisterMetaType<PortalShortcutList>();
    timeout->setSingleShot(true);
    connect(timeout, &QTimer::timeout, this, [this] {
        stopWaiting();
        fail(Failed, tr("桌面没有回答"));
    });
}

PortalShortcuts::~PortalShortcuts()
{
    closeSession();
}

QString PortalShortcuts::toPortalTrigger(const QString &portableText)
{
    const QKeySequence sequence = QKeySequence::fromString(portableText, QKeySequence::PortableText);
    if (sequence.count() != 1)
        return QString();
    const int chord = sequence[0];
    const QString key = keyName(chord & ~int(Qt::KeyboardModifierMask));
    if (key.isEmpty())
        return QString();
    QStringList parts;
    if (chord & Qt::ControlModifier)
        parts << QStringLiteral("CTRL");
    if (chord & Qt::AltModifier)
        parts << QStringLiteral("ALT");
    if (chord & Qt::ShiftModifier)
        parts << QStringLiteral("SHIFT");
    if (chord & Qt::MetaModifier)
        parts << QStringLiteral("LOGO");
    return (parts << key).join(QLatin1Char('+'));
}

void PortalShortcuts::bind(const QList<Shortcut> &shortcuts)
{
    wanted = shortcuts;
    if (state_ == Binding) {
        bindAgain = true;
        return;
    }
    // A session binds once: another list needs another session.
    closeSession();
    start();
}

void PortalShortcuts::start()
{
    setState(Binding);
    if (!bus.isConnected()) {
        fail(Unavailable, tr("没有会话总线"));
        return;
    }
    // Newer frontends want to know who calls before anything else; older
    // ones have no registry, which is no error.
    QDBusPendingCall call =
        bus.asyncCall(portalCall(QStringLiteral("org.freedesktop.host.portal.Registry"), QStringLiteral("Register"),
                                 {QStringLiteral("tavril"), QVariantMap()}));
    auto *watcher = new QDBusPendingCallWatcher(call, this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher *done) {
        done->deleteLater();
        askVersion();
    });
}

void PortalShortcuts::askVersion()
{
    QDBusPendingCall call = bus.asyncCall(portalCall(QStringLiteral("org.freedesktop.DBus.Properties"),
                                                     QStringLiteral("Get"), {kInterface, QStringLiteral("version")}));
    auto *watcher = new QDBusPendingCallWatcher(call, this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher *done) {
        done->deleteLater();
        const QDBusPendingReply<QDBusVariant> reply = *done;
        if (reply.isError()) {
            fail(Unavailable, reply.error().message());
            return;
        }
        version = reply.value().variant().toUInt();
        createSession();
    });
}

QString PortalShortcuts::nextToken()
{
    return QStringLiteral("tavril%1_%2").arg(quintptr(this) & 0xFFFFF).arg(++tokens);
}

void PortalShortcuts::createSession()
{
    const QString token = nextToken();
    request(
        QStringLiteral("CreateSession"),
        {QVariantMap{{QStringLiteral("handle_token"), token}, {QStringLiteral("session_handle_token"), nextToken()}}},
        token, &PortalShortcuts::afterCreate);
}

void PortalShortcuts::afterCreate(uint response, const QVariantMap &results)
{
    sessionHandle = pathOf(results.value(QStringLiteral("session_handle")));
    if (response != 0 || sessionHandle.isEmpty()) {
        fail(Failed, tr("桌面没有开放全局快捷键（%1）").arg(response));
        return;
    }
    // Presses are broadcast to every client: each keeps to its own session.
    bus.connect(kService, kPath, kInterface, QStringLiteral("Activated"), this, SLOT(onActivated(QDBusMessage)));
    bus.connect(kService, kPath, kInterface, QStringLiteral("ShortcutsChanged"), this,
                SLOT(onShortcutsChanged(QDBusMessage)));
    bus.connect(kService, sessionHandle, kSession, QStringLiteral("Closed"), this, SLOT(onSessionClosed(QDBusMessage)));
    sendBind();
}

void PortalShortcuts::sendBind()
{
    PortalShortcutList list;
    for (const Shortcut &shortcut : qAsConst(wanted)) {
        QVariantMap properties{{QStringLiteral("description"), shortcut.description}};
        if (!shortcut.preferredTrigger.isEmpty())
            properties.insert(QStringLiteral("preferred_trigger"), shortcut.preferredTrigger);
        list.append({shortcut.id, properties});
    }
    const QString token = nextToken();
    request(QStringLiteral("BindShortcuts"),
            {QVariant::fromValue(QDBusObjectPath(sessionHandle)), QVariant::fromValue(list), QString(),
             QVariantMap{{QStringLiteral("handle_token"), token}}},
            token, &PortalShortcuts::afterBind);
}

void PortalShortcuts::afterBind(uint response, const QVariantMap &results)
{
    if (response != 0) {
        fail(Failed, response == 1 ? tr("桌面拒绝了全局快捷键") : tr("桌面没有绑定全局快捷键（%1）").arg(response));
        return;
    }
    triggers.clear();
    readTriggers(results.value(QStringLiteral("shortcuts")));
    setState(Bound);
    if (bindAgain) {
        bindAgain = false;
        bind(wanted);
    }
}

// The Response comes on a path the caller can predict: listening there
// before the call means it cannot arrive unheard.
void PortalShortcuts::request(const QString &method, const QVariantList &arguments, const QString &token, Step next)
{
    const QString sender = bus.baseService().mid(1).replace(QLatin1Char('.'), QLatin1Char('_'));
    awaited = QStringLiteral("/org/freedesktop/portal/desktop/request/%1/%2").arg(sender, token);
    then = next;
    bus.connect(kService, awaited, kRequest, QStringLiteral("Response"), this, SLOT(onResponse(QDBusMessage)));
    timeout->start(kAnswerTime);
    QDBusPendingCall call = bus.asyncCall(portalCall(kInterface, method, arguments));
    auto *watcher = new QDBusPendingCallWatcher(call, this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher *done) {
        done->deleteLater();
        const QDBusPendingReply<QDBusObjectPath> reply = *done;
        if (reply.isError()) {
            stopWaiting();
            fail(Unavailable, reply.error().message());
        } else if (reply.value().path() != awaited && !awaited.isEmpty()) {
            // An old frontend chose its own path.
            bus.disconnect(kService, awaited, kRequest, QStringLiteral("Response"), this,
                           SLOT(onResponse(QDBusMessage)));
            awaited = reply.value().path();
            bus.connect(kService, awaited, kRequest, QStringLiteral("Response"), this, SLOT(onResponse(QDBusMessage)));
        }
    });
}

void PortalShortcuts::stopWaiting()
{
    timeout->stop();
    if (!awaited.isEmpty())
        bus.disconnect(kService, awaited, kRequest, QStringLiteral("Response"), this, SLOT(onResponse(QDBusMessage)));
    awaited.clear();
}

void PortalShortcuts::onResponse(const QDBusMessage &message)
{
    if (message.path() != awaited)
        return;
    const Step next = then;
    stopWaiting();
    const QVariantList arguments = message.arguments();
    (this->*next)(arguments.value(0).toUInt(), qdbus_cast<QVariantMap>(arguments.value(1)));
}

void PortalShortcuts::onActivated(const QDBusMessage &message)
{
    const QVariantList arguments = message.arguments();
    if (!sessionHandle.isEmpty() && pathOf(arguments.value(0)) == sessionHandle)
        emit activated(arguments.value(1).toString());
}

void PortalShortcuts::onShortcutsChanged(const QDBusMessage &message)
{
    const QVariantList arguments = message.arguments();
    if (sessionHandle.isEmpty() || pathOf(arguments.value(0)) != sessionHandle)
        return;
    readTriggers(arguments.value(1));
    emit changed();
}

void PortalShortcuts::onSessionClosed(const QDBusMessage &)
{
    sessionHandle.clear();
    triggers.clear();
    fail(Failed, tr("桌面结束了全局快捷键"));
}

void PortalShortcuts::readTriggers(const QVariant &shortcuts)
{
    for (const auto &shortcut : shortcutsFrom(shortcuts))
        triggers.insert(shortcut.first, shortcut.second.value(QStringLiteral("trigger_description")).toString());
}

void PortalShortcuts::configure()
{
    if (!canConfigure())
        return;
    bus.asyncCall(portalCall(kInterface, QStringLiteral("ConfigureShortcuts"),
                             {QVariant::fromValue(QDBusObjectPath(sessionHandle)), QString(), QVariantMap()}));
}

void PortalShortcuts::fail(State state, const QString &why)
{
    error = why;
    bindAgain = false;
    setState(state);
}

void PortalShortcuts::closeSession()
{
    stopWaiting();
    if (sessionHandle.isEmpty())
        return;
    bus.disconnect(kService, kPath, kInterface, QStringLiteral("Activated"), this, SLOT(onActivated(QDBusMessage)));
    bus.disconnect(kService, kPath, kInterface, QStringLiteral("ShortcutsChanged"), this,
                   SLOT(onShortcutsChanged(QDBusMessage)));
    bus.disconnect(kService, sessionHandle, kSession, QStringLiteral("Closed"), this,
                   SLOT(onSessionClosed(QDBusMessage)));
    bus.send(QDBusMessage::createMethodCall(kService, sessionHandle, kSession, QStringLiteral("Close")));
    sessionHandle.clear();
    triggers.clear();
}

void PortalShortcuts::setState(State state)
{
    state_ = state;
    emit changed();
}
