#pragma once

// A private session bus with the real xdg-desktop-portal and, if given, the fake backend's global shortcuts.

#include "ReaderFiles.h"

#include <QtDBus>
#include <QtTest>

class PrivatePortal
{
public:
    /// `backend`: the fake backend's executable (given `arguments`), or empty for a desktop without global shortcuts.
    explicit PrivatePortal(const QString &backend, const QStringList &arguments = {})
    {
        QDir(dir.path()).mkpath(QStringLiteral("portals"));
        QDir(dir.path()).mkpath(QStringLiteral("runtime"));
        QFile::setPermissions(dir.filePath("runtime"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        writeFile(dir.filePath("bus.conf"), "<busconfig><type>session</type><listen>unix:path=" + dir.filePath("bus").toUtf8() +
                  "</listen><auth>EXTERNAL</auth><policy context=\"default\"><allow send_destination=\"*\" eavesdrop="
                  "\"true\"/><allow eavesdrop=\"true\"/><allow own=\"*\"/></policy></busconfig>");
        env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), "unix:path=" + dir.filePath("bus"));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), dir.filePath("runtime"));
        env.insert(QStringLiteral("XDG_DESKTOP_PORTAL_DIR"), dir.filePath("portals"));
        env.insert(QStringLiteral("XDG_CURRENT_DESKTOP"), QStringLiteral("tavriltest"));
        run("dbus-daemon", {"--config-file=" + dir.filePath("bus.conf"), "--nofork", "--nopidfile"});
        if (!QTest::qWaitFor([this] { return QFile::exists(dir.filePath("bus")); }, 10000))
            return;
        bus.reset(new QDBusConnection(
            QDBusConnection::connectToBus(env.value(QStringLiteral("DBUS_SESSION_BUS_ADDRESS")), dir.path())));
        if (!backend.isEmpty()) {
            writeFile(dir.filePath("portals/tavriltest.portal"), QByteArray("[portal]\nDBusName=") + kBackend +
                      "\nInterfaces=org.freedesktop.impl.portal.GlobalShortcuts;\nUseIn=tavriltest\n");
            run(backend, QStringList{"--log", dir.filePath("backend.log")} + arguments);
            if (!waitForName(QString::fromLatin1(kBackend)))
                return;
        }
        run("/usr/libexec/xdg-desktop-portal", {});
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
    QDBusConnection connection() const { return *bus; }
    QProcessEnvironment environment() const { return env; } // for a process that uses this portal
    /// One line per shortcut asked for: id, tab, description, tab, preferred trigger.
    QStringList requested() const { return QString(readFile(dir.filePath("backend.log"))).split('\n', Qt::SkipEmptyParts); }
    /// The desktop presses the shortcut `id` of every session, or of one.
    bool activate(const QString &id, const QString &session = QString()) const
    {
        return call(session.isEmpty() ? "Activate" : "ActivateIn",
                    session.isEmpty() ? QVariantList{id} : QVariantList{session, id})
                   .type() == QDBusMessage::ReplyMessage;
    }
    QStringList sessions() const { return call("Sessions", {}).arguments().value(0).toStringList(); }

private:
    static constexpr char kBackend[] = "org.freedesktop.impl.portal.desktop.tavriltest";

    QDBusMessage call(const char *method, const QVariantList &arguments) const
    {
        QDBusMessage message =
            QDBusMessage::createMethodCall(kBackend, "/org/tavriltest/Control", "org.tavriltest.Control", method);
        message.setArguments(arguments);
        return bus->call(message);
    }
    void run(const QString &program, const QStringList &arguments)
    {
        processes.push_back(std::make_unique<QProcess>());
        QProcess &process = *processes.back();
        process.setProcessEnvironment(env);
        process.setStandardOutputFile(QProcess::nullDevice()); // the frontend is talkative; what counts is on the bus
        process.setStandardErrorFile(QProcess::nullDevice());
        process.start(program, arguments);
        process.waitForStarted();
    }
    bool waitForName(const QString &name) const
    {
        return QTest::qWaitFor([this, &name] { return bus->interface()->isServiceRegistered(name).value(); }, 10000);
    }

    QTemporaryDir dir;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    std::vector<std::unique_ptr<QProcess>> processes;
    std::unique_ptr<QDBusConnection> bus;
    bool ready = false;
};
