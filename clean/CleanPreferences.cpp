#include "CleanPreferences.h"
#include "ui_CleanPreferences.h"

#include "CleanText.h"
#include "ReaderConfig.h"
#include "ReadingSession.h"

CleanPreferences::CleanPreferences(CleanText *clean, ReadingSession *session, ReaderConfig *config, QWidget *parent)
    : QWidget(parent), clean(clean), session(session), config(config), ui(new Ui::CleanPreferences)
{
    ui->setupUi(this);
    const QStringList forms = {tr("原文"), tr("简体"), tr("繁体"), tr("台湾正体"), tr("香港繁体")};
    ui->cbb_script_all->addItems(forms);
    ui->cbb_script_book->addItem(tr("同所有书"), -1);
    for (int i = 0; i < forms.size(); ++i)
        ui->cbb_script_book->addItem(forms.at(i), i);
    connect(ui->cbb_script_all, QOverload<int>::of(&QComboBox::activated), this,
            [this](int form) { this->config->setValue(QStringLiteral("clean/script"), form); });
    connect(ui->cbb_script_book, QOverload<int>::of(&QComboBox::activated), this, [this](int index) {
        this->clean->setBookScript(this->session->book()->path(), ui->cbb_script_book->itemData(index).toInt());
    });
    const auto bind = [this](QCheckBox *box, const char *key) {
        connect(box, &QCheckBox::toggled, this,
                [this, key](bool on) { this->config->setValue(QLatin1String(key), on); });
    };
    bind(ui->cb_fold_blank, "clean/foldBlank");
    bind(ui->cb_indent, "clean/indent");
    bind(ui->cb_join, "clean/join");
    connect(ui->btn_clean_rules, &QPushButton::clicked, this, &CleanPreferences::rulesRequested);
    load();
}

CleanPreferences::~CleanPreferences() = default;

// The open book may have changed since the page was last shown.
void CleanPreferences::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    load();
}

void CleanPreferences::load()
{
    const QSignalBlocker blocks[] = {QSignalBlocker(ui->cb_fold_blank), QSignalBlocker(ui->cb_indent),
                                     QSignalBlocker(ui->cb_join)};
    ui->cbb_script_all->setCurrentIndex(config->value(QStringLiteral("clean/script")).toInt());
    const Book *book = session->book();
    ui->cbb_script_book->setEnabled(book->isOpen());
    ui->cbb_script_book->setCurrentIndex(
        qMax(0, ui->cbb_script_book->findData(book->isOpen() ? clean->bookScript(book->path()) : -1)));
    ui->cb_fold_blank->setChecked(config->value(QStringLiteral("clean/foldBlank")).toBool());
    ui->cb_indent->setChecked(config->value(QStringLiteral("clean/indent")).toBool());
    ui->cb_join->setChecked(config->value(QStringLiteral("clean/join")).toBool());
}
