#include "CommandTable.h"

#include <QCoreApplication>

#include <algorithm>

namespace {

// The global key's stored number is the in-app one's plus this: the
// settings file has always kept them so.
const int kGlobalStoredOffset = 100;

#define LABEL(text) QT_TRANSLATE_NOOP("Commands", text)

// Global keys by default only for turning pages and chapters and for hiding
// and showing the window, on chords that terminals, browsers and desktops
// leave alone (Ctrl+Shift+letters are their copy, paste and tabs).
// clang-format off
const QList<CommandInfo> kCommands = {
    {Command::Open,            "open",             LABEL("打开文件"),       LABEL("打开文件"), 201, "O",     "",                      1,  "open"},
    {Command::Close,           "close",            LABEL("关闭文件"),       LABEL("关闭文件"), 202, "C",     "",                      2,  "close"},
    {Command::Contents,        "contents",         LABEL("目录"),           LABEL("目录"),     301, "T",     "",                      3,  "content"},
    {Command::Bookmarks,       "bookmarks",        LABEL("书签列表"),       LABEL("书签"),     302, "B",     "",                      4,  "bookmark_list"},
    {Command::AddBookmark,     "add-bookmark",     LABEL("添加书签"),       LABEL("添加书签"), 303, "V",     "",                      5,  "add_bookmark"},
    {Command::Find,            "find",             LABEL("查找"),           LABEL("查找"),     304, "F",     "",                      6,  "find"},
    {Command::PreviousPage,    "previous-page",    LABEL("上一页"),         LABEL("上一页"),   401, "Left",  "Ctrl+Alt+Shift+PgUp",   7,  "back"},
    {Command::NextPage,        "next-page",        LABEL("下一页"),         LABEL("下一页"),   402, "Right", "Ctrl+Alt+Shift+PgDown", 8,  "next"},
    {Command::Hide,            "hide",             LABEL("隐藏窗口"),       LABEL("隐藏"),     101, "Down",  "Ctrl+Alt+Shift+H",      9,  "hide"},
    {Command::Show,            "show",             LABEL("显示窗口"),       nullptr,           0,   "Up",    "Ctrl+Alt+Shift+S",      10, "show"},
    {Command::Center,          "center",           LABEL("窗口居中"),       nullptr,           0,   "N",     "",                      11, "center_win"},
    {Command::Menu,            "menu",             LABEL("显示菜单"),       nullptr,           0,   "M",     "",                      12, "menu"},
    {Command::Preferences,     "preferences",      LABEL("设置"),           LABEL("设置"),     501, "P",     "",                      13, "preference"},
    {Command::Help,            "help",             LABEL("帮助"),           LABEL("帮助"),     502, "H",     "",                      14, "help"},
    {Command::Quit,            "quit",             LABEL("退出"),           LABEL("退出"),     601, nullptr, nullptr,                 0,  nullptr},
    {Command::PreviousChapter, "previous-chapter", LABEL("上一章"),         LABEL("上一章"),   403, "[",     "Ctrl+Alt+Shift+Home",   16, "back_chapter"},
    {Command::NextChapter,     "next-chapter",     LABEL("下一章"),         LABEL("下一章"),   404, "]",     "Ctrl+Alt+Shift+End",    17, "next_chapter"},
    {Command::AutoTurn,        "auto-turn",        LABEL("自动翻页"),       LABEL("自动翻页"), 406, "A",     "",                      18, "auto_turn"},
    // Asks for a place: in the window only.
    {Command::Jump,            "jump",             LABEL("跳转"),           LABEL("跳转"),     405, "G",     nullptr,                 19, "jump"},
    {Command::Toggle,          "toggle",           LABEL("隐藏或显示窗口"), nullptr,           0,   nullptr, nullptr,                 0,  nullptr},
    {Command::ReadAloud,       "read-aloud",       LABEL("朗读/暂停"),      LABEL("朗读/暂停"), 407, "R",    "",                      20, "read_aloud"},
    {Command::StopReading,     "stop-reading",     LABEL("停止朗读"),       LABEL("停止朗读"), 408, "S",     "",                      21, "stop_reading"},
    // Open a window of their own: in the window only.
    {Command::CleanRules,      "clean-rules",      LABEL("净化规则"),       LABEL("净化规则"), 305, "",      nullptr,                 22, "clean_rules"},
    {Command::SaveCleanText,   "save-clean-text",  LABEL("另存为净化文本"), LABEL("另存为净化文本"), 203, "", nullptr,               23, "save_clean_text"},
    // Back from another machine's place, while the page says it moved there.
    {Command::UndoSync,        "undo-sync",        LABEL("撤销同步跳转"),   nullptr,           0,   "Z",     nullptr,                 24, "undo_sync"},
};
// clang-format on

QString translated(const char *text)
{
    return text ? QCoreApplication::translate("Commands", text) : QString();
}

} // namespace

const QList<CommandInfo> &CommandTable::rows()
{
    return kCommands;
}

const CommandInfo &CommandTable::info(Command command)
{
    for (const CommandInfo &row : kCommands) {
        if (row.command == command)
            return row;
    }
    Q_UNREACHABLE(); // every command has its row
}

const CommandInfo *CommandTable::byName(const QString &name)
{
    for (const CommandInfo &row : kCommands) {
        if (name == QLatin1String(row.name))
            return &row;
    }
    return nullptr;
}

QString CommandTable::name(Command command)
{
    return QString::fromLatin1(info(command).name);
}

QString CommandTable::label(Command command)
{
    return translated(info(command).label);
}

QString CommandTable::menuText(Command command)
{
    return translated(info(command).menuText);
}

bool CommandTable::takesKey(Command command, KeyScope scope)
{
    const CommandInfo &row = info(command);
    return (scope == KeyScope::InApp ? row.inAppKey : row.globalKey) != nullptr;
}

QString CommandTable::defaultKey(Command command, KeyScope scope)
{
    const CommandInfo &row = info(command);
    return QString::fromLatin1(scope == KeyScope::InApp ? row.inAppKey : row.globalKey);
}

QList<Command> CommandTable::menuCommands(QList<bool> *separatorBefore)
{
    QList<const CommandInfo *> inMenu;
    for (const CommandInfo &row : kCommands) {
        if (row.menuPlace > 0)
            inMenu << &row;
    }
    std::sort(inMenu.begin(), inMenu.end(),
              [](const CommandInfo *a, const CommandInfo *b) { return a->menuPlace < b->menuPlace; });
    QList<Command> commands;
    separatorBefore->clear();
    for (int i = 0; i < inMenu.size(); ++i) {
        commands << inMenu.at(i)->command;
        *separatorBefore << (i > 0 && inMenu.at(i)->menuPlace / 100 != inMenu.at(i - 1)->menuPlace / 100);
    }
    return commands;
}

int CommandTable::storedId(Command command, KeyScope scope)
{
    const CommandInfo &row = info(command);
    if (row.storedId == 0 || !takesKey(command, scope))
        return 0;
    return scope == KeyScope::InApp ? row.storedId : row.storedId + kGlobalStoredOffset;
}

bool CommandTable::fromStoredId(int id, Command *command, KeyScope *scope)
{
    for (const CommandInfo &row : kCommands) {
        for (KeyScope candidate : {KeyScope::InApp, KeyScope::Global}) {
            if (id != 0 && storedId(row.command, candidate) == id) {
                *command = row.command;
                *scope = candidate;
                return true;
            }
        }
    }
    return false;
}
