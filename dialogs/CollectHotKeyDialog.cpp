#include "CollectHotKeyDialog.h"

#include "ui_CollectHotKeyDialog.h"

CollectHotKeyDialog::CollectHotKeyDialog(const QString &text, QWidget *parent)
    : QDialog(parent), sequence(QKeySequence::fromString(text, QKeySequence::NativeText)),
      ui(new Ui::CollectHotKeyDialog)
{
    ui->setupUi(this);
    ui->keySequenceEdit->setSequenceText(text);
}

CollectHotKeyDialog::~CollectHotKeyDialog() = default;

QKeySequence CollectHotKeyDialog::keySequence() const
{
    return sequence;
}

void CollectHotKeyDialog::on_btn_save_clicked()
{
    sequence = ui->keySequenceEdit->keySequence();
    accept();
}

void CollectHotKeyDialog::on_btn_cancel_clicked()
{
    reject();
}

void CollectHotKeyDialog::on_btn_clean_clicked()
{
    ui->keySequenceEdit->clear();
    ui->keySequenceEdit->update();
}
