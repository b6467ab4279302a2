#pragma once

#include <QObject>
#include <QSet>

class Book;
class QWidget;

/// What the open book has to tell while the reader reads: bookmarks that
/// cannot be saved, or live elsewhere than beside the book, a damaged
/// bookmark file, a chapter rule that is too slow. Each told through the
/// current Prompter, once where it would repeat.
class BookNotices : public QObject
{
    Q_OBJECT

public:
    BookNotices(Book *book, QWidget *window);

private:
    void tell(const QString &text);

    Book *book;
    QWidget *window;
    // Each told once per book and session.
    QSet<QString> toldSaveFailures;
    QSet<QString> toldRelocations;
};
