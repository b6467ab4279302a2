#include "WebDavStore.h"

#include "DavListing.h"
#include "SyncRecord.h"

#include <QHostAddress>
#include <QNetworkReply>
#include <QSharedPointer>
#include <QSslError>

namespace {

// A book's folder lists a few machines; anything much larger is not ours.
const qint64 kLargestListing = 4 << 20;
const qint64 kLargestAnswer = 64 << 10;
// Records beyond this many in one book's folder are left alone.
const int kMostRecords = 64;

bool isRecordName(const QString &name, const QString &ownName)
{
    return name.endsWith(QLatin1String(".json")) && !name.startsWith(QLatin1Char('.')) && name != ownName;
}

} // namespace

struct WebDavStore::Fetch
{
    Listing listing;
    int waiting = 0;
    Listed done;
    void finishOne()
    {
        if (--waiting > 0)
            return;
        if (listing.problem != NoProblem)
            listing.files.clear();
        done(listing);
    }
};

WebDavStore::WebDavStore(const Account &account, int timeoutMs, QObject *parent)
    : SyncStore(parent), account(account), timeout(timeoutMs)
{
    if (!account.user.isEmpty())
        authorization = "Basic " + (account.user + QLatin1Char(':') + account.password).toUtf8().toBase64();
}

// Callers hear nothing of requests cut short here: they may be gone too.
WebDavStore::~WebDavStore()
{
    const QList<QNetworkReply *> replies = nam.findChildren<QNetworkReply *>();
    for (QNetworkReply *reply : replies) {
        reply->disconnect(this);
        reply->abort();
    }
}

bool WebDavStore::isLoopback(const QUrl &url)
{
    const QString host = url.host(QUrl::FullyDecoded);
    if (host == QLatin1String("localhost"))
        return true;
    QHostAddress address;
    return address.setAddress(host) && address.isLoopback();
}

SyncStore::Problem WebDavStore::checkAddress(const QUrl &url, bool allowInsecure, QString *why)
{
    const QString scheme = url.scheme();
    if (!url.isValid() || url.host().isEmpty() ||
        (scheme != QLatin1String("http") && scheme != QLatin1String("https"))) {
        *why = tr("地址应以 https:// 开头");
        return url.toString().trimmed().isEmpty() ? NotSet : Address;
    }
    if (!url.userInfo().isEmpty()) {
        *why = tr("用户名和密码请填在各自的栏里，不要写进地址");
        return Address;
    }
    if (scheme == QLatin1String("http") && !allowInsecure && !isLoopback(url)) {
        *why = QString();
        return Insecure;
    }
    why->clear();
    return NoProblem;
}

QStringList WebDavStore::levelsOf(const QString &book) const
{
    QStringList levels;
    for (const QString &part : account.folder.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        if (part != QLatin1String(".") && part != QLatin1String(".."))
            levels << part;
    }
    return levels << book;
}

QUrl WebDavStore::urlOf(const QStringList &levels, const QString &file) const
{
    QUrl url(account.url);
    QString path = url.path(QUrl::FullyDecoded);
    if (!path.endsWith(QLatin1Char('/')))
        path += QLatin1Char('/');
    for (const QString &level : levels)
        path += level + QLatin1Char('/');
    url.setPath(path + file, QUrl::DecodedMode);
    url.setQuery(QString());
    url.setFragment(QString());
    return url;
}

QNetworkReply *WebDavStore::send(const QByteArray &verb, const QUrl &url, const QByteArray &body, qint64 cap,
                                 const Headers &headers, const Finished &finished)
{
    QNetworkRequest request(url);
    request.setTransferTimeout(timeout);
    // A redirect would carry the credentials elsewhere.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    request.setRawHeader("User-Agent", "Tavril");
    if (!authorization.isEmpty())
        request.setRawHeader("Authorization", authorization);
    for (const auto &header : headers)
        request.setRawHeader(header.first, header.second);
    QNetworkReply *reply =
        body.isNull() ? nam.sendCustomRequest(request, verb) : nam.sendCustomRequest(request, verb, body);
    connect(reply, &QNetworkReply::downloadProgress, this, [reply, cap](qint64 received, qint64 total) {
        if (received > cap || total > cap) {
            reply->setProperty("tooLarge", true);
            reply->abort();
        }
    });
    // Shown to the user, never ignored.
    connect(reply, &QNetworkReply::sslErrors, this, [reply](const QList<QSslError> &errors) {
        QStringList texts;
        for (const QSslError &error : errors)
            texts << error.errorString();
        reply->setProperty("sslErrors", texts.join(QStringLiteral("; ")));
    });
    connect(reply, &QNetworkReply::finished, this, [reply, finished] {
        reply->deleteLater();
        finished(reply);
    });
    return reply;
}

int WebDavStore::statusOf(QNetworkReply *reply)
{
    return reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
}

// The status when the server answered, the transport's error when not.
SyncStore::Problem WebDavStore::problemOf(QNetworkReply *reply, QString *detail)
{
    const int status = statusOf(reply);
    detail->clear();
    if (status >= 200 && status < 300)
        return NoProblem;
    if (status != 0) {
        *detail = QStringLiteral("HTTP %1 %2")
                      .arg(status)
                      .arg(reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString())
                      .trimmed();
        if (status == 401 || status == 403)
            return Credentials;
        return status == 507 || status == 413 ? Quota : Server;
    }
    if (reply->property("tooLarge").toBool()) {
        *detail = tr("回应过大");
        return Server;
    }
    *detail = reply->errorString();
    switch (reply->error()) {
    case QNetworkReply::NoError:
        return NoProblem;
    case QNetworkReply::OperationCanceledError: // the transfer timeout; our own aborts are not heard
    case QNetworkReply::TimeoutError:
        detail->clear();
        return Timeout;
    case QNetworkReply::SslHandshakeFailedError:
        if (!reply->property("sslErrors").toString().isEmpty())
            *detail = reply->property("sslErrors").toString();
        return Certificate;
    case QNetworkReply::ConnectionRefusedError:
    case QNetworkReply::RemoteHostClosedError:
    case QNetworkReply::HostNotFoundError:
    case QNetworkReply::TemporaryNetworkFailureError:
    case QNetworkReply::NetworkSessionFailedError:
    case QNetworkReply::UnknownNetworkError:
    case QNetworkReply::ProxyConnectionRefusedError:
    case QNetworkReply::ProxyNotFoundError:
        return Address;
    default:
        return Server;
    }
}

void WebDavStore::list(const QString &book, const QString &ownName, const QHash<QString, QByteArray> &known,
                       const Listed &done)
{
    const QStringList levels = levelsOf(book);
    send("PROPFIND", urlOf(levels), QByteArray(), kLargestListing, {{"Depth", "1"}},
         [this, levels, ownName, known, done](QNetworkReply *reply) {
             if (statusOf(reply) == 404) // no machine wrote this book yet
                 return done(Listing());
             Listing failed;
             failed.problem = problemOf(reply, &failed.detail);
             if (failed.problem == NoProblem && statusOf(reply) != 207) {
                 failed.problem = Server;
                 failed.detail = tr("不是 WebDAV 服务器（HTTP %1）").arg(statusOf(reply));
             }
             if (failed.problem != NoProblem)
                 return done(failed);
             fetchFiles(levels, reply->readAll(), ownName, known, done);
         });
}

void WebDavStore::fetchFiles(const QStringList &levels, const QByteArray &listing, const QString &ownName,
                             const QHash<QString, QByteArray> &known, const Listed &done)
{
    QList<DavListing::Entry> entries;
    QSharedPointer<Fetch> fetch(new Fetch);
    fetch->done = done;
    if (!DavListing::parse(listing, &entries, &fetch->listing.detail)) {
        fetch->listing.problem = Server;
        return done(fetch->listing);
    }
    fetch->waiting = 1; // held until every request is on its way
    int records = 0;
    for (const DavListing::Entry &entry : qAsConst(entries)) {
        if (entry.folder || !isRecordName(entry.name, ownName) || ++records > kMostRecords)
            continue;
        const QByteArray knownTag = known.value(entry.name);
        if (!entry.tag.isEmpty() && entry.tag == knownTag)
            fetch->listing.files.append(File{entry.name, entry.tag, QByteArray(), true, false});
        else if (entry.size > SyncRecord::MaxBytes)
            fetch->listing.files.append(File{entry.name, entry.tag, QByteArray(), false, true});
        else
            fetchFile(fetch, levels, entry.name, entry.tag, knownTag);
    }
    fetch->finishOne();
}

void WebDavStore::fetchFile(const QSharedPointer<Fetch> &fetch, const QStringList &levels, const QString &name,
                            const QByteArray &tag, const QByteArray &knownTag)
{
    ++fetch->waiting;
    Headers headers;
    if (!knownTag.isEmpty())
        headers.append({"If-None-Match", knownTag});
    send("GET", urlOf(levels, name), QByteArray(), SyncRecord::MaxBytes, headers,
         [fetch, name, tag, knownTag](QNetworkReply *reply) {
             const int status = statusOf(reply);
             QString detail;
             const Problem problem = problemOf(reply, &detail);
             if (status == 304) {
                 fetch->listing.files.append(File{name, knownTag, QByteArray(), true, false});
             } else if (status == 200) {
                 const QByteArray answered = reply->rawHeader("ETag");
                 fetch->listing.files.append(
                     File{name, answered.isEmpty() ? tag : answered, reply->readAll(), false, false});
             } else if (reply->property("tooLarge").toBool()) {
                 fetch->listing.files.append(File{name, tag, QByteArray(), false, true});
             } else if (status != 404 && fetch->listing.problem == NoProblem) { // gone since the listing: no record
                 fetch->listing.problem = problem == NoProblem ? Server : problem;
                 fetch->listing.detail = detail;
             }
             fetch->finishOne();
         });
}

void WebDavStore::put(const QString &book, const QString &name, const QByteArray &bytes, const Done &done)
{
    putFile(levelsOf(book), name, bytes, false, done);
}

// Servers answer a write into a missing folder with 409 (the RFC) or 404.
void WebDavStore::putFile(const QStringList &levels, const QString &name, const QByteArray &bytes, bool foldersMade,
                          const Done &done)
{
    send("PUT", urlOf(levels, name), bytes, kLargestAnswer, {{"Content-Type", "application/json"}},
         [this, levels, name, bytes, foldersMade, done](QNetworkReply *reply) {
             const int status = statusOf(reply);
             if ((status == 404 || status == 409) && !foldersMade) {
                 return makeFolders(levels, 0, [this, levels, name, bytes, done](Problem problem, const QString &why) {
                     if (problem != NoProblem)
                         return done(problem, why);
                     putFile(levels, name, bytes, true, done);
                 });
             }
             QString detail;
             const Problem problem = problemOf(reply, &detail);
             done(problem, detail);
         });
}

// 201 for a new folder; an existing one gives 405 (the RFC) or 201 (some servers).
void WebDavStore::makeFolders(const QStringList &levels, int depth, const Done &done)
{
    if (depth >= levels.size())
        return done(NoProblem, QString());
    send("MKCOL", urlOf(levels.mid(0, depth + 1)), QByteArray(), kLargestAnswer, {},
         [this, levels, depth, done](QNetworkReply *reply) {
             QString detail;
             const Problem problem = statusOf(reply) == 405 ? NoProblem : problemOf(reply, &detail);
             if (problem != NoProblem)
                 return done(problem, detail);
             makeFolders(levels, depth + 1, done);
         });
}

void WebDavStore::probe(const Done &done)
{
    send("PROPFIND", urlOf({}), QByteArray(), kLargestListing, {{"Depth", "0"}}, [done](QNetworkReply *reply) {
        QString detail;
        Problem problem = problemOf(reply, &detail);
        if (statusOf(reply) == 404)
            problem = Address;
        done(problem, detail);
    });
}
