#pragma once

#include <QDialog>
#include <QKeySequence>
#include <QScopedPointer>

namespace Ui {
class CollectHotKeyDialog;
}

/// A small modal dialog that records one key chord for an action.
class CollectHotKeyDialog : public QDialog
{
    Q_OBJECT

public:
    /// Opens on @p text, the action's current sequence text.
    explicit CollectHotKeyDialog(const QString &text, QWidget *parent = nullptr);
    ~CollectHotKeyDialog() override;

    /// The saved chord; the initial one unless the user saved.
    QKeySequence keySequence() const;

private slots:
    void on_btn_save_clicked();
    void on_btn_cancel_clicked();
    void on_btn_clean_clicked();

private:
    QKeySequence sequence;
    QScopedPointer<Ui::CollectHotKeyDialog> ui;
};
