#include "InstanceChannel.h"

#include "configSettings.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QThread>

#include <QStandardPaths>
#include <QTimer>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

// A request is a few words and a path: anything longer is not ours.
const qint64 kLongestRequest = 64 * 1024;
const int kMostWords = 8;

QString userTag()
{
#ifdef Q_OS_UNIX
    return QString::number(::getuid());
#else
    return qEnvironmentVariable("USERNAME");
#endif
}

bool readWords(const QByteArray &line, QStringList *words)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(line, &error);
    if (error.error != QJsonParseError::NoError || !document.isArray() || document.array().size() > kMostWords)
        return false;
    for (const QJsonValue &value : document.array()) {
        if (!value.isString())
            return false;
        words->append(value.toString());
    }
    return !words->isEmpty();
}

#ifdef Q_OS_UNIX
// A folder nobody else can put a socket or a lock into: the user's own, not
// a link, writable by nobody else. Made (0700) when missing.
bool isPrivateFolder(const QString &path, bool create)
{
    const QByteArray native = QFile::encodeName(path);
    if (create && !QFileInfo::exists(path)) {
        QDir().mkpath(QFileInfo(path).absolutePath());
        if (::mkdir(native.constData(), 0700) != 0 && errno != EEXIST)
            return false;
    }
    struct stat status;
    return ::lstat(native.constData(), &status) == 0 && S_ISDIR(status.st_mode) && status.st_uid == ::getuid() &&
           (status.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}
#endif

// A socket's path must fit the kernel's address (108 bytes with its end).
const int kLongestSocketPath = 100;

} // namespace

InstanceChannel::InstanceChannel(const QString &name, QObject *parent)
    : QObject(parent), name(name), server(new QLocalServer(this))
{
    server->setSocketOptions(QLocalServer::UserAccessOption);
    connect(server, &QLocalServer::newConnection, this, &InstanceChannel::onNewConnection);
    // Qt closes the server's socket when an accept fails (the process is out
    // of descriptors); the reader listens again rather than go deaf.
    auto *watch = new QTimer(this);
    connect(watch, &QTimer::timeout, this, &InstanceChannel::keepListening);
    watch->start(5000);
}

InstanceChannel::~InstanceChannel() = default;

QString InstanceChannel::defaultName(QString *error)
{
    // Two readers on one settings file would undo each other's writes; two
    // portable copies with files of their own may run side by side.
    const QByteArray settings = QFile::encodeName(QFileInfo(configSettings()->fileName()).absoluteFilePath());
    const QString tag =
        QStringLiteral("tavril-%1-%2")
            .arg(userTag(),
                 QString::fromLatin1(QCryptographicHash::hash(settings, QCryptographicHash::Sha1).toHex().left(12)));
#ifdef Q_OS_UNIX
    // Never a folder others can write, like /tmp: another user could take
    // the name first and receive every book opened.
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    const QStringList folders = {
        runtime,
        QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) + QStringLiteral("/tavril-run"),
        QDir::tempPath() + QStringLiteral("/tavril-") + userTag(),
    };
    for (const QString &folder : folders) {
        const QString path = QDir(folder).filePath(tag);
        if (!folder.isEmpty() && QDir::isAbsolutePath(folder) && path.size() <= kLongestSocketPath &&
            isPrivateFolder(folder, folder != runtime))
            return path;
    }
    if (error)
        *error = QStringLiteral("no private folder for the reader's channel: %1 and %2 belong to someone else or "
                                "can be written by others")
                     .arg(folders.at(1), folders.at(2));
    return QString();
#else
    Q_UNUSED(error)
    return tag;
#endif
}

InstanceChannel::Answer InstanceChannel::send(const QString &name, const QStringList &request, int timeout)
{
    // The running reader may still be on its way to listening, or busy with
    // as many clients as it takes at once: it is asked again until the time
    // is up.
    const QDeadlineTimer deadline(timeout);
    const QByteArray line = QJsonDocument(QJsonArray::fromStringList(request)).toJson(QJsonDocument::Compact) + '\n';
    while (true) {
        QLocalSocket socket;
        socket.connectToServer(name);
        if (socket.waitForConnected(int(qMax<qint64>(1, deadline.remainingTime())))) {
            socket.write(line);
            socket.waitForBytesWritten(int(qMax<qint64>(1, deadline.remainingTime())));
            while (!socket.canReadLine() && socket.waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime()))))
                ;
            if (socket.canReadLine()) {
                bool ok = false;
                const int answer = socket.readLine().trimmed().toInt(&ok);
                return ok && answer >= Done && answer <= NoReader ? Answer(answer) : Unknown;
            }
        }
        if (deadline.hasExpired())
            return NoReader;
        QThread::msleep(50);
    }
}

namespace {

QString lockPathFor(const QString &name)
{
    return QDir::isAbsolutePath(name) ? name + QStringLiteral(".lock")
                                      : QDir::temp().filePath(name + QStringLiteral(".lock"));
}

} // namespace

bool InstanceChannel::readerRuns(const QString &name)
{
    QLockFile probe(lockPathFor(name));
    probe.setStaleLockTime(0);
    if (!probe.tryLock(0))
        return true;
    probe.unlock();
    return false;
}

bool InstanceChannel::listen()
{
    // The lock decides who is the running reader: Qt replaces an existing
    // socket without a word, and the lock of a killed reader goes stale with
    // its process.
    lock.reset(new QLockFile(lockPathFor(name)));
    lock->setStaleLockTime(0);
    if (!lock->tryLock(100)) {
        lock.reset();
        return false;
    }
    QLocalServer::removeServer(name);
    return server->listen(name);
}

void InstanceChannel::onNewConnection()
{
    while (QLocalSocket *socket = server->nextPendingConnection()) {
        if (clients >= MostClients) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        ++clients;
        connect(socket, &QObject::destroyed, this, [this] { --clients; });
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { onReadyRead(socket); });
        // A client that does not ask in time is let go.
        QTimer::singleShot(RequestTime, socket, [socket] {
            socket->abort();
            socket->deleteLater();
        });
    }
}

bool InstanceChannel::isListening() const
{
    // After a failed accept Qt has closed the socket but still says it
    // listens: the socket's file tells.
    const QString socket = server->fullServerName();
    return server->isListening() && (!QDir::isAbsolutePath(socket) || QFileInfo::exists(socket));
}

void InstanceChannel::keepListening()
{
    if (lock && !isListening()) {
        server->close();
        QLocalServer::removeServer(name);
        server->listen(name);
    }
}

void InstanceChannel::onReadyRead(QLocalSocket *socket)
{
    if (!socket->canReadLine()) {
        if (socket->bytesAvailable() > kLongestRequest)
            socket->abort();
        return;
    }
    QStringList words;
    Answer answer = Refused;
    if (readWords(socket->readLine(kLongestRequest), &words)) {
        answer = Unknown;
        emit requested(words, &answer);
    }
    socket->write(QByteArray::number(int(answer)) + '\n');
    socket->disconnectFromServer();
}
