#include "BookmarkModel.h"

#include "Book.h"

BookmarkModel::BookmarkModel(Book *book, QObject *parent) : QAbstractListModel(parent), book(book) {}

int BookmarkModel::rowCount(const QModelIndex &parent) const
{
    if (parent.isValid() || !book)
        return 0;
    return book->bookmarks().size();
}

QVariant BookmarkModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || !book || role != BookmarkRole)
        return QVariant();
    const QList<Bookmark> &bookmarks = book->bookmarks();
    if (index.row() >= bookmarks.size())
        return QVariant();
    return QVariant::fromValue(bookmarks.at(index.row()));
}

bool BookmarkModel::removeBookmark(int row)
{
    if (row < 0 || row >= rowCount())
        return false;
    beginRemoveRows(QModelIndex(), row, row);
    const bool removed = book->removeBookmark(row);
    endRemoveRows();
    return removed;
}
