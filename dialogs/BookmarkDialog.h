#pragma once

#include <QDialog>
#include <QScopedPointer>

class Book;
class BookmarkModel;
class QModelIndex;

namespace Ui {
class BookmarkDialog;
}

/// Lists the bookmarks of a book; the user jumps to one or deletes one. The
/// first row, the automatically saved position, cannot be deleted here.
class BookmarkDialog : public QDialog
{
    Q_OBJECT

public:
    /// `book` may be null (an empty list) and must outlive the dialog.
    explicit BookmarkDialog(Book *book, QWidget *parent = nullptr);
    ~BookmarkDialog() override;

    /// Offset of the confirmed bookmark, -1 until one is confirmed.
    int selectedOffset() const { return selected; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private slots:
    void on_listView_doubleClicked(const QModelIndex &index);
    void on_btn_del_clicked();
    void on_btn_goto_clicked();

private:
    /// The current row, or -1 after telling the user to pick one.
    int currentRowOrWarn();

    QScopedPointer<Ui::BookmarkDialog> ui;
    BookmarkModel *model;
    Book *book;
    int selected = -1;
    quint64 serial = 0; // of the book the rows belong to
};
