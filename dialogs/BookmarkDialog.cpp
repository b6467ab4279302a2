#include "BookmarkDialog.h"
#include "ui_BookmarkDialog.h"

#include "Book.h"
#include "BookmarkItemDelegate.h"
#include "BookmarkModel.h"

#include "Prompter.h"

#include <QKeyEvent>

BookmarkDialog::BookmarkDialog(Book *book, QWidget *parent) : QDialog(parent), ui(new Ui::BookmarkDialog), book(book)
{
    ui->setupUi(this);
    serial = book ? book->serial() : 0;
    ui->listView->setItemDelegate(new BookmarkItemDelegate(this));
    model = new BookmarkModel(book, this);
    QItemSelectionModel *unused = ui->listView->selectionModel();
    ui->listView->setModel(model);
    delete unused;
    // Cards light up under the mouse; Delete deletes the chosen one.
    ui->listView->setMouseTracking(true);
    ui->listView->viewport()->setAttribute(Qt::WA_Hover);
    ui->listView->installEventFilter(this);
    setWindowTitle(tr("书签 -") + (book ? book->title(true) : QString()));
}

BookmarkDialog::~BookmarkDialog() = default;

int BookmarkDialog::currentRowOrWarn()
{
    const QModelIndex current = ui->listView->currentIndex();
    if (!current.isValid() || current.row() >= model->rowCount()) {
        Prompter::current()->warning(this, QStringLiteral("请先选择书签!"));
        return -1;
    }
    return current.row();
}

bool BookmarkDialog::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == ui->listView && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent *>(event)->matches(QKeySequence::Delete)) {
        on_btn_del_clicked();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void BookmarkDialog::on_btn_del_clicked()
{
    const int row = currentRowOrWarn();
    if (row < 0)
        return;
    // Row 0 is the reading position the reader saves by itself.
    if (row == 0) {
        Prompter::current()->information(this, tr("这是自动保存的阅读位置，不能删除：它会随翻页更新。"));
        return;
    }
    const bool yes = Prompter::current()->confirm(this, QStringLiteral("确认删除此书签吗？"));
    // The book may have been closed or replaced while the question was open.
    if (!yes || !book || book->serial() != serial)
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
