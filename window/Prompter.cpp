#include "Prompter.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>

void Prompter::information(QWidget *parent, const QString &text)
{
    QMessageBox::information(parent, QCoreApplication::translate("MainWindow", "提示"), text, QMessageBox::Ok,
                             QMessageBox::NoButton);
}

bool Prompter::question(QWidget *parent, const QString &text)
{
    return QMessageBox::question(parent, QCoreApplication::translate("MainWindow", "提示"), text,
                                 QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::NoButton) == QMessageBox::Ok;
}

QString Prompter::text(QWidget *parent, const QString &title, const QString &label)
{
    bool ok = false;
    const QString answer = QInputDialog::getText(parent, title, label, QLineEdit::Normal, QString(), &ok);
    return ok ? answer : QString();
}

QString Prompter::openFileName(QWidget *parent, const QString &caption, const QString &start, const QString &filter)
{
    return QFileDialog::getOpenFileName(parent, caption, start, filter, nullptr, QFileDialog::Options());
}

void Prompter::openUrl(const QUrl &url)
{
    QDesktopServices::openUrl(url);
}
