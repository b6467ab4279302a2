#pragma once

#include "SyncStore.h"

#include <QNetworkAccessManager>
#include <QPair>
#include <QStringList>
#include <QUrl>

class QNetworkReply;

/// The records on a WebDAV server: <url>/<folder>/<book>/<machine>.json.
/// Credentials go with every request (Basic), never into the URL, and no
/// request waits longer than its timeout for the server to say something.
/// A book's folder is listed on its own (one level) and only records whose
/// tag changed are fetched; folders are made one level at a time when a
/// record cannot be written for want of them.
class WebDavStore : public SyncStore
{
    Q_OBJECT

public:
    struct Account
    {
        QUrl url;
        QString folder;
        QString user;
        QString password;
    };

    WebDavStore(const Account &account, int timeoutMs, QObject *parent = nullptr);
    ~WebDavStore() override;

    /// Why `url` may not be used, or NoProblem: it must be http or https
    /// without credentials in it, and plain http only to this machine
    /// (checked without a name look-up) unless `allowInsecure`.
    static Problem checkAddress(const QUrl &url, bool allowInsecure, QString *why);
    /// Exactly "localhost" or a loopback address.
    static bool isLoopback(const QUrl &url);

    void list(const QString &book, const QString &ownName, const QHash<QString, QByteArray> &known,
              const Listed &done) override;
    void put(const QString &book, const QString &name, const QByteArray &bytes, const Done &done) override;
    void probe(const Done &done) override;

private:
    using Headers = QList<QPair<QByteArray, QByteArray>>;
    using Finished = std::function<void(QNetworkReply *)>;
    struct Fetch;

    QNetworkReply *send(const QByteArray &verb, const QUrl &url, const QByteArray &body, qint64 cap,
                        const Headers &headers, const Finished &finished);
    QUrl urlOf(const QStringList &levels, const QString &file = QString()) const;
    QStringList levelsOf(const QString &book) const;
    void fetchFiles(const QStringList &levels, const QByteArray &listing, const QString &ownName,
                    const QHash<QString, QByteArray> &known, const Listed &done);
    void fetchFile(const QSharedPointer<Fetch> &fetch, const QStringList &levels, const QString &name,
                   const QByteArray &tag, const QByteArray &knownTag);
    void putFile(const QStringList &levels, const QString &name, const QByteArray &bytes, bool foldersMade,
                 const Done &done);
    void makeFolders(const QStringList &levels, int depth, const Done &done);
    static Problem problemOf(QNetworkReply *reply, QString *detail);
    static int statusOf(QNetworkReply *reply);

    QNetworkAccessManager nam;
    Account account;
    QByteArray authorization;
    int timeout;
};
