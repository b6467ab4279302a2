#include "BrowseCommands.h"

#include "BookmarkDialog.h"
#include "ContentsDialog.h"
#include "FindDialog.h"
#include "Reader.h"

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

} // namespace

void showContents(QWidget *window, Reader *reader)
{
    if (!reader)
        return;
    Book *book = reader->book();
    book->waitForText(); // the chapters come from the whole text
    const Chapter current = book->chapterAt(reader->position());
    // Parented to the window, unlike a free-standing dialog, so that it
    // stays in front of a reading window kept above other windows.
    ContentsDialog dialog(book->title(true), book, current.valid ? current.offset : -1, window);
    if (runFor(book, &dialog) && dialog.selectedOffset() != -1)
        reader->jumpTo(dialog.selectedOffset());
}

void showBookmarks(QWidget *window, Reader *reader)
{
    if (!reader)
        return;
    BookmarkDialog dialog(reader->book(), window);
    if (runFor(reader->book(), &dialog) && dialog.selectedOffset() != -1)
        reader->jumpTo(dialog.selectedOffset());
}

void showFind(QWidget *window, Reader *reader)
{
    if (!reader)
        return;
    reader->book()->waitForText();
    {
        FindDialog dialog(reader->book()->text(), reader->position(), window);
        if (runFor(reader->book(), &dialog) && dialog.foundOffset() != -1)
            reader->jumpTo(dialog.foundOffset());
    }
    // glibc keeps freed memory in the heap; a search of a big book leaves
    // megabytes there that the reader would hold until it quits.
#ifdef __GLIBC__
    malloc_trim(0);
#endif
}
