#pragma once

#include <QAbstractListModel>

class Book;

/// The bookmarks of a book as a list: each row carries its whole Bookmark
/// under BookmarkRole and has no display text (BookmarkItemDelegate draws it).
/// Rows are read from the book at every call.
class BookmarkModel : public QAbstractListModel
{
    Q_OBJECT

public:
    static constexpr int BookmarkRole = Qt::UserRole + 1;
    /// Where the bookmark stands in the book: "37.5%".
    static constexpr int ProgressRole = Qt::UserRole + 2;

    /// `book` may be null (an empty list); it must outlive the model.
    explicit BookmarkModel(Book *book, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

    /// Removes the bookmark at `row` from the book, which rewrites its
    /// bookmark file, and tells the views; false for a row that is not there.
    bool removeBookmark(int row);

private:
    Book *book;
};
