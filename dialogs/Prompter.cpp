#include "Prompter.h"

#include <QColorDialog>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFontDialog>
#include <QInputDialog>
#include <QMessageBox>

namespace {

Prompter *&installed()
{
    static Prompter *prompter = nullptr;
    return prompter;
}

QString title()
{
    return QCoreApplication::translate("MainWindow", "提示");
}

} // namespace

Prompter *Prompter::current()
{
    static Prompter asksTheUser;
    return installed() ? installed() : &asksTheUser;
}

void Prompter::install(Prompter *prompter)
{
    installed() = prompter;
}

void Prompter::information(QWidget *parent, const QString &text)
{
    QMessageBox::information(parent, title(), text, QMessageBox::Ok, QMessageBox::NoButton);
}

void Prompter::warning(QWidget *parent, const QString &text)
{
    QMessageBox::warning(parent, title(), text, QMessageBox::Ok, QMessageBox::NoButton);
}

bool Prompter::question(QWidget *parent, const QString &text)
{
    return QMessageBox::question(parent, title(), text, QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::NoButton) ==
           QMessageBox::Ok;
}

bool Prompter::confirm(QWidget *parent, const QString &text)
{
    return QMessageBox::question(parent, title(), text, QMessageBox::Yes | QMessageBox::No, QMessageBox::NoButton) ==
           QMessageBox::Yes;
}

QString Prompter::text(QWidget *parent, const QString &title, const QString &label)
{
    bool ok = false;
    const QString answer = QInputDialog::getText(parent, title, label, QLineEdit::Normal, QString(), &ok);
    return ok ? answer : QString();
}

QString Prompter::password(QWidget *parent, const QString &title, const QString &label)
{
    bool ok = false;
    const QString answer = QInputDialog::getText(parent, title, label, QLineEdit::Password, QString(), &ok);
    return ok ? answer : QString();
}

QString Prompter::folderName(QWidget *parent, const QString &caption, const QString &start)
{
    return QFileDialog::getExistingDirectory(parent, caption, start);
}

QString Prompter::openFileName(QWidget *parent, const QString &caption, const QString &start, const QString &filter)
{
    return QFileDialog::getOpenFileName(parent, caption, start, filter, nullptr, QFileDialog::Options());
}

QString Prompter::saveFileName(QWidget *parent, const QString &caption, const QString &start, const QString &filter)
{
    return QFileDialog::getSaveFileName(parent, caption, start, filter, nullptr, QFileDialog::Options());
}

QFont Prompter::font(QWidget *parent, const QFont &initial, bool *ok)
{
    return QFontDialog::getFont(ok, initial, parent, QString(), QFontDialog::FontDialogOptions());
}

QColor Prompter::color(QWidget *parent, const QColor &initial)
{
    return QColorDialog::getColor(initial, parent, QString(), QColorDialog::ColorDialogOptions());
}

void Prompter::openUrl(const QUrl &url)
{
    QDesktopServices::openUrl(url);
}
