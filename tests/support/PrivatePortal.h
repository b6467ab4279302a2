#pragma once

// A desktop portal of its own for a test: a private session bus, the real
// portal frontend (xdg-desktop-portal) and, when asked, our fake desktop
// backend offering global shortcuts. Nothing of the user's session is used.

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <memory>

class PrivatePortal
{
public:
    static QString frontend() { return QStringLiteral("/usr/libexec/xdg-desktop-portal"); }

    /// `backend`: the fake backend's executable, or empty for a desktop
    /// without global shortcuts; `arguments` go to it.
    explicit PrivatePortal(const QString &backend, const QStringList &arguments = {})
    {
        QDir(dir.path()).mkpath(QStringLiteral("portals"));
        QDir(dir.path()).mkpath(QStringLiteral("runtime"));
        QFile::setPermissions(dir.filePath(QStringLiteral("runtime")),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        writeFile(QStringLiteral("bus.conf"),
                  "<busconfig><type>session</type><listen>unix:path=" + dir.filePath("bus").toUtf8() +
                      "</listen><auth>EXTERNAL</auth><policy context=\"default\"><allow send_destination=\"*\" "
                      "eavesdrop=\"true\"/><allow eavesdrop=\"true\"/><allow own=\"*\"/></policy></busconfig>");
        env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), address());
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), dir.filePath(QStringLiteral("runtime")));
        env.insert(QStringLiteral("XDG_DESKTOP_PORTAL_DIR"), dir.filePath(QStringLiteral("portals")));
        env.insert(QStringLiteral("XDG_CURRENT_DESKTOP"), QStringLiteral("tavriltest"));
        run(QStringLiteral("dbus-daemon"), {"--config-file=" + dir.filePath("bus.conf"), "--nofork", "--nopidfile"});
        if (!waitFor([this] { return QFile::exists(dir.filePath(QStringLiteral("bus"))); }))
            return;
        bus.reset(new QDBusConnection(QDBusConnection::connectToBus(address(), dir.path())));
        if (!backend.isEmpty()) {
            writeFile(QStringLiteral("portals/tavriltest.portal"),
                      "[portal]\nDBusName=org.freedesktop.impl.portal.desktop.tavriltest\n"
                      "Interfaces=org.freedesktop.impl.portal.GlobalShortcuts;\nUseIn=tavriltest\n");
            run(backend, QStringList{"--log", logPath()} + arguments);
            if (!waitForName(QStringLiteral("org.freedesktop.impl.portal.desktop.tavriltest")))
                return;
        }
        run(frontend(), {});
        ready = waitForName(QStringLiteral("org.freedesktop.portal.Desktop"));
    }

    ~PrivatePortal()
    {
        if (bus)
            QDBusConnection::disconnectFromBus(dir.path());
        for (auto it = processes.rbegin(); it != processes.rend(); ++it) {
            (*it)->kill();
            (*it)->waitForFinished(3000);
        }
    }

    bool isReady() const { return ready; }
    QString address() const { return QStringLiteral("unix:path=") + dir.filePath(QStringLiteral("bus")); }
    /// The test's own connection to the private bus.
    QDBusConnection connection() const { return *bus; }
    /// What a process started for the test needs to use this portal.
    QProcessEnvironment environment() const { return env; }
    /// One line per shortcut asked for: id, tab, description, tab, preferred trigger.
    QStringList requested() const
    {
        QFile log(logPath());
        return log.open(QIODevice::ReadOnly) ? QString::fromUtf8(log.readAll()).split('\n', Qt::SkipEmptyParts)
                                             : QStringList();
    }
    /// The desktop presses the shortcut `id` of every session, or of one.
    bool activate(const QString &id, const QString &session = QString()) const
    {
        QDBusMessage call = QDBusMessage::createMethodCall(
            QStringLiteral("org.freedesktop.impl.portal.desktop.tavriltest"), QStringLiteral("/org/tavriltest/Control"),
            QStringLiteral("org.tavriltest.Control"),
            session.isEmpty() ? QStringLiteral("Activate") : QStringLiteral("ActivateIn"));
        call.setArguments(session.isEmpty() ? QVariantList{id} : QVariantList{session, id});
        return bus->call(call).type() == QDBusMessage::ReplyMessage;
    }
    QStringList sessions() const
    {
        const QDBusMessage reply = bus->call(QDBusMessage::createMethodCall(
            QStringLiteral("org.freedesktop.impl.portal.desktop.tavriltest"), QStringLiteral("/org/tavriltest/Control"),
            QStringLiteral("org.tavriltest.Control"), QStringLiteral("Sessions")));
        return reply.arguments().value(0).toStringList();
    }

private:
    QString logPath() const { return dir.filePath(QStringLiteral("backend.log")); }

    void writeFile(const QString &name, const QByteArray &bytes)
    {
        QFile file(dir.filePath(name));
        if (file.open(QIODevice::WriteOnly))
            file.write(bytes);
    }

    void run(const QString &program, const QStringList &arguments)
    {
        auto process = std::make_unique<QProcess>();
        process->setProcessEnvironment(env);
        // The frontend is talkative; what counts is on the bus.
        process->setStandardOutputFile(QProcess::nullDevice());
        process->setStandardErrorFile(QProcess::nullDevice());
        process->start(program, arguments);
        process->waitForStarted();
        processes.push_back(std::move(process));
    }

    template <typename Condition> static bool waitFor(Condition condition)
    {
        QDeadlineTimer deadline(10000);
        while (!condition()) {
            if (deadline.hasExpired())
                return false;
            QThread::msleep(20);
        }
        return true;
    }

    bool waitForName(const QString &name) const
    {
        return waitFor([this, &name] { return bus->interface()->isServiceRegistered(name).value(); });
    }

    QTemporaryDir dir;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    std::vector<std::unique_ptr<QProcess>> processes;
    std::unique_ptr<QDBusConnection> bus;
    bool ready = false;
};
