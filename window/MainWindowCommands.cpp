// The window's own commands (hide, show, centre, the menu, the preferences,
// help, quit), requests from another start, and the update check.

#include "MainWindow.h"

#include "BuildSettings.h"
#include "Capabilities.h"
#include "CommandDispatcher.h"
#include "ContextMenu.h"
#include "FileNameCodec.h"
#include "HotKeyManager.h"
#include "PreferenceDialog.h"
#include "Prompter.h"
#include "Reader.h"
#include "ReaderConfig.h"
#include "WhatsNewDlg.h"
#include "WindowSystem.h"

#include <QCursor>
#include <QGuiApplication>
#include <QScreen>
#include <QThread>
#include <QTimer>
#include <QUrl>

void MainWindow::addWindowCommands()
{
    dispatcher->add(Command::Hide, [this] { hide(); });
    dispatcher->add(Command::Show, [this] { showWindow(true); });
    dispatcher->add(Command::Toggle, [this] {
        if (isVisible()) {
            hide();
            return;
        }
        showWindow(true);
        activateWindow();
    });
    dispatcher->add(Command::Center, [this] { centerWindow(); });
    dispatcher->add(Command::Menu, [this] { showContextMenu(); });
    dispatcher->add(Command::Preferences, [this] { showPreferences(); });
    dispatcher->add(Command::Help,
                    [this] { Prompter::current()->openUrl(QUrl(QStringLiteral(TAVRIL_SITE "/?id=596"))); });
    dispatcher->add(Command::Quit, [this] { quit(); });
}

void MainWindow::onHotkeyPressed(Command command)
{
    dispatcher->run(command);
}

void MainWindow::showContextMenu()
{
    // Asked for from outside (a key of the desktop, tavril --command menu)
    // while the pointer is elsewhere: at the window's centre, on top.
    const bool pointerHere = WindowSystem::placesWindows() ? geometry().contains(QCursor::pos()) : underMouse();
    if (pointerHere) {
        contextMenu->exec(QCursor::pos());
        return;
    }
    showWindow(true);
    activateWindow();
    contextMenu->exec(mapToGlobal(rect().center()));
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

void MainWindow::onRequest(const QStringList &request, InstanceChannel::Answer *answer)
{
    const QString verb = request.value(0);
    const bool open = verb == QLatin1String("open") && request.size() == 2 && !request.at(1).isEmpty();
    if (verb == QLatin1String("command") && request.size() == 2) {
        const CommandInfo *command = CommandTable::byName(request.at(1));
        *answer = command ? InstanceChannel::Done : InstanceChannel::Unknown;
        if (command)
            QTimer::singleShot(0, this, [this, which = command->command] { onHotkeyPressed(which); });
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

void MainWindow::centerWindow()
{
    if (!WindowSystem::placesWindows()) {
        showWindow(true);
        Prompter::current()->information(this,
                                         tr("在这个桌面上，窗口的位置由桌面决定，阅读器无法把窗口移到屏幕中央。"));
        return;
    }
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
        capabilities->addPreferencePages(preferenceDialog);
    }
    if (!preferenceDialog->isActiveWindow()) {
        preferenceDialog->show();
        preferenceDialog->raise();
    }
}

void MainWindow::startUpdateCheck()
{
    if (!updateDialog) {
        updateDialog = new WhatsNewDlg(QStringLiteral(TAVRIL_APP_ID), TAVRIL_VERSION_CODE, config->installId(), this);
        connect(updateDialog, &QDialog::finished, this, &MainWindow::onUpdateDlgClosed);
    }
    updateDialog->checkUpdate(QStringLiteral(TAVRIL_UPDATE_URL), false);
}

void MainWindow::onUpdateDlgClosed(int)
{
    if (updateDialog && updateDialog->isForceUpdate())
        close();
}
