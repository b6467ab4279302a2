#include "WhatsNewDlg.h"
#include "ui_WhatsNewDlg.h"

#include "Prompter.h"

#include <QUrl>

WhatsNewDlg::WhatsNewDlg(const QString &appId, int versionCode, const QString &computerId, QWidget *parent)
    : QDialog(parent), ui(new Ui::WhatsNewDlg), checker(new UpdateChecker(appId, versionCode, computerId, this))
{
    ui->setupUi(this);
    ui->btn_download->hide();
    connect(checker, &UpdateChecker::answered, this, &WhatsNewDlg::showAnswer);
    connect(checker, &UpdateChecker::failed, this, &WhatsNewDlg::showProblem);
}

WhatsNewDlg::~WhatsNewDlg() = default;

void WhatsNewDlg::checkUpdate(const QString &address, bool manual)
{
    this->manual = manual;
    ui->label_title->setText(tr("正在检查更新…"));
    ui->text_notes->clear();
    checker->check(address);
}

void WhatsNewDlg::showAnswer(const UpdateAnswer &answer)
{
    newer = answer.newer;
    forceUpdate = answer.force;
    if (!newer) {
        ui->label_title->setText(tr("当前已是最新版本"));
        if (manual && !isVisible())
            open();
        return;
    }
    downloadPage = answer.url;
    ui->label_title->setText(forceUpdate ? tr("发现新版本 %1，需要更新后才能继续使用").arg(answer.versionName)
                                         : tr("发现新版本 %1").arg(answer.versionName));
    ui->text_notes->setPlainText(answer.notes);
    // A download offered over plain http could be swapped on the way.
    ui->btn_download->setVisible(QUrl(downloadPage).scheme().compare(QLatin1String("https"), Qt::CaseInsensitive) == 0);
    if (!isVisible())
        open();
}

void WhatsNewDlg::showProblem(UpdateChecker::Problem problem, const QString &detail)
{
    QString what;
    QString advice;
    switch (problem) {
    case UpdateChecker::NoNetwork:
        what = tr("检查更新失败：无法连接到更新服务器");
        advice = tr("请检查网络连接，稍后再试。");
        break;
    case UpdateChecker::TimedOut:
        what = tr("检查更新失败：连接超时");
        advice = tr("更新服务器没有及时回答，请稍后再试。");
        break;
    case UpdateChecker::ServerError:
        what = tr("检查更新失败：更新服务器出错");
        advice = tr("这是服务器一方的问题，请稍后再试。");
        break;
    case UpdateChecker::TooLarge:
        what = tr("检查更新失败：服务器的回答过大");
        advice = tr("服务器的回答不是更新信息，已忽略。");
        break;
    default:
        what = tr("检查更新失败：服务器的回答无法识别");
        advice = tr("服务器的回答不是更新信息，已忽略。");
        break;
    }
    ui->label_title->setText(what);
    // The box says what failed and what to do; what Qt said is the detail.
    ui->text_notes->setPlainText(detail.isEmpty() ? advice : advice + QStringLiteral("\n\n") + detail);
    if (manual && !isVisible())
        open();
}

void WhatsNewDlg::on_btn_download_clicked()
{
    Prompter::current()->openUrl(QUrl(downloadPage));
    accept();
}

void WhatsNewDlg::on_btn_close_clicked()
{
    reject();
}
