#include "ReadingCommands.h"

#include "BrowseCommands.h"
#include "CommandDispatcher.h"
#include "FileNameCodec.h"
#include "JumpTarget.h"
#include "Prompter.h"
#include "ReaderConfig.h"
#include "ReadingSession.h"

#include <QDir>
#include <QFileInfo>
#include <QWidget>

ReadingCommands::ReadingCommands(ReadingSession *session, ReaderConfig *config, QWidget *window)
    : QObject(window), session(session), config(config), window(window)
{
}

void ReadingCommands::addTo(CommandDispatcher *dispatcher)
{
    dispatcher->add(Command::Open, [this] { openFileCommand(); });
    dispatcher->add(Command::Close, [this] { session->closeBook(); });
    dispatcher->add(Command::Contents, [this] {
        if (bookOpen())
            showContents(window, session);
    });
    dispatcher->add(Command::Bookmarks, [this] {
        if (bookOpen())
            showBookmarks(window, session);
    });
    dispatcher->add(Command::Find, [this] { showFind(window, session); });
    dispatcher->add(Command::AddBookmark, [this] { addBookmarkCommand(); });
    dispatcher->add(Command::PreviousPage, [this] { navigate(&ReadingSession::previousPage, QT_TR_NOOP("已是首页")); });
    dispatcher->add(Command::NextPage, [this] { navigate(&ReadingSession::nextPage, QT_TR_NOOP("已是末页")); });
    dispatcher->add(Command::PreviousChapter,
                    [this] { navigate(&ReadingSession::previousChapter, QT_TR_NOOP("已是第一章")); });
    dispatcher->add(Command::NextChapter,
                    [this] { navigate(&ReadingSession::nextChapter, QT_TR_NOOP("已是最后一章")); });
    dispatcher->add(Command::Jump, [this] { jumpCommand(); });
}

bool ReadingCommands::bookOpen()
{
    if (!session->book()->isOpen())
        message(tr("请先打开一本书"));
    return session->book()->isOpen();
}

void ReadingCommands::message(const QString &text)
{
    Prompter::current()->information(window, text);
}

bool ReadingCommands::navigate(bool (ReadingSession::*move)(), const char *boundary)
{
    const bool moved = (session->*move)();
    if (!moved)
        message(tr(boundary));
    return moved;
}

void ReadingCommands::openFileCommand()
{
    // Caption and filter stay untranslated, as the reader has always shown them.
    const QString path = Prompter::current()->openFileName(window, QStringLiteral("选择文件"), config->lastFile(),
                                                           QStringLiteral("文本文件 (*.txt);;所有文件 (*)"));
    openFile(path);
}

void ReadingCommands::addBookmarkCommand()
{
    Book *book = session->book();
    if (!bookOpen())
        return;
    if (session->addBookmark())
        message(tr("书签添加成功"));
    else
        message(tr("书签已添加，但暂时无法保存：%1\n书签已记下，磁盘可以写入时会随下一次翻页保存。")
                    .arg(book->lastSaveError()));
}

QString ReadingCommands::openErrorText(int error, const QString &path)
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

void ReadingCommands::openFile(const QString &given, bool report)
{
    if (given.isEmpty())
        return;
    // The history must still find the book when the reader starts elsewhere.
    const QString path = QFileInfo(given).absoluteFilePath();
    Book::OpenError error = Book::check(path);
    if (error == Book::NoError && report && Book::looksBinary(path) &&
        !Prompter::current()->question(
            window,
            tr("“%1”看起来不是文本文件，仍要打开吗？").arg(QDir::toNativeSeparators(FileNameCodec::displayed(path)))))
        return;
    if (error == Book::NoError && !session->openBook(path, config->bookEncoding(path)))
        error = session->book()->openError();
    if (error != Book::NoError) {
        if (report)
            message(openErrorText(error, path));
        return;
    }
    session->refresh();
    config->addFileHistory(path);
}

void ReadingCommands::openRecent(const QString &path)
{
    if (QFileInfo::exists(path)) {
        openFile(path);
        return;
    }
    config->removeFileHistory(path);
    message(tr("“%1”已不存在，已从最近打开中移除").arg(QDir::toNativeSeparators(FileNameCodec::displayed(path))));
}

void ReadingCommands::chooseEncoding(TextEncoding encoding)
{
    if (!bookOpen())
        return;
    const QString path = session->book()->path();
    if (!session->reopenIn(encoding)) {
        message(openErrorText(session->book()->openError(), path));
        return;
    }
    config->setBookEncoding(path, encoding);
}

void ReadingCommands::jumpCommand()
{
    Book *book = session->book();
    if (!bookOpen())
        return;
    book->waitForText();
    const QString input = Prompter::current()->text(
        window, tr("跳转"),
        tr("现在：%1\n百分比（如 37.5%）或章节号（如 12、第十二章）：").arg(session->progressText()));
    if (input.isNull())
        return; // cancelled
    const JumpTarget target = JumpTarget::parse(input, book->text(), book->chapters());
    if (target.offset < 0)
        message(target.error);
    else
        session->jumpTo(target.offset);
}
