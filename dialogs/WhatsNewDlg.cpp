#include "WhatsNewDlg.h"
#include "ui_WhatsNewDlg.h"

#include <QCryptographicHash>
#include <QDesktopServices>
#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSysInfo>
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

QString WhatsNewDlg::computerIdentifier(const QString &appId)
{
    QByteArray machine = QSysInfo::machineUniqueId();
    if (machine.isEmpty())
        machine = QSysInfo::machineHostName().toUtf8();
    return QString::fromLatin1(
        QCryptographicHash::hash(machine + '/' + appId.toUtf8(), QCryptographicHash::Sha256).toHex().left(32));
}

void WhatsNewDlg::checkUpdate(const QString &address, bool manual)
{
    this->manual = manual;
    if (reply)
        reply->abort();
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
    reply = network->get(request);
    connect(reply, &QNetworkReply::finished, this, &WhatsNewDlg::onReply);
}

void WhatsNewDlg::onReply()
{
    QNetworkReply *answer = qobject_cast<QNetworkReply *>(sender());
    if (!answer)
        return;
    answer->deleteLater();
    if (answer->error() != QNetworkReply::NoError) {
        showProblem(tr("检查更新失败：%1").arg(answer->errorString()));
        return;
    }
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(answer->readAll(), &error);
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
    ui->btn_download->setVisible(downloadPage.startsWith(QLatin1String("http"), Qt::CaseInsensitive));
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
