#include "BookmarkDialog.h"
#include "ui_BookmarkDialog.h"

#include "Book.h"
#include "BookmarkItemDelegate.h"
#include "BookmarkModel.h"

#include <QMessageBox>

BookmarkDialog::BookmarkDialog(Book *book, QWidget *parent) : QDialog(parent), ui(new Ui::BookmarkDialog), book(book)
{
    ui->setupUi(this);
    serial = book ? book->serial() : 0;
    ui->listView->setItemDelegate(new BookmarkItemDelegate(this));
    model = new BookmarkModel(book, this);
    QItemSelectionModel *unused = ui->listView->selectionModel();
    ui->listView->setModel(model);
    delete unused;
    setWindowTitle(tr("书签 -") + (book ? book->title(true) : QString()));
}

BookmarkDialog::~BookmarkDialog() = default;

int BookmarkDialog::currentRowOrWarn()
{
    const QModelIndex current = ui->listView->currentIndex();
    if (!current.isValid() || current.row() >= model->rowCount()) {
        QMessageBox::warning(this, QStringLiteral("提示"), QStringLiteral("请先选择书签!"), QMessageBox::Ok);
        return -1;
    }
    return current.row();
}

void BookmarkDialog::on_btn_del_clicked()
{
    const int row = currentRowOrWarn();
    // Row 0 is the reading position the reader saves by itself.
    if (row <= 0)
        return;
    const QMessageBox::StandardButton answer =
        QMessageBox::question(this, QStringLiteral("提示"), QStringLiteral("确认删除此书签吗？"),
                              QMessageBox::Yes | QMessageBox::No, QMessageBox::NoButton);
    // The book may have been closed or replaced while the question was open.
    if (answer != QMessageBox::Yes || !book || book->serial() != serial)
        return;
    model->removeBookmark(row);
}

void BookmarkDialog::on_btn_goto_clicked()
{
    const int row = currentRowOrWarn();
    if (row < 0)
        return;
    selected = model->index(row).data(BookmarkModel::BookmarkRole).value<Bookmark>().offset;
    accept();
}

void BookmarkDialog::on_listView_doubleClicked(const QModelIndex &)
{
    on_btn_goto_clicked();
}
