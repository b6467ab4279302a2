#pragma once

// A relay on 127.0.0.1 between a client and a server: counts the bytes the
// client sends (request lines, headers and bodies) and its requests.
// Runs in the event loop of the thread that owns it.

#include <QtNetwork>

class CountingRelay
{
public:
    // False when it cannot listen.
    bool listen(const QUrl &upstream)
    {
        server = upstream;
        QObject::connect(&listener, &QTcpServer::newConnection, [this] { accept(); });
        if (!listener.listen(QHostAddress::LocalHost, 0))
            return false;
        url_ = QUrl(QStringLiteral("http://127.0.0.1:%1/").arg(listener.serverPort()));
        return true;
    }
    QUrl url() const { return url_; }
    qint64 bytesSent() const { return sent; }
    // Requests seen, by their first line.
    QStringList requests() const { return lines; }
    void reset()
    {
        sent = 0;
        lines.clear();
    }

private:
    void accept()
    {
        while (QTcpSocket *client = listener.nextPendingConnection()) {
            auto *upstream = new QTcpSocket(client);
            upstream->connectToHost(QHostAddress::LocalHost, quint16(server.port()));
            QObject::connect(client, &QTcpSocket::readyRead, client, [this, client, upstream] {
                const QByteArray bytes = client->readAll();
                sent += bytes.size();
                const int end = bytes.indexOf("\r\n");
                if (end > 0 && bytes.left(end).endsWith(" HTTP/1.1"))
                    lines << QString::fromLatin1(bytes.left(end));
                upstream->write(bytes);
            });
            QObject::connect(upstream, &QTcpSocket::readyRead, client,
                             [client, upstream] { client->write(upstream->readAll()); });
            QObject::connect(upstream, &QTcpSocket::disconnected, client, &QTcpSocket::disconnectFromHost);
            QObject::connect(client, &QTcpSocket::disconnected, client, &QObject::deleteLater);
        }
    }

    QTcpServer listener;
    QUrl server;
    QUrl url_;
    qint64 sent = 0;
    QStringList lines;
};
