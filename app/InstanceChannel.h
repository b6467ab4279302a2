#pragma once

#include <QObject>
#include <QStringList>

#include <memory>

class QLocalServer;
class QLockFile;
class QLocalSocket;

/// One reader per user and settings file. The running reader listens on a
/// local socket only its user may reach; a second start hands its request
/// (a book to open, "show", a command) over and exits.
///
/// A request is a short list of words, sent as one line of JSON; the answer
/// is one line holding an Answer.
class InstanceChannel : public QObject
{
    Q_OBJECT

public:
    enum Answer { Done = 0, Refused = 1, Unknown = 2, NoReader = 3 };
    Q_ENUM(Answer)

    explicit InstanceChannel(const QString &name, QObject *parent = nullptr);
    ~InstanceChannel() override;

    /// The channel of this user and this settings file, in a folder only the
    /// user can reach; empty (and *error says why) when there is no such folder.
    static QString defaultName(QString *error = nullptr);

    /// Sends `request` to the reader listening on `name` and waits for its
    /// answer; NoReader when nobody listens or answers within `timeout` ms.
    static Answer send(const QString &name, const QStringList &request, int timeout = 5000);

    /// Whether a reader holds the channel `name` (without waiting for it).
    static bool readerRuns(const QString &name);

    /// Starts listening. False when another reader runs (it holds the
    /// channel's lock file); what a killed reader left behind is taken over.
    bool listen();
    bool isListening() const;

    /// At most this many clients at once, each given this long (ms) for its
    /// request: idle connections must not use up the reader's descriptors.
    static constexpr int MostClients = 16;
    static constexpr int RequestTime = 2000;

signals:
    /// A request arrived. A receiver connected directly sets `answer`
    /// (Unknown when nobody does).
    void requested(const QStringList &request, InstanceChannel::Answer *answer);

private:
    void onNewConnection();
    void onReadyRead(QLocalSocket *socket);
    void keepListening();

    QString name;
    QLocalServer *server;
    std::unique_ptr<QLockFile> lock;
    int clients = 0;
};
