// A desktop's side of the global-shortcuts portal, for tests: owns
// org.freedesktop.impl.portal.desktop.tavriltest on the session bus, binds
// whatever is asked (or the chords given with --assign), writes each
// requested shortcut to the log, and emits Activated on request:
//   fake_portal_backend --log FILE [--assign ID=TRIGGER]...
//   dbus-send --session --dest=org.freedesktop.impl.portal.desktop.tavriltest
//       /org/tavriltest/Control org.tavriltest.Control.Activate string:next-page
// ActivateIn(s session, s id) presses a key for one session only; Sessions()
// lists the open ones.

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QDBusVirtualObject>
#include <QDateTime>
#include <QFile>
#include <QMap>

#include <cstdio>

using Shortcuts = QList<QPair<QString, QVariantMap>>;
Q_DECLARE_METATYPE(Shortcuts)

namespace {

const QString kPortal = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kImpl = QStringLiteral("org.freedesktop.impl.portal.GlobalShortcuts");
const QString kControl = QStringLiteral("/org/tavriltest/Control");

class Backend : public QDBusVirtualObject
{
public:
    QFile log;
    QMap<QString, QString> assigned;   // id -> trigger, instead of the wish
    QMap<QString, Shortcuts> sessions; // handle -> what it bound

    QString introspect(const QString &) const override { return QString(); }

    bool handleMessage(const QDBusMessage &message, const QDBusConnection &connection) override
    {
        QDBusConnection bus(connection);
        const QVariantList in = message.arguments();
        const QString member = message.member();
        if (message.interface() == QLatin1String("org.freedesktop.DBus.Properties")) {
            if (member == QLatin1String("Get"))
                bus.send(message.createReply(QVariant::fromValue(QDBusVariant(uint(1)))));
            else
                bus.send(message.createReply(QVariant(QVariantMap{{QStringLiteral("version"), uint(1)}})));
        } else if (member == QLatin1String("CreateSession")) {
            sessions.insert(in.value(1).value<QDBusObjectPath>().path(), Shortcuts());
            bus.send(message.createReply(QVariantList{uint(0), QVariantMap()}));
        } else if (member == QLatin1String("BindShortcuts") || member == QLatin1String("ListShortcuts")) {
            const QString session = in.value(1).value<QDBusObjectPath>().path();
            if (member == QLatin1String("BindShortcuts"))
                sessions[session] = bind(qdbus_cast<Shortcuts>(in.value(2)));
            const QVariantMap results{{QStringLiteral("shortcuts"), QVariant::fromValue(sessions.value(session))}};
            bus.send(message.createReply(QVariantList{uint(0), results}));
        } else if (member == QLatin1String("Close")) {
            sessions.remove(message.path());
            bus.send(message.createReply());
        } else if (member == QLatin1String("Activate") || member == QLatin1String("ActivateIn")) {
            const bool one = member == QLatin1String("ActivateIn");
            const QStringList targets = one ? QStringList{in.value(0).toString()} : sessions.keys();
            for (const QString &session : targets)
                press(bus, session, in.value(one ? 1 : 0).toString());
            bus.send(message.createReply());
        } else if (member == QLatin1String("Sessions")) {
            bus.send(message.createReply(QVariant(sessions.keys())));
        } else {
            bus.send(message.createErrorReply(QStringLiteral("org.freedesktop.DBus.Error.UnknownMethod"), member));
        }
        return true;
    }

private:
    Shortcuts bind(const Shortcuts &wanted)
    {
        Shortcuts bound;
        for (const auto &shortcut : wanted) {
            const QString wish = shortcut.second.value(QStringLiteral("preferred_trigger")).toString();
            const QString description = shortcut.second.value(QStringLiteral("description")).toString();
            log.write(QStringLiteral("%1\t%2\t%3\n").arg(shortcut.first, description, wish).toUtf8());
            bound.append({shortcut.first,
                          {{QStringLiteral("description"), description},
                           {QStringLiteral("trigger_description"), assigned.value(shortcut.first, wish)}}});
        }
        log.flush();
        return bound;
    }

    static void press(QDBusConnection &bus, const QString &session, const QString &id)
    {
        QDBusMessage signal = QDBusMessage::createSignal(kPortal, kImpl, QStringLiteral("Activated"));
        signal << QVariant::fromValue(QDBusObjectPath(session)) << id
               << QVariant::fromValue(quint64(QDateTime::currentMSecsSinceEpoch())) << QVariantMap();
        bus.send(signal);
    }
};

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    qDBusRegisterMetaType<QPair<QString, QVariantMap>>();
    qDBusRegisterMetaType<Shortcuts>();
    Backend backend;
    const QStringList args = app.arguments();
    for (int i = 1; i + 1 < args.size(); i += 2) {
        if (args.at(i) == QLatin1String("--log"))
            backend.log.setFileName(args.at(i + 1));
        else if (args.at(i) == QLatin1String("--assign"))
            backend.assigned.insert(args.at(i + 1).section(QLatin1Char('='), 0, 0),
                                    args.at(i + 1).section(QLatin1Char('='), 1));
    }
    if (!backend.log.open(QIODevice::Append)) {
        std::fprintf(stderr, "usage: fake_portal_backend --log FILE [--assign ID=TRIGGER]...\n");
        return 2;
    }
    QDBusConnection bus = QDBusConnection::sessionBus();
    // The objects first: the frontend must never see the name without them.
    if (!bus.registerVirtualObject(kPortal, &backend, QDBusConnection::SubPath) ||
        !bus.registerVirtualObject(kControl, &backend) ||
        !bus.registerService(QStringLiteral("org.freedesktop.impl.portal.desktop.tavriltest")))
        return 1;
    return app.exec();
}
