#pragma once

class QWidget;
class Reader;

/// The contents, bookmark-list and find commands of the reading window: each
/// runs its dialog modally over `window` and, when the user confirms, moves
/// the reader to the chosen place. A null reader does nothing.
void showContents(QWidget *window, Reader *reader);
void showBookmarks(QWidget *window, Reader *reader);
void showFind(QWidget *window, Reader *reader);
