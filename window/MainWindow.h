#pragma once

#include "CommandTable.h"
#include "InstanceChannel.h"

#include <QMainWindow>
#include <QPoint>
#include <QScopedPointer>

#include <functional>

class AutoTurner;
class Capabilities;
class CommandDispatcher;
class ContextMenu;
class HotKeyManager;
class PreferenceDialog;
class Prompter;
class QMenu;
class Reader;
class ReaderConfig;
class ReadingCommands;
class WhatsNewDlg;

namespace Ui {
class MainWindow;
}

/// The reading window: frameless, moved by dragging anywhere and sized by
/// its edges, with a background of the chosen colour and opacity on which the
/// reader paints its page. Every command goes through onHotkeyPressed().
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    enum ResizeEdge { None, Left, Top, Right, Bottom, TopLeft, BottomLeft, TopRight, BottomRight };

    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    /// Shows the window when hidden; raises it when asked.
    void showWindow(bool raise);
    void showContextMenu();
    /// Opens a book and records it in the history. A book that cannot be
    /// opened is reported only when `report` is set (not at start).
    void openFile(const QString &path, bool report = true);

    Reader *readerObject() const { return reader; }
    ReaderConfig *configObject() const { return config; }
    HotKeyManager *hotKeys() const { return hotKeyManager; }
    CommandDispatcher *commands() const { return dispatcher; }
    QMenu *menu() const;
    int backgroundBoost() const { return hoverBoost; }
    ResizeEdge edgeUnderCursor() const { return resizeEdge; }
    /// Replaces the message boxes, the pickers and the browser (tests); owned.
    void setPrompter(Prompter *prompter);
    /// Pages turn by themselves (自动翻页).
    bool isTurningPages() const;
    /// Replaces the question whether a compositing manager runs (tests).
    void setCompositorProbe(std::function<bool()> probe) { compositorProbe = std::move(probe); }
    /// The smallest window that still has room for a line of text.
    QSize smallestSize() const;

public slots:
    void refreshAndPaint();
    void onHotkeyPressed(Command command);
    void onTopWindow(bool isTop);
    void onBackgroundChanged();
    void monitorCursor();
    void onUpdateDlgClosed(int result);
    /// Creates the update dialog, once, and starts the silent check.
    void startUpdateCheck();
    /// A request from another start of the reader: "show", "open" and a
    /// path, or "command" and a command's name.
    void onRequest(const QStringList &request, InstanceChannel::Answer *answer);
    /// Ends the reader, also from inside a message box or dialog left open.
    void quit();

protected:
    bool event(QEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void moveEvent(QMoveEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    void addWindowCommands();
    void chooseResizeEdge(const QPoint &position);
    void resizeTo(const QPoint &global);
    QColor backgroundColor() const;
    void followCompositor();
    void applyWindowOpacity();
    qreal wholeWindowOpacity() const;
    bool startSystemGesture();
    void centerWindow();
    void showPreferences();

    bool pressed = false;
    bool moved = false;
    int hoverBoost = 0;
    QPoint pressGlobalPos;
    QPoint pressWindowPos;
    ReaderConfig *config = nullptr;
    Reader *reader = nullptr;
    HotKeyManager *hotKeyManager = nullptr;
    CommandDispatcher *dispatcher = nullptr;
    ReadingCommands *readingCommands = nullptr;
    Capabilities *capabilities = nullptr;
    AutoTurner *autoTurner = nullptr;
    ContextMenu *contextMenu = nullptr;
    ResizeEdge resizeEdge = None;
    QTimer *cursorTimer = nullptr;
    QScopedPointer<Ui::MainWindow> ui;
    PreferenceDialog *preferenceDialog = nullptr;
    WhatsNewDlg *updateDialog = nullptr;
    QScopedPointer<Prompter> prompter;
    // Without a compositing manager a translucent window shows black.
    bool translucencyWorks = true;
    bool updateCheckStarted = false;
    bool firstPaintDone = false;
    // The window system took the pointer for a move or resize.
    bool systemGesture = false;
    std::function<bool()> compositorProbe;
};
