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

#ifdef Q_OS_UNIX
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

} // namespace

InstanceChannel::InstanceChannel(const QString &name, QObject *parent)
    : QObject(parent), name(name), server(new QLocalServer(this))
{
    server->setSocketOptions(QLocalServer::UserAccessOption);
    connect(server, &QLocalServer::newConnection, this, &InstanceChannel::onNewConnection);
}

InstanceChannel::~InstanceChannel() = default;

QString InstanceChannel::defaultName()
{
    // Two readers on one settings file would undo each other's writes; two
    // portable copies with files of their own may run side by side.
    const QByteArray settings = QFileInfo(configSettings()->fileName()).absoluteFilePath().toUtf8();
    const QString tag =
        QStringLiteral("tavril-%1-%2")
            .arg(userTag(),
                 QString::fromLatin1(QCryptographicHash::hash(settings, QCryptographicHash::Sha1).toHex().left(12)));
    // The user's runtime folder is private to the user and emptied at logout.
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QFileInfo(runtime).isDir() && QFileInfo(runtime).isWritable())
        return QDir(runtime).filePath(tag);
    return tag;
}

InstanceChannel::Answer InstanceChannel::send(const QString &name, const QStringList &request, int timeout)
{
    // The running reader may still be on its way to listening.
    QDeadlineTimer deadline(timeout);
    QLocalSocket socket;
    while (true) {
        socket.connectToServer(name);
        if (socket.waitForConnected(int(qMax<qint64>(1, deadline.remainingTime()))))
            break;
        if (deadline.hasExpired())
            return NoReader;
        QThread::msleep(50);
    }
    const QByteArray line = QJsonDocument(QJsonArray::fromStringList(request)).toJson(QJsonDocument::Compact) + '\n';
    socket.write(line);
    if (!socket.waitForBytesWritten(timeout))
        return NoReader;
    while (!socket.canReadLine()) {
        if (!socket.waitForReadyRead(timeout))
            return NoReader;
    }
    bool ok = false;
    const int answer = socket.readLine().trimmed().toInt(&ok);
    if (!ok || answer < Done || answer > NoReader)
        return Unknown;
    return Answer(answer);
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
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { onReadyRead(socket); });
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
