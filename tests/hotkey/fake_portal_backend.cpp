// The desktop's side of the shortcuts portal: binds what is asked (or --assign ID=TRIGGER), logs requests (--log);
// /org/tavriltest/Control offers Activate(id), ActivateIn(session, id) and Sessions().

#include <QtDBus>

using Shortcuts = QList<QPair<QString, QVariantMap>>;
Q_DECLARE_METATYPE(Shortcuts)

namespace {

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
        const QString session = in.value(1).value<QDBusObjectPath>().path();
        QDBusMessage reply = message.createReply();
        if (member == QLatin1String("Get")) { // the interface's version
            reply << QVariant::fromValue(QDBusVariant(uint(1)));
        } else if (member == QLatin1String("GetAll")) {
            reply << QVariantMap{{QStringLiteral("version"), uint(1)}};
        } else if (member == QLatin1String("CreateSession")) {
            sessions.insert(session, Shortcuts());
            reply << uint(0) << QVariantMap();
        } else if (member == QLatin1String("BindShortcuts") || member == QLatin1String("ListShortcuts")) {
            if (member == QLatin1String("BindShortcuts"))
                sessions[session] = bind(qdbus_cast<Shortcuts>(in.value(2)));
            reply << uint(0)
                  << QVariantMap{{QStringLiteral("shortcuts"), QVariant::fromValue(sessions.value(session))}};
        } else if (member == QLatin1String("Close")) {
            sessions.remove(message.path());
        } else if (member == QLatin1String("Activate") || member == QLatin1String("ActivateIn")) {
            const bool one = member == QLatin1String("ActivateIn");
            for (const QString &target : one ? QStringList{in.value(0).toString()} : sessions.keys()) {
                QDBusMessage signal = QDBusMessage::createSignal(
                    QStringLiteral("/org/freedesktop/portal/desktop"),
                    QStringLiteral("org.freedesktop.impl.portal.GlobalShortcuts"), QStringLiteral("Activated"));
                signal << QVariant::fromValue(QDBusObjectPath(target)) << in.value(one ? 1 : 0).toString()
                       << QVariant::fromValue(quint64(QDateTime::currentMSecsSinceEpoch())) << QVariantMap();
                bus.send(signal);
            }
        } else if (member == QLatin1String("Sessions")) {
            reply << QVariant(sessions.keys());
        } else {
            reply = message.createErrorReply(QStringLiteral("org.freedesktop.DBus.Error.UnknownMethod"), member);
        }
        bus.send(reply);
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
            backend.assigned.insert(args.at(i + 1).section('=', 0, 0), args.at(i + 1).section('=', 1));
    }
    if (!backend.log.open(QIODevice::Append)) {
        qWarning("usage: fake_portal_backend --log FILE [--assign ID=TRIGGER]...");
        return 2;
    }
    QDBusConnection bus = QDBusConnection::sessionBus();
    // The objects first: the frontend must never see the name without them.
    if (!bus.registerVirtualObject(QStringLiteral("/org/freedesktop/portal/desktop"), &backend,
                                   QDBusConnection::SubPath) ||
        !bus.registerVirtualObject(QStringLiteral("/org/tavriltest/Control"), &backend) ||
        !bus.registerService(QStringLiteral("org.freedesktop.impl.portal.desktop.tavriltest")))
        return 1;
    return app.exec();
}
