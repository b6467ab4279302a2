#pragma once

#include "UpdateChecker.h"

#include <QDialog>
#include <QScopedPointer>

namespace Ui {
class WhatsNewDlg;
}

/// Shows what the update check found. A silent check shows the dialog only
/// when there is something new; a manual one also says that the program is
/// up to date, or what kept the check from an answer. finished() comes when
/// the dialog is done.
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
    void setTimeout(int milliseconds) { checker->setTimeout(milliseconds); }

private slots:
    void on_btn_download_clicked();
    void on_btn_close_clicked();

private:
    void showAnswer(const UpdateAnswer &answer);
    void showProblem(UpdateChecker::Problem problem, const QString &detail);

    QScopedPointer<Ui::WhatsNewDlg> ui;
    UpdateChecker *checker; // a child, with its requests
    QString downloadPage;
    bool manual = false;
    bool newer = false;
    bool forceUpdate = false;
};
