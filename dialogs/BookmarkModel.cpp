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
    if (!index.isValid() || !book || (role != BookmarkRole && role != ProgressRole))
        return QVariant();
    const QList<Bookmark> &bookmarks = book->bookmarks();
    if (index.row() >= bookmarks.size())
        return QVariant();
    const Bookmark &bookmark = bookmarks.at(index.row());
    if (role == BookmarkRole)
        return QVariant::fromValue(bookmark);
    const int length = book->length();
    const double percent = length > 0 ? 100.0 * qBound(0, bookmark.offset, length) / length : 0;
    return QString::number(percent, 'f', 1) + QLatin1Char('%');
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
