// The context menu and the command dispatcher of the reading window.

#include "MainWindow.h"

#include "BrowseCommands.h"
#include "BuildSettings.h"
#include "HotKeyManager.h"
#include "PreferenceDialog.h"
#include "Prompter.h"
#include "Reader.h"
#include "ReaderConfig.h"

#include <QAction>
#include <QCursor>
#include <QGuiApplication>
#include <QMenu>
#include <QScreen>
#include <QUrl>

namespace {

struct MenuEntry
{
    const char *text;
    int command;
};

// "/" marks a separator.
const MenuEntry kMenu[] = {
    {QT_TRANSLATE_NOOP("MainWindow", "隐藏"), 9},
    {"/", 0},
    {QT_TRANSLATE_NOOP("MainWindow", "打开文件"), 1},
    {QT_TRANSLATE_NOOP("MainWindow", "关闭文件"), 2},
    {"/", 0},
    {QT_TRANSLATE_NOOP("MainWindow", "目录"), 3},
    {QT_TRANSLATE_NOOP("MainWindow", "书签"), 4},
    {QT_TRANSLATE_NOOP("MainWindow", "添加书签"), 5},
    {QT_TRANSLATE_NOOP("MainWindow", "查找"), 6},
    {"/", 0},
    {QT_TRANSLATE_NOOP("MainWindow", "上一页"), 7},
    {QT_TRANSLATE_NOOP("MainWindow", "下一页"), 8},
    {QT_TRANSLATE_NOOP("MainWindow", "上一章"), 16},
    {QT_TRANSLATE_NOOP("MainWindow", "下一章"), 17},
    {"/", 0},
    {QT_TRANSLATE_NOOP("MainWindow", "设置"), 13},
    {QT_TRANSLATE_NOOP("MainWindow", "帮助"), 14},
    {"/", 0},
    {QT_TRANSLATE_NOOP("MainWindow", "退出"), 15},
};

const int kQuit = 15;

} // namespace

void MainWindow::buildContextMenu()
{
    contextMenu = new QMenu(this);
    for (const MenuEntry &entry : kMenu) {
        const QString text = tr(entry.text);
        auto *action = new QAction(text, this);
        if (text == QLatin1String("/")) {
            action->setSeparator(true);
        } else {
            const int command = entry.command;
            connect(action, &QAction::triggered, this, [this, command] { onHotkeyPressed(command); });
        }
        menuActions.append(action);
        contextMenu->addAction(action);
    }
}

void MainWindow::showContextMenu()
{
    if (!contextMenu)
        buildContextMenu();
    contextMenu->exec(QCursor::pos());
}

void MainWindow::message(const QString &text)
{
    prompter->information(this, text);
}

bool MainWindow::navigate(bool (Reader::*move)(), const char *boundary)
{
    const bool moved = (reader->*move)();
    if (!moved)
        message(tr(boundary));
    return moved;
}

void MainWindow::onHotkeyPressed(int keyCode)
{
    if (keyCode == kQuit) {
        close();
        return;
    }
    const int command = keyCode > HotKeyManager::GlobalIdOffset ? keyCode - HotKeyManager::GlobalIdOffset : keyCode;
    if (keyCode == kQuit + HotKeyManager::GlobalIdOffset)
        return;
    switch (command) {
    case HotKeyManager::Open:
        openFileCommand();
        break;
    case HotKeyManager::Close:
        reader->closeBook();
        break;
    case HotKeyManager::Content:
        showContents(this, reader);
        break;
    case HotKeyManager::BookmarkList:
        showBookmarks(this, reader);
        break;
    case HotKeyManager::Find:
        showFind(this, reader);
        break;
    case HotKeyManager::AddBookmark:
        if (reader->addBookmark())
            message(tr("书签添加成功"));
        break;
    case HotKeyManager::Back:
        navigate(&Reader::previousPage, QT_TR_NOOP("已是首页"));
        break;
    case HotKeyManager::Next:
        navigate(&Reader::nextPage, QT_TR_NOOP("已是末页"));
        break;
    case HotKeyManager::Hide:
        hide();
        break;
    case HotKeyManager::Show:
        showWindow(true);
        break;
    case HotKeyManager::CenterWin:
        centerWindow();
        break;
    case HotKeyManager::Menu:
        showContextMenu();
        break;
    case HotKeyManager::Preference:
        showPreferences();
        break;
    case HotKeyManager::Help:
        prompter->openUrl(QUrl(QStringLiteral(TAVRIL_SITE "/?id=596")));
        break;
    case HotKeyManager::BackChapter:
        navigate(&Reader::previousChapter, QT_TR_NOOP("已是第一章"));
        break;
    case HotKeyManager::NextChapter:
        navigate(&Reader::nextChapter, QT_TR_NOOP("已是最后一章"));
        break;
    default:
        break;
    }
}

void MainWindow::openFileCommand()
{
    // Caption and filter stay untranslated, as the reader has always shown them.
    const QString path = prompter->openFileName(this, QStringLiteral("选择文件"), config->lastFile(),
                                                QStringLiteral("文本文件 (*.txt);;所有文件 (*)"));
    openFile(path);
}

void MainWindow::openFile(const QString &path, bool report)
{
    if (path.isEmpty())
        return;
    const bool opened = reader->openBook(path);
    reader->refresh();
    config->addFileHistory(path);
    if (!opened && report)
        message(tr("无法打开文件"));
}

void MainWindow::centerWindow()
{
    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        const QPoint center = screen->availableGeometry().center();
        move(center.x() - width() / 2, center.y() - height() / 2);
    }
    showWindow(true);
}

void MainWindow::showPreferences()
{
    if (!preferenceDialog) {
        preferenceDialog = new PreferenceDialog(reader->config(), hotKeyManager, this);
        preferenceDialog->setWindowFlags(Qt::Dialog);
    }
    if (!preferenceDialog->isActiveWindow()) {
        preferenceDialog->show();
        preferenceDialog->raise();
    }
}
