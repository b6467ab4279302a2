#pragma once

// rclone's WebDAV server on 127.0.0.1 for a test: serves a folder of the
// test's own on a port the system picks (read from what rclone prints), with
// no configuration file and no RCLONE_* variables of the caller. A hung
// server is a stopped one: the kernel still accepts connections, nobody
// answers.

#include <QtCore>
#include <QtTest>

#include <signal.h>

class WebDavServer
{
public:
    static constexpr const char *User = "reader";
    static constexpr const char *Password = "s3cret 密码";

    // Empty on success, else what went wrong. `address` "127.0.0.1:0" picks a
    // port; `extra` goes to rclone (--cert and --key serve https).
    QString start(const QString &folder, const QString &address = QStringLiteral("127.0.0.1:0"),
                  const QStringList &extra = {})
    {
        folder_ = folder;
        QDir().mkpath(folder);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const QString &key : env.keys()) {
            if (key.startsWith(QLatin1String("RCLONE_")))
                env.remove(key);
        }
        process.setProcessEnvironment(env);
        // Files a test writes straight into the folder must show at once.
        const QStringList arguments{"serve",
                                    "webdav",
                                    folder,
                                    "--addr",
                                    address,
                                    "--config",
                                    "/dev/null",
                                    "--dir-cache-time",
                                    "0s",
                                    "--user",
                                    User,
                                    "--pass",
                                    QString::fromUtf8(Password)};
        process.start(QStringLiteral("rclone"), arguments + extra);
        if (!process.waitForStarted(10000))
            return QStringLiteral("cannot start rclone: ") + process.errorString();
        static const QRegularExpression started(QStringLiteral("started on (https?://\\S+)"));
        QString log;
        QDeadlineTimer deadline(10000);
        while (!deadline.hasExpired()) {
            if (process.state() != QProcess::Running)
                return QStringLiteral("rclone ended: ") + log + QString::fromUtf8(process.readAllStandardError());
            process.waitForReadyRead(50);
            log += QString::fromUtf8(process.readAllStandardError());
            const QRegularExpressionMatch match = started.match(log);
            if (match.hasMatch()) {
                url_ = QUrl(match.captured(1));
                return QString();
            }
        }
        stop();
        return QStringLiteral("rclone gave no address: ") + log;
    }

    ~WebDavServer() { stop(); }

    // rclone does not catch SIGTERM: QProcess calls its end a crash.
    void stop()
    {
        if (process.state() == QProcess::NotRunning)
            return;
        resume();
        process.terminate();
        if (!process.waitForFinished(5000)) {
            process.kill();
            process.waitForFinished(5000);
        }
    }
    // Stopped once /proc says so: kill() returns before every thread is.
    bool pause()
    {
        ::kill(pid_t(process.processId()), SIGSTOP);
        return QTest::qWaitFor([this] { return state() == 'T'; }, 2000);
    }
    void resume() { ::kill(pid_t(process.processId()), SIGCONT); }

    QUrl url() const { return url_; }
    QString address() const { return QStringLiteral("127.0.0.1:%1").arg(url_.port()); }
    QString folder() const { return folder_; }

private:
    char state() const
    {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(process.processId()));
        const QByteArray line = stat.open(QIODevice::ReadOnly) ? stat.readAll() : QByteArray();
        const int end = line.lastIndexOf(')');
        return end > 0 && line.size() > end + 2 ? line.at(end + 2) : '?';
    }

    QProcess process;
    QUrl url_;
    QString folder_;
};
