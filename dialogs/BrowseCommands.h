#pragma once

class QWidget;
class ReadingSession;

/// The contents, bookmark-list and find commands: each runs its dialog
/// modally over `window` and, when the user confirms, moves the session to
/// the chosen place. A null session does nothing.
void showContents(QWidget *window, ReadingSession *session);
void showBookmarks(QWidget *window, ReadingSession *session);
void showFind(QWidget *window, ReadingSession *session);
