#pragma once

#include "decodeText.h"

#include <QObject>
#include <QString>

class CommandDispatcher;
class Prompter;
class QWidget;
class Reader;
class ReaderConfig;
class ReadingSession;

/// The commands on the book and the reading place: opening and closing
/// books, pages, chapters, jumps, bookmarks, the contents, bookmark and find
/// dialogs, and the encoding. They run against the session, ask and tell
/// through the current Prompter and open their dialogs over `window`; they
/// need no reading window to be tested.
class ReadingCommands : public QObject
{
    Q_OBJECT

public:
    ReadingCommands(ReadingSession *session, ReaderConfig *config, QWidget *window);

    /// Registers every command of this kind with `dispatcher`.
    void addTo(CommandDispatcher *dispatcher);

    /// Opens a book and records it in the history. A book that cannot be
    /// opened is reported only when `report` is set (not at start).
    void openFile(const QString &path, bool report = true);
    /// A book of the history; one no longer there leaves the history.
    void openRecent(const QString &path);
    /// Reads the open book in another encoding, remembered for that book.
    void chooseEncoding(TextEncoding encoding);

    /// Why a file cannot be opened, as the reader tells it.
    static QString openErrorText(int error, const QString &path);

private:
    void openFileCommand();
    void addBookmarkCommand();
    void jumpCommand();
    bool navigate(bool (ReadingSession::*move)(), const char *boundary);
    void message(const QString &text);
    /// True with a book open; else says so.
    bool bookOpen();

    ReadingSession *session;
    ReaderConfig *config;
    QWidget *window;
};
