#include "WhatsNewDlg.h"
#include "ui_WhatsNewDlg.h"

#include <QDesktopServices>
#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QUrlQuery>

WhatsNewDlg::WhatsNewDlg(const QString &appId, int versionCode, const QString &computerId, QWidget *parent)
    : QDialog(parent), ui(new Ui::WhatsNewDlg), appId(appId), versionCode(versionCode), computerId(computerId)
{
    ui->setupUi(this);
    ui->btn_download->hide();
}

WhatsNewDlg::~WhatsNewDlg()
{
    if (reply)
        reply->abort();
}

void WhatsNewDlg::checkUpdate(const QString &address, bool manual)
{
    this->manual = manual;
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
    query.addQueryItem(QStringLiteral("machine"), computerId);
    url.setQuery(query);
    ui->label_title->setText(tr("正在检查更新…"));
    ui->text_notes->clear();
    if (!network)
        network = new QNetworkAccessManager(this);
    QNetworkRequest request(url);
    request.setTransferTimeout(timeout);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    // Asking for the body as it is keeps Qt from inflating a compressed one
    // of any size in memory; a compressed answer then simply does not parse.
    request.setRawHeader("Accept-Encoding", "identity");
    reply = network->get(request);
    reply->setReadBufferSize(kLargestAnswer + 1);
    tooLarge = false;
    connect(reply, &QNetworkReply::readyRead, this, &WhatsNewDlg::onReadyRead);
    connect(reply, &QNetworkReply::finished, this, &WhatsNewDlg::onReply);
}

void WhatsNewDlg::onReadyRead()
{
    // The answer is a few hundred bytes: anything far larger is not one, and
    // is not read into memory.
    if (reply && reply->bytesAvailable() > kLargestAnswer) {
        tooLarge = true;
        reply->abort();
    }
}

void WhatsNewDlg::onReply()
{
    QNetworkReply *answer = qobject_cast<QNetworkReply *>(sender());
    if (!answer)
        return;
    answer->deleteLater();
    if (tooLarge || answer->header(QNetworkRequest::ContentLengthHeader).toLongLong() > kLargestAnswer) {
        showProblem(tr("检查更新失败：服务器的回答过大"));
        return;
    }
    if (answer->error() == QNetworkReply::OperationCanceledError || answer->error() == QNetworkReply::TimeoutError) {
        showProblem(tr("检查更新失败：连接超时"));
        return;
    }
    if (answer->error() != QNetworkReply::NoError) {
        showProblem(tr("检查更新失败：%1").arg(answer->errorString()));
        return;
    }
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(answer->read(kLargestAnswer + 1), &error);
    if (error.error != QJsonParseError::NoError || !document.isObject() ||
        !document.object().value(QStringLiteral("versionCode")).isDouble()) {
        showProblem(tr("检查更新失败：服务器的回答无法识别"));
        return;
    }
    showAnswer(document.object());
}

void WhatsNewDlg::showAnswer(const QJsonObject &answer)
{
    newer = answer.value(QStringLiteral("versionCode")).toInt() > versionCode;
    forceUpdate = newer && answer.value(QStringLiteral("force")).toBool();
    if (!newer) {
        ui->label_title->setText(tr("当前已是最新版本"));
        if (manual && !isVisible())
            open();
        return;
    }
    downloadPage = answer.value(QStringLiteral("url")).toString();
    ui->label_title->setText(
        forceUpdate
            ? tr("发现新版本 %1，需要更新后才能继续使用").arg(answer.value(QStringLiteral("versionName")).toString())
            : tr("发现新版本 %1").arg(answer.value(QStringLiteral("versionName")).toString()));
    ui->text_notes->setPlainText(answer.value(QStringLiteral("notes")).toString());
    // A download offered over plain http could be swapped on the way.
    ui->btn_download->setVisible(QUrl(downloadPage).scheme().compare(QLatin1String("https"), Qt::CaseInsensitive) == 0);
    if (!isVisible())
        open();
}

void WhatsNewDlg::showProblem(const QString &text)
{
    ui->label_title->setText(text);
    if (manual && !isVisible())
        open();
}

void WhatsNewDlg::on_btn_download_clicked()
{
    QDesktopServices::openUrl(QUrl(downloadPage));
    accept();
}

void WhatsNewDlg::on_btn_close_clicked()
{
    reject();
}
