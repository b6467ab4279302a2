#include "ContentModel.h"

#include "Book.h"

ContentModel::ContentModel(const Book *book, QObject *parent) : QAbstractListModel(parent), book(book) {}

int ContentModel::rowCount(const QModelIndex &parent) const
{
    if (parent.isValid() || !book)
        return 0;
    return book->chapterCount();
}

QVariant ContentModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || !book || (role != Qt::DisplayRole && role != OffsetRole))
        return QVariant();
    // One locked look-up per call: the parse may be appending meanwhile, and
    // a row the view still shows may be gone after the book was closed.
    const Chapter chapter = book->chapter(index.row());
    if (!chapter.valid)
        return QVariant();
    if (role == Qt::DisplayRole)
        return chapter.title;
    return chapter.offset;
}

void ContentModel::reload()
{
    beginResetModel();
    endResetModel();
}
