#pragma once

#include <QDialog>
#include <QScopedPointer>

class Book;
class ContentModel;
class QModelIndex;

namespace Ui {
class ContentsDialog;
}

/// Lists the chapters of a book and lets the user pick one to jump to.
class ContentsDialog : public QDialog
{
    Q_OBJECT

public:
    /// `title` follows "目录 -" in the window title; the chapter starting
    /// exactly at `currentOffset` (-1: none) is preselected. `book` may be
    /// null and must outlive the dialog.
    ContentsDialog(const QString &title, const Book *book, int currentOffset, QWidget *parent = nullptr);
    ~ContentsDialog() override;

    /// Start offset of the confirmed chapter, -1 until one is confirmed.
    int selectedOffset() const { return selected; }

private slots:
    void on_listView_doubleClicked(const QModelIndex &index);
    void on_btn_jump_clicked();
    void onChaptersReady();

private:
    void preselect();

    QScopedPointer<Ui::ContentsDialog> ui;
    ContentModel *model;
    const Book *book;
    int currentOffset;
    int selected = -1;
};
