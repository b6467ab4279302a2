#pragma once

// A speech-dispatcher of the test's own: private configuration, socket and
// logs in a temporary folder, no sound card. Its one output module appends
// each sentence to spoken.txt, notes the pid of the command that "speaks" it
// and sleeps for speak-seconds (so a stop has something to cut short).

#include <QtCore>
#include <QtTest>

#include <signal.h>

class PrivateSpeech
{
public:
    // Empty on success, else what went wrong.
    QString start()
    {
        if (!dir.isValid())
            return QStringLiteral("no temporary folder");
        for (const char *sub : {"conf/modules", "run", "log", "home"})
            QDir().mkpath(path(sub));
        QFile::setPermissions(path("run"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        write("conf/speechd.conf", "CommunicationMethod \"unix_socket\"\nTimeout 0\nLogLevel 3\n"
                                   "AudioOutputMethod \"libao\"\nDefaultLanguage \"zh\"\n"
                                   "AddModule \"tavril-file\" \"sd_generic\" \"tavril-file.conf\"\n"
                                   "DefaultModule \"tavril-file\"\nLanguageDefaultModule \"zh\" \"tavril-file\"\n"
                                   "DisableAutoSpawn\n");
        // $DATA in single quotes: sd_generic escapes only those. A delimiter
        // byte that never occurs keeps a sentence one run of the command.
        const QByteArray d = dir.path().toLocal8Bit();
        write("conf/modules/tavril-file.conf",
              "GenericExecuteSynth \"echo $$ > \\'" + d +
                  "/speaking.pid\\' && printf \\'%s\\\\n\\' \\'$DATA\\' >> \\'" + d +
                  "/spoken.txt\\' && sleep \\\"$(cat \\'" + d + "/speak-seconds\\')\\\"\"\n" +
                  "GenericMaxChunkLength 100000\nGenericDelimiters \"\x1f\"\n"
                  "GenericLanguage \"zh\" \"zh\" \"utf-8\"\nAddVoice \"zh\" \"FEMALE1\" \"tavril-zh\"\n"
                  "DefaultVoice \"tavril-zh\"\n");
        write("home/.libao", "default_driver=null\nquiet\n");
        write("spoken.txt", "");
        setSpeakSeconds(0.2);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("HOME"), path("home"));
        server.setProcessEnvironment(env);
        server.setProcessChannelMode(QProcess::MergedChannels);
        QFile::remove(socket());
        server.start(QStringLiteral("speech-dispatcher"),
                     {"-s", "-t", "0", "-C", path("conf"), "-P", path("run/speechd.pid"), "-L", path("log"), "-c",
                      "unix_socket", "-S", socket()});
        if (!server.waitForStarted(5000))
            return QStringLiteral("speech-dispatcher did not start: ") + server.errorString();
        QDeadlineTimer deadline(10000);
        while (!QFileInfo::exists(socket())) {
            if (server.state() == QProcess::NotRunning || deadline.hasExpired())
                return QStringLiteral("speech-dispatcher gave no socket: ") + QString::fromLocal8Bit(server.readAll());
            QTest::qWait(10);
        }
        useServer(socket());
        return QString();
    }

    ~PrivateSpeech() { stop(); }

    void stop()
    {
        if (server.state() == QProcess::NotRunning)
            return;
        server.terminate(); // takes speech-dispatcher 1.5 to 2 s
        if (!server.waitForFinished(5000))
            crash();
    }
    void crash()
    {
        server.kill();
        server.waitForFinished(3000);
    }

    // Where the reader's speech engine looks for its server; never spawns one.
    static void useServer(const QString &socket)
    {
        qputenv("SPEECHD_ADDRESS", "unix_socket:" + socket.toLocal8Bit());
        qputenv("SPEECHD_CMD", "/bin/false");
    }

    QString socket() const { return path("run/speechd.sock"); }
    QStringList spoken() const
    {
        QFile file(path("spoken.txt"));
        if (!file.open(QIODevice::ReadOnly))
            return {};
        QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
        lines.removeAll(QString());
        return lines;
    }
    void clearSpoken() { write("spoken.txt", ""); }
    void setSpeakSeconds(double seconds) { write("speak-seconds", QByteArray::number(seconds) + '\n'); }
    // The command speaking now (or last), and whether it still runs.
    qint64 speakingPid() const { return readAll("speaking.pid").trimmed().toLongLong(); }
    static bool runs(qint64 pid)
    {
        const QByteArray stat = readAll(QStringLiteral("/proc/%1/stat").arg(pid));
        const int state = stat.lastIndexOf(')') + 2; // a zombie has been stopped too
        return pid > 0 && state > 1 && state < stat.size() && stat.at(state) != 'Z';
    }

private:
    QString path(const char *name) const { return dir.filePath(QLatin1String(name)); }
    void write(const char *name, const QByteArray &bytes)
    {
        QFile file(path(name));
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
            qFatal("cannot write %s", name);
    }
    QByteArray readAll(const char *name) const { return readAll(path(name)); }
    static QByteArray readAll(const QString &file)
    {
        QFile in(file);
        return in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray();
    }

    QTemporaryDir dir{QDir::tempPath() + QStringLiteral("/tavril-speech-XXXXXX")};
    QProcess server;
};
