#include "SyncPreferences.h"
#include "ui_SyncPreferences.h"

#include "PlaceSync.h"
#include "ReaderConfig.h"

#include <QFileDialog>

SyncPreferences::SyncPreferences(ReaderConfig *config, PlaceSync *sync, QWidget *parent)
    : QWidget(parent), config(config), sync(sync), ui(new Ui::SyncPreferences)
{
    ui->setupUi(this);
    load();
    connectEdits();
    SyncPassword *password = sync->account()->password();
    connect(password, &SyncPassword::ready, this, [this, password] {
        if (!passwordEdited)
            ui->et_sync_password->setText(password->value());
        showPasswordState();
    });
    connect(password, &SyncPassword::stored, this, &SyncPreferences::showPasswordState);
    connect(sync, &PlaceSync::syncFinished, this, [this](bool, const QString &result) {
        ui->lb_sync_result->setText(result);
        ui->btn_sync_now->setEnabled(true);
    });
    password->load(config->value(QStringLiteral("sync/url")).toString().trimmed(),
                   config->value(QStringLiteral("sync/user")).toString().trimmed());
    if (password->state() != SyncPassword::Loading)
        ui->et_sync_password->setText(password->value());
    showPasswordState();
}

SyncPreferences::~SyncPreferences() = default;

void SyncPreferences::load()
{
    const auto text = [this](const char *key) { return config->value(QLatin1String(key)).toString(); };
    ui->cb_sync_enabled->setChecked(config->value(QStringLiteral("sync/enabled")).toBool());
    ui->et_sync_url->setText(text("sync/url"));
    ui->et_sync_user->setText(text("sync/user"));
    ui->et_sync_folder->setText(text("sync/folder"));
    ui->cb_sync_insecure->setChecked(config->value(QStringLiteral("sync/allowInsecure")).toBool());
    ui->et_sync_local_folder->setText(text("sync/localFolder"));
    showInsecureWarning();
}

void SyncPreferences::connectEdits()
{
    connect(ui->cb_sync_enabled, &QCheckBox::toggled, this, [this](bool on) { store("sync/enabled", on); });
    connect(ui->et_sync_url, &QLineEdit::textEdited, this, [this](const QString &url) { store("sync/url", url); });
    connect(ui->et_sync_user, &QLineEdit::textEdited, this, [this](const QString &user) { store("sync/user", user); });
    connect(ui->et_sync_folder, &QLineEdit::textEdited, this,
            [this](const QString &folder) { store("sync/folder", folder); });
    connect(ui->et_sync_local_folder, &QLineEdit::textEdited, this,
            [this](const QString &folder) { store("sync/localFolder", folder); });
    connect(ui->cb_sync_insecure, &QCheckBox::toggled, this, [this](bool on) {
        store("sync/allowInsecure", on);
        showInsecureWarning();
    });
    connect(ui->et_sync_password, &QLineEdit::textEdited, this, [this] { passwordEdited = true; });
    connect(ui->et_sync_password, &QLineEdit::editingFinished, this, &SyncPreferences::storePassword);
    connect(ui->btn_sync_choose_folder, &QToolButton::clicked, this, &SyncPreferences::chooseFolder);
    connect(ui->btn_sync_now, &QPushButton::clicked, this, &SyncPreferences::syncNow);
}

void SyncPreferences::store(const char *key, const QVariant &value)
{
    config->setValue(QLatin1String(key), value);
}

// The password belongs to the address and user set when it is entered.
void SyncPreferences::storePassword()
{
    if (!passwordEdited)
        return;
    passwordEdited = false;
    sync->account()->setPassword(ui->et_sync_password->text());
    showPasswordState();
}

void SyncPreferences::showPasswordState()
{
    switch (sync->account()->password()->state()) {
    case SyncPassword::MemoryOnly:
        ui->lb_sync_password_state->setText(tr("系统密钥环不可用：密码只保存在本次运行中，下次启动需要重新输入"));
        break;
    case SyncPassword::Loading:
        ui->lb_sync_password_state->setText(tr("正在读取系统密钥环…"));
        break;
    default:
        ui->lb_sync_password_state->setText(tr("密码保存在系统密钥环中，不写入设置文件"));
        break;
    }
}

void SyncPreferences::showInsecureWarning()
{
    ui->lb_sync_insecure_warning->setVisible(ui->cb_sync_insecure->isChecked());
}

void SyncPreferences::chooseFolder()
{
    const QString folder =
        folderChooser ? folderChooser(this, tr("选择同步文件夹"), ui->et_sync_local_folder->text())
                      : QFileDialog::getExistingDirectory(this, tr("选择同步文件夹"), ui->et_sync_local_folder->text());
    if (folder.isEmpty())
        return;
    ui->et_sync_local_folder->setText(folder);
    store("sync/localFolder", folder);
}

void SyncPreferences::syncNow()
{
    storePassword();
    ui->btn_sync_now->setEnabled(false);
    ui->lb_sync_result->setText(tr("正在同步…"));
    sync->syncNow();
}
