#pragma once

#include <QAbstractListModel>

class Book;

/// The chapters of a book as a read-only list: the title to show and, under
/// OffsetRole, the chapter's start offset. The list is read from the book at
/// every call, so chapters the parse appends show up once the view asks again.
class ContentModel : public QAbstractListModel
{
    Q_OBJECT

public:
    static constexpr int OffsetRole = Qt::UserRole + 1;

    /// `book` may be null (an empty list); it must outlive the model.
    explicit ContentModel(const Book *book, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

    /// Tells the views to ask for every row again.
    void reload();

private:
    const Book *book;
};
