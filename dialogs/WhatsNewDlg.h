#pragma once

#include <QDialog>
#include <QJsonObject>
#include <QPointer>
#include <QScopedPointer>

class QNetworkAccessManager;
class QNetworkReply;

namespace Ui {
class WhatsNewDlg;
}

/// Asks the update service whether a newer version exists and tells the
/// user. A silent check shows the dialog only when there is something new; a
/// manual one also says that the program is up to date or that the check
/// failed. finished() comes when the dialog is done.
///
/// The service answers a GET with JSON: {"versionCode": 7, "versionName":
/// "2.0.5", "notes": "...", "url": "https://...", "force": false}.
class WhatsNewDlg : public QDialog
{
    Q_OBJECT

public:
    WhatsNewDlg(const QString &appId, int versionCode, const QString &computerId, QWidget *parent = nullptr);
    ~WhatsNewDlg() override;

    void checkUpdate(const QString &address, bool manual);
    /// True once an answer says a newer version must be installed.
    bool isForceUpdate() const { return forceUpdate; }
    /// True once an answer offers a newer version.
    bool hasUpdate() const { return newer; }
    /// How long a check may take before it counts as failed (10 s).
    void setTimeout(int milliseconds) { timeout = milliseconds; }

    /// Answers larger than this are not read (also a body that would inflate).
    static constexpr qint64 kLargestAnswer = 64 * 1024;

private slots:
    void onReply();
    void onReadyRead();
    void on_btn_download_clicked();
    void on_btn_close_clicked();

private:
    void showAnswer(const QJsonObject &answer);
    void showProblem(const QString &text);

    QScopedPointer<Ui::WhatsNewDlg> ui;
    QNetworkAccessManager *network = nullptr; // made on the first check
    QPointer<QNetworkReply> reply;
    const QString appId;
    const int versionCode;
    const QString computerId;
    QString downloadPage;
    int timeout = 10000;
    bool manual = false;
    bool newer = false;
    bool forceUpdate = false;
    bool tooLarge = false;
};
