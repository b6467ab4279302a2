#include "ContentsDialog.h"
#include "ui_ContentsDialog.h"

#include "Book.h"
#include "ContentModel.h"

#include "Prompter.h"

ContentsDialog::ContentsDialog(const QString &title, const Book *book, int currentOffset, QWidget *parent)
    : QDialog(parent), ui(new Ui::ContentsDialog), book(book), currentOffset(currentOffset)
{
    ui->setupUi(this);
    model = new ContentModel(book, this);
    // setModel() makes a selection model of its own; the one made for the
    // empty view would otherwise live as long as the view.
    QItemSelectionModel *unused = ui->listView->selectionModel();
    ui->listView->setModel(model);
    delete unused;
    setWindowTitle(tr("目录 -") + title);
    preselect();
    if (book)
        connect(book, &Book::chaptersReady, this, &ContentsDialog::onChaptersReady);
}

ContentsDialog::~ContentsDialog() = default;

void ContentsDialog::preselect()
{
    if (!book || currentOffset == -1)
        return;
    for (int row = 0, count = book->chapterCount(); row < count; ++row) {
        if (book->chapter(row).offset == currentOffset) {
            ui->listView->setCurrentIndex(model->index(row));
            return;
        }
    }
}

void ContentsDialog::onChaptersReady()
{
    // The view only lays out the rows it knew of; a reset makes it take in
    // the chapters found since the dialog opened, without losing the row the
    // user stands on (the parse only appends, so rows keep their chapter).
    const int row = ui->listView->currentIndex().row();
    model->reload();
    if (row >= 0 && row < model->rowCount())
        ui->listView->setCurrentIndex(model->index(row));
    else
        preselect();
}

void ContentsDialog::on_listView_doubleClicked(const QModelIndex &index)
{
    const QVariant offset = index.data(ContentModel::OffsetRole);
    if (!offset.isValid())
        return;
    selected = offset.toInt();
    accept();
}

void ContentsDialog::on_btn_jump_clicked()
{
    const QVariant offset = ui->listView->currentIndex().data(ContentModel::OffsetRole);
    if (!offset.isValid()) {
        Prompter::current()->warning(this, tr("请先选择章节"));
        return;
    }
    selected = offset.toInt();
    accept();
}
