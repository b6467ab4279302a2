// The context menu and the command dispatcher of the reading window.

#include "MainWindow.h"

#include "BrowseCommands.h"
#include "BuildSettings.h"
#include "FileNameCodec.h"
#include "HotKeyManager.h"
#include "JumpTarget.h"
#include "PreferenceDialog.h"
#include "Prompter.h"
#include "Reader.h"
#include "ReaderConfig.h"

#include <QAction>
#include <QActionGroup>
#include <QCursor>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMenu>
#include <QScreen>
#include <QThread>
#include <QTimer>
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
    {QT_TRANSLATE_NOOP("MainWindow", "跳转"), 19},
    {QT_TRANSLATE_NOOP("MainWindow", "自动翻页"), 18},
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
            // Some styles draw a separator's text beside its line.
            action->setText(QString());
            action->setSeparator(true);
        } else {
            const int command = entry.command;
            connect(action, &QAction::triggered, this, [this, command] { onHotkeyPressed(command); });
        }
        menuActions.append(action);
        contextMenu->addAction(action);
        if (entry.command == HotKeyManager::Open)
            contextMenu->addMenu(buildRecentMenu());
        if (entry.command == HotKeyManager::Close)
            contextMenu->addMenu(buildEncodingMenu());
    }
}

namespace {

const struct
{
    TextEncoding encoding;
    const char *text;
} kEncodings[] = {
    {TextEncoding::Auto, QT_TRANSLATE_NOOP("MainWindow", "自动")},
    {TextEncoding::Utf8, "UTF-8"},
    {TextEncoding::Gb18030, "GBK/GB18030"},
    {TextEncoding::Big5, "Big5"},
    {TextEncoding::Utf16Le, "UTF-16LE"},
    {TextEncoding::Utf16Be, "UTF-16BE"},
    {TextEncoding::Utf32, "UTF-32"},
};

} // namespace

// Reading a book in another encoding than the one it looks like; the choice
// is remembered for that book.
QMenu *MainWindow::buildEncodingMenu()
{
    auto *menu = new QMenu(tr("编码"), contextMenu);
    auto *choices = new QActionGroup(menu);
    for (const auto &entry : kEncodings) {
        QAction *action = menu->addAction(tr(entry.text));
        action->setCheckable(true);
        action->setData(int(entry.encoding));
        choices->addAction(action);
        connect(action, &QAction::triggered, this, [this, encoding = entry.encoding] { chooseEncoding(encoding); });
    }
    // The choice for the book open now is ticked whenever the menu opens.
    connect(menu, &QMenu::aboutToShow, this, [this, choices] {
        const TextEncoding chosen = config->bookEncoding(reader->book()->path());
        for (QAction *action : choices->actions()) {
            action->setEnabled(reader->book()->isOpen());
            action->setChecked(action->data().toInt() == int(chosen));
        }
    });
    return menu;
}

void MainWindow::chooseEncoding(TextEncoding encoding)
{
    if (!reader->book()->isOpen()) {
        message(tr("请先打开一本书"));
        return;
    }
    const QString path = reader->book()->path();
    if (!reader->reopenIn(encoding)) {
        message(openErrorText(reader->book()->openError(), path));
        return;
    }
    config->setBookEncoding(path, encoding);
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
        quit();
        return;
    }
    const int command = keyCode > HotKeyManager::GlobalIdOffset ? keyCode - HotKeyManager::GlobalIdOffset : keyCode;
    // Commands without a key (quit, toggle) have no global twin.
    if (command != keyCode && HotKeyManager::commandName(keyCode).isEmpty())
        return;
    // Pages that turn by themselves stop at whatever the reader does next.
    if (command != HotKeyManager::AutoTurn)
        stopAutoTurn();
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
        addBookmarkCommand();
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
    case HotKeyManager::Toggle:
        if (isVisible()) {
            hide();
        } else {
            showWindow(true);
            activateWindow();
        }
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
    case HotKeyManager::AutoTurn:
        toggleAutoTurn();
        break;
    case HotKeyManager::Jump:
        jumpCommand();
        break;
    default:
        break;
    }
}

void MainWindow::quit()
{
    close();
    if (QThread::currentThread()->loopLevel() == 0)
        return; // nothing runs yet that could keep the reader alive
    // Ends every event loop, those of open boxes and dialogs too: a box
    // left open would keep the reader running behind a closed window. A box
    // shown before the main loop began (at start) lets it begin: the queued
    // quit ends that one too.
    QCoreApplication::exit(0);
    QTimer::singleShot(0, qApp, &QCoreApplication::quit);
}

void MainWindow::openFileCommand()
{
    // Caption and filter stay untranslated, as the reader has always shown them.
    const QString path = prompter->openFileName(this, QStringLiteral("选择文件"), config->lastFile(),
                                                QStringLiteral("文本文件 (*.txt);;所有文件 (*)"));
    openFile(path);
}

void MainWindow::onRequest(const QStringList &request, InstanceChannel::Answer *answer)
{
    const QString verb = request.value(0);
    const bool open = verb == QLatin1String("open") && request.size() == 2 && !request.at(1).isEmpty();
    if (verb == QLatin1String("command") && request.size() == 2) {
        const int command = HotKeyManager::commandId(request.at(1));
        *answer = command > 0 ? InstanceChannel::Done : InstanceChannel::Unknown;
        if (command > 0)
            QTimer::singleShot(0, this, [this, command] { onHotkeyPressed(command); });
        return;
    }
    if (!open && !(verb == QLatin1String("show") && request.size() == 1)) {
        *answer = InstanceChannel::Unknown;
        return;
    }
    *answer = InstanceChannel::Done;
    // Answered at once; the work (which may show a message box) follows
    // once the socket's handler has returned.
    const QString path = open ? FileNameCodec::fromStored(request.at(1)) : QString();
    QTimer::singleShot(0, this, [this, path] {
        showWindow(true);
        activateWindow();
        if (!path.isEmpty())
            openFile(path);
    });
}

void MainWindow::addBookmarkCommand()
{
    Book *book = reader->book();
    if (!book->isOpen())
        message(tr("请先打开一本书"));
    else if (reader->addBookmark())
        message(tr("书签添加成功"));
    else
        message(tr("书签已添加，但暂时无法保存：%1\n书签已记下，磁盘可以写入时会随下一次翻页保存。")
                    .arg(book->lastSaveError()));
}

QString MainWindow::openErrorText(int error, const QString &path)
{
    const QString name = QDir::toNativeSeparators(FileNameCodec::displayed(path));
    switch (error) {
    case Book::NotFound:
        return tr("无法打开文件：找不到“%1”").arg(name);
    case Book::IsFolder:
        return tr("无法打开文件：“%1”是一个文件夹").arg(name);
    case Book::NotRegular:
        return tr("无法打开文件：“%1”不是普通文件").arg(name);
    case Book::NoPermission:
        return tr("无法打开文件：没有读取“%1”的权限").arg(name);
    case Book::TooLarge:
        return tr("无法打开文件：“%1”大于 1023 MiB").arg(name);
    default:
        return tr("无法打开文件：读取“%1”时出错").arg(name);
    }
}

void MainWindow::openFile(const QString &given, bool report)
{
    if (given.isEmpty())
        return;
    // The history must still find the book when the reader starts elsewhere.
    const QString path = QFileInfo(given).absoluteFilePath();
    Book::OpenError error = Book::check(path);
    if (error == Book::NoError && report && Book::looksBinary(path) &&
        !prompter->question(this, tr("“%1”看起来不是文本文件，仍要打开吗？").arg(QDir::toNativeSeparators(path))))
        return;
    if (error == Book::NoError && !reader->openBook(path, config->bookEncoding(path)))
        error = reader->book()->openError();
    if (error != Book::NoError) {
        if (report)
            message(openErrorText(error, path));
        return;
    }
    reader->refresh();
    config->addFileHistory(path);
}

void MainWindow::connectBookNotices()
{
    Book *book = reader->book();
    BookmarkStore *store = book->bookmarkStore();
    // Queued: the box must not open in the middle of the book's own work.
    connect(
        store, &BookmarkStore::saveFailed, this,
        [this, book](const QString &reason) {
            if (warnedSaveFailures.contains(book->path()))
                return;
            warnedSaveFailures.insert(book->path());
            message(tr("无法保存%1的阅读位置和书签：%2\n以后每次翻页时会再试。").arg(book->title(true), reason));
        },
        Qt::QueuedConnection);
    connect(
        store, &BookmarkStore::foreignFileKept, this,
        [this](const QString &foreign, const QString &path) {
            if (toldRelocations.contains(path))
                return;
            toldRelocations.insert(path);
            message(tr("“%1”不是书签文件，阅读器不会改动它。\n这本书的书签保存在：\n%2")
                        .arg(QDir::toNativeSeparators(foreign), QDir::toNativeSeparators(path)));
        },
        Qt::QueuedConnection);
    connect(
        store, &BookmarkStore::relocated, this,
        [this](const QString &path) {
            if (toldRelocations.contains(path))
                return;
            toldRelocations.insert(path);
            message(tr("书所在的文件夹无法写入，书签保存在：\n%1").arg(QDir::toNativeSeparators(path)));
        },
        Qt::QueuedConnection);
    connect(
        book, &Book::chapterRuleTooSlow, this,
        [this](int found) {
            message(
                tr("自定义的章节规则太慢，已停止查找章节（找到了前 %1 章）。请在设置中把规则改得简单些。").arg(found));
        },
        Qt::QueuedConnection);
    connect(
        store, &BookmarkStore::damaged, this,
        [this](int kept, const QString &backup) {
            const QString first = tr("书签文件已损坏，保留了其中完好的 %n 条书签。", nullptr, kept);
            message(backup.isEmpty() ? first + QLatin1Char('\n') + tr("损坏的文件无法备份，因此不会被覆盖。")
                                     : first + QLatin1Char('\n') +
                                           tr("损坏的文件已备份为：\n%1").arg(QDir::toNativeSeparators(backup)));
        },
        Qt::QueuedConnection);
}

void MainWindow::jumpCommand()
{
    Book *book = reader->book();
    if (!book->isOpen()) {
        message(tr("请先打开一本书"));
        return;
    }
    book->waitForText();
    const QString input = prompter->text(this, tr("跳转"), tr("百分比（如 37.5%）或章节号（如 12）："));
    if (input.isNull())
        return; // cancelled
    QVector<int> starts;
    for (const Chapter &chapter : book->chapters())
        starts << chapter.offset;
    const JumpTarget target = JumpTarget::parse(input, book->length(), starts);
    if (target.offset < 0)
        message(target.error);
    else
        reader->jumpTo(target.offset);
}

void MainWindow::toggleAutoTurn()
{
    if (autoTurnTimer->isActive()) {
        stopAutoTurn();
        return;
    }
    if (!reader->book()->hasText()) {
        message(tr("请先打开一本书"));
        return;
    }
    autoTurnTimer->start(config->autoTurnSeconds() * 1000);
    update();
}

void MainWindow::stopAutoTurn()
{
    if (!autoTurnTimer->isActive())
        return;
    autoTurnTimer->stop();
    update();
}

void MainWindow::autoTurnPage()
{
    // The end of the book ends it too.
    if (!reader->nextPage())
        stopAutoTurn();
}

// The history, newest first; a book no longer there is greyed out, and
// taken off the list when chosen.
QMenu *MainWindow::buildRecentMenu()
{
    auto *menu = new QMenu(tr("最近打开"), contextMenu);
    menu->setToolTipsVisible(true);
    connect(menu, &QMenu::aboutToShow, this, [this, menu] {
        menu->clear();
        for (const QString &path : config->fileHistory()) {
            const QFileInfo info(path);
            QAction *action = menu->addAction(FileNameCodec::displayed(info.baseName()));
            action->setToolTip(QDir::toNativeSeparators(FileNameCodec::displayed(info.absolutePath())));
            action->setData(path);
            action->setEnabled(info.exists());
            connect(action, &QAction::triggered, this, [this, path] { openRecent(path); });
        }
        if (menu->isEmpty())
            menu->addAction(tr("（无）"))->setEnabled(false);
    });
    // A greyed-out entry takes no click of its own: the menu passes it on.
    menu->installEventFilter(this);
    recentMenu = menu;
    return menu;
}

void MainWindow::openRecent(const QString &path)
{
    stopAutoTurn();
    if (QFileInfo::exists(path)) {
        openFile(path);
        return;
    }
    config->removeFileHistory(path);
    message(tr("“%1”已不存在，已从最近打开中移除").arg(QDir::toNativeSeparators(path)));
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
        preferenceDialog->setPreviewBook(reader->book());
    }
    if (!preferenceDialog->isActiveWindow()) {
        preferenceDialog->show();
        preferenceDialog->raise();
    }
}
