#pragma once

#include <QObject>
#include <QSet>

class Book;
class QWidget;
class ReaderConfig;

/// What the open book has to tell while the reader reads: bookmarks that
/// cannot be saved, or live elsewhere than beside the book, a damaged
/// bookmark file, a chapter rule that is too slow. Each told through the
/// current Prompter, once where it would repeat.
class BookNotices : public QObject
{
    Q_OBJECT

public:
    BookNotices(Book *book, ReaderConfig *config, QWidget *window);

private:
    void tell(const QString &text);
    /// Tells `text` once for the book at `path`, ever.
    void tellOnce(const QString &notice, const QString &path, const QString &text);

    Book *book;
    ReaderConfig *config;
    QWidget *window;
    QSet<QString> toldSaveFailures; // once per book and session
};
