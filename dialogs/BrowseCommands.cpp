#include "BrowseCommands.h"

#include "BookmarkDialog.h"
#include "ContentsDialog.h"
#include "FindDialog.h"
#include "ReadingSession.h"

#include <QApplication>

#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace {

// A book closed or replaced while its dialog is open (a global key does
// that) closes the dialog, and whatever the dialog returns is not applied
// to the other book.
bool runFor(Book *book, QDialog *dialog)
{
    const quint64 serial = book->serial();
    QObject::connect(book, &Book::replaced, dialog, &QDialog::reject);
    return dialog->exec() == QDialog::Accepted && book->serial() == serial;
}

// Each of these dialogs at most once: asked for again while it is open (its
// global key, say), the open one comes to the front.
template <typename Dialog> bool bringForward()
{
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (auto *open = qobject_cast<Dialog *>(widget); open && open->isVisible()) {
            open->raise();
            open->activateWindow();
            return true;
        }
    }
    return false;
}

} // namespace

void showContents(QWidget *window, ReadingSession *session)
{
    if (!session || bringForward<ContentsDialog>())
        return;
    Book *book = session->book();
    book->waitForText(); // the chapters come from the whole text
    const Chapter current = book->chapterAt(session->position());
    // Parented to the window, unlike a free-standing dialog, so that it
    // stays in front of a reading window kept above other windows.
    ContentsDialog dialog(book->title(true), book, current.valid ? current.offset : -1, window);
    if (runFor(book, &dialog) && dialog.selectedOffset() != -1)
        session->jumpTo(dialog.selectedOffset());
}

void showBookmarks(QWidget *window, ReadingSession *session)
{
    if (!session || bringForward<BookmarkDialog>())
        return;
    BookmarkDialog dialog(session->book(), window);
    if (runFor(session->book(), &dialog) && dialog.selectedOffset() != -1)
        session->jumpTo(dialog.selectedOffset());
}

void showFind(QWidget *window, ReadingSession *session)
{
    if (!session || bringForward<FindDialog>())
        return;
    session->book()->waitForText();
    {
        const Book *book = session->book();
        FindDialog dialog(book->text(), session->position(), window);
        // Shown in another script than the file's: found as typed in either.
        if (book->foldsForSearch())
            dialog.setFold([book](const QString &text) { return book->foldedForSearch(text); });
        if (runFor(session->book(), &dialog) && dialog.foundOffset() != -1)
            session->jumpTo(dialog.foundOffset());
    }
    // glibc keeps freed memory in the heap; a search of a big book leaves
    // megabytes there that the reader would hold until it quits.
#ifdef __GLIBC__
    malloc_trim(0);
#endif
}
