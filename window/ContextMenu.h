#pragma once

#include <QObject>

class CommandDispatcher;
class HotKeyManager;
class QMenu;
class QWidget;
class ReaderConfig;
class ReadingCommands;
class ReadingSession;

/// The reading window's context menu: the commands of the table in their
/// groups, with the recent books after 打开文件 and the encodings after
/// 关闭文件. Built on first use and kept.
class ContextMenu : public QObject
{
    Q_OBJECT

public:
    ContextMenu(CommandDispatcher *dispatcher, ReadingCommands *commands, ReadingSession *session, ReaderConfig *config,
                HotKeyManager *keys, QWidget *window);
    ~ContextMenu() override;

    /// The menu, built on first use.
    QMenu *menu();
    /// Shows it at `at` (global) and returns when it closes.
    void exec(const QPoint &at);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void build();
    void showKeys();
    QMenu *buildRecentMenu();
    QMenu *buildEncodingMenu();

    CommandDispatcher *dispatcher;
    ReadingCommands *commands;
    ReadingSession *session;
    ReaderConfig *config;
    HotKeyManager *keys;
    QWidget *window;
    QMenu *menu_ = nullptr;
    QMenu *recentMenu = nullptr;
};
