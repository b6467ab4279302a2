#include "UpdateChecker.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QUrlQuery>

namespace {

UpdateChecker::Problem problemOf(QNetworkReply::NetworkError error)
{
    switch (error) {
    case QNetworkReply::OperationCanceledError:
    case QNetworkReply::TimeoutError:
        return UpdateChecker::TimedOut;
    case QNetworkReply::ConnectionRefusedError:
    case QNetworkReply::RemoteHostClosedError:
    case QNetworkReply::HostNotFoundError:
    case QNetworkReply::TemporaryNetworkFailureError:
    case QNetworkReply::NetworkSessionFailedError:
    case QNetworkReply::ProxyConnectionRefusedError:
    case QNetworkReply::ProxyNotFoundError:
    case QNetworkReply::UnknownNetworkError:
        return UpdateChecker::NoNetwork;
    default:
        return UpdateChecker::ServerError;
    }
}

} // namespace

UpdateChecker::UpdateChecker(const QString &appId, int versionCode, const QString &installId, QObject *parent)
    : QObject(parent), appId(appId), versionCode(versionCode), installId(installId)
{
    qRegisterMetaType<UpdateAnswer>("UpdateAnswer");
}

UpdateChecker::~UpdateChecker()
{
    // Nobody is left to hear how an aborted check ends.
    if (reply) {
        reply->disconnect(this);
        reply->abort();
    }
}

void UpdateChecker::check(const QString &address)
{
    if (reply) {
        // The answer to an earlier check is no longer wanted, nor its failure.
        reply->disconnect(this);
        reply->abort();
        reply->deleteLater();
    }
    QUrl url(address);
    QUrlQuery query(url);
    query.addQueryItem(QStringLiteral("app"), appId);
    query.addQueryItem(QStringLiteral("version"), QString::number(versionCode));
    query.addQueryItem(QStringLiteral("machine"), installId);
    url.setQuery(query);
    if (!network)
        network = new QNetworkAccessManager(this);
    QNetworkRequest request(url);
    request.setTransferTimeout(timeout);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    // Asking for the body as it is keeps Qt from inflating a compressed one
    // of any size in memory; a compressed answer then simply does not parse.
    request.setRawHeader("Accept-Encoding", "identity");
    reply = network->get(request);
    reply->setReadBufferSize(LargestAnswer + 1);
    tooLarge = false;
    connect(reply, &QNetworkReply::readyRead, this, &UpdateChecker::onReadyRead);
    connect(reply, &QNetworkReply::finished, this, &UpdateChecker::onFinished);
}

void UpdateChecker::onReadyRead()
{
    // The answer is a few hundred bytes: anything far larger is not one, and
    // is not read into memory.
    if (reply && reply->bytesAvailable() > LargestAnswer) {
        tooLarge = true;
        reply->abort();
    }
}

void UpdateChecker::onFinished()
{
    auto *answer = qobject_cast<QNetworkReply *>(sender());
    if (!answer)
        return;
    answer->deleteLater();
    if (tooLarge || answer->header(QNetworkRequest::ContentLengthHeader).toLongLong() > LargestAnswer) {
        emit failed(TooLarge, QString());
        return;
    }
    if (answer->error() != QNetworkReply::NoError) {
        const int status = answer->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        emit failed(status >= 400 ? ServerError : problemOf(answer->error()),
                    status >= 400 ? QStringLiteral("HTTP %1").arg(status) : answer->errorString());
        return;
    }
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(answer->read(LargestAnswer + 1), &error);
    const QJsonObject object = document.object();
    if (error.error != QJsonParseError::NoError || !document.isObject() ||
        !object.value(QStringLiteral("versionCode")).isDouble()) {
        emit failed(BadAnswer, error.error != QJsonParseError::NoError ? error.errorString() : QString());
        return;
    }
    UpdateAnswer result;
    result.newer = object.value(QStringLiteral("versionCode")).toInt() > versionCode;
    result.force = result.newer && object.value(QStringLiteral("force")).toBool();
    result.versionName = object.value(QStringLiteral("versionName")).toString();
    result.notes = object.value(QStringLiteral("notes")).toString();
    result.url = object.value(QStringLiteral("url")).toString();
    emit answered(result);
}
