#pragma once

#include <QHash>
#include <QList>
#include <QMetaType>
#include <QString>

/// Every command of the reader. The names, keys and menu places are in the
/// CommandTable; a command's number means nothing outside it.
enum class Command {
    Open,
    Close,
    Contents,
    Bookmarks,
    AddBookmark,
    Find,
    PreviousPage,
    NextPage,
    Hide,
    Show,
    Center,
    Menu,
    Preferences,
    Help,
    Quit,
    PreviousChapter,
    NextChapter,
    AutoTurn,
    Jump,
    Toggle,
    ReadAloud,
    StopReading,
    CleanRules,
    SaveCleanText,
    UndoSync,
};
Q_DECLARE_METATYPE(Command)

inline uint qHash(Command command, uint seed = 0)
{
    return ::qHash(int(command), seed);
}

/// Where a key of a command works: in the reader's window, or on the whole
/// desktop (while another program has the focus).
enum class KeyScope { InApp, Global };

/// One command: what `tavril --command`, the desktop's shortcut list, the
/// hot keys, the context menu, the help text and the shortcut tab know of it.
struct CommandInfo
{
    Command command;
    /// Stable, for `tavril --command` and the desktop portal: "next-page".
    const char *name;
    /// As the shortcut tab and `tavril --help` name it ("下一页"); translated.
    const char *label;
    /// The context menu's text, or null where the command is not in the menu.
    const char *menuText;
    /// Place in the context menu: hundreds are the group (a separator
    /// between groups), the rest the order within it; 0: not in the menu.
    int menuPlace;
    /// Default keys; null: the command takes no key in that scope (a key
    /// that would need the window, say); "": none by default.
    const char *inAppKey;
    const char *globalKey;
    /// The number under which the settings file's group "key" keeps the
    /// in-app key (the global one under this plus 100); 0: never stored.
    int storedId;
    /// The stem of the shortcut tab's fields: hotkey_<stem> and hotkey_<stem>_g.
    const char *field;
};

/// The one table of commands.
class CommandTable
{
public:
    /// Every command, in the order of their stored ids (the order in which
    /// stored keys are applied and `tavril --help` lists them).
    static const QList<CommandInfo> &rows();
    static const CommandInfo &info(Command command);
    /// The command called `name`; null for none.
    static const CommandInfo *byName(const QString &name);
    static QString name(Command command);
    static QString label(Command command);
    static QString menuText(Command command);
    /// Whether `command` can have a key in `scope`.
    static bool takesKey(Command command, KeyScope scope);
    static QString defaultKey(Command command, KeyScope scope);
    /// The menu's commands in order; `separatorBefore` tells where a group begins.
    static QList<Command> menuCommands(QList<bool> *separatorBefore);

    /// The settings file's number for the key of `command` in `scope`, 0 for
    /// none, and back. Only the code that reads and writes the file uses them.
    static int storedId(Command command, KeyScope scope);
    static bool fromStoredId(int id, Command *command, KeyScope *scope);
};
