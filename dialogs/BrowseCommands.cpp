#include "BrowseCommands.h"

#include "BookmarkDialog.h"
#include "ContentsDialog.h"
#include "FindDialog.h"
#include "Reader.h"

void showContents(QWidget *window, Reader *reader)
{
    if (!reader)
        return;
    Book *book = reader->book();
    const Chapter current = book->chapterAt(reader->position());
    // Parented to the window, unlike a free-standing dialog, so that it
    // stays in front of a reading window kept above other windows.
    ContentsDialog dialog(book->title(true), book, current.valid ? current.offset : -1, window);
    if (dialog.exec() == QDialog::Accepted && dialog.selectedOffset() != -1)
        reader->jumpTo(dialog.selectedOffset());
}

void showBookmarks(QWidget *window, Reader *reader)
{
    if (!reader)
        return;
    BookmarkDialog dialog(reader->book(), window);
    if (dialog.exec() == QDialog::Accepted && dialog.selectedOffset() != -1)
        reader->jumpTo(dialog.selectedOffset());
}

void showFind(QWidget *window, Reader *reader)
{
    if (!reader)
        return;
    FindDialog dialog(reader->book()->text(), reader->position(), window);
    if (dialog.exec() == QDialog::Accepted && dialog.foundOffset() != -1)
        reader->jumpTo(dialog.foundOffset());
}
