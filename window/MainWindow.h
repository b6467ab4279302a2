#pragma once

#include "DelayRun.h"
#include "InstanceChannel.h"
#include "decodeText.h"

#include <QList>
#include <QMainWindow>
#include <QPoint>
#include <QScopedPointer>
#include <QSet>

#include <functional>

class HotKeyManager;
class PreferenceDialog;
class Prompter;
class QAction;
class QPainter;
class QMenu;
class QTimer;
class Reader;
class ReaderConfig;
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
    QMenu *menu() const { return contextMenu; }
    int backgroundBoost() const { return hoverBoost; }
    ResizeEdge edgeUnderCursor() const { return resizeEdge; }
    /// Replaces the message boxes, the file dialog and the browser (tests).
    void setPrompter(Prompter *prompter);
    /// Pages turn by themselves (自动翻页).
    bool isTurningPages() const;
    /// Replaces the question whether a compositing manager runs (tests).
    void setCompositorProbe(std::function<bool()> probe) { compositorProbe = std::move(probe); }
    /// The smallest window that still has room for a line of text.
    QSize smallestSize() const;

public slots:
    void refreshAndPaint();
    void onHotkeyPressed(int keyCode);
    void onTopWindow(bool isTop);
    void onBackgroundChanged();
    void monitorCursor();
    void onUpdateDlgClosed(int result);
    /// Creates the update dialog, once, and starts the silent check.
    void startUpdateCheck();
    /// A request from another start of the reader: "show", or "open" and a path.
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
    void hideEvent(QHideEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void chooseResizeEdge(const QPoint &position);
    void resizeTo(const QPoint &global);
    QColor backgroundColor() const;
    void buildContextMenu();
    void openFileCommand();
    void addBookmarkCommand();
    QMenu *buildEncodingMenu();
    QMenu *buildRecentMenu();
    void openRecent(const QString &path);
    void jumpCommand();
    void toggleAutoTurn();
    void stopAutoTurn();
    void autoTurnPage();
    void paintAutoTurnMark(QPainter *painter);
    void chooseEncoding(TextEncoding encoding);
    void connectBookNotices();
    static QString openErrorText(int error, const QString &path);
    QRect restoredGeometry(const QRect &stored) const;
    void followCompositor();
    void applyWindowOpacity();
    qreal wholeWindowOpacity() const;
    bool startSystemGesture();
    void centerWindow();
    void message(const QString &text);
    void showPreferences();
    bool navigate(bool (Reader::*move)(), const char *boundary);

    bool pressed = false;
    bool moved = false;
    int hoverBoost = 0;
    QPoint pressGlobalPos;
    QPoint pressWindowPos;
    ReaderConfig *config = nullptr;
    Reader *reader = nullptr;
    DelayRun relayoutDelay;
    HotKeyManager *hotKeyManager = nullptr;
    ResizeEdge resizeEdge = None;
    QTimer *cursorTimer = nullptr;
    QScopedPointer<Ui::MainWindow> ui;
    PreferenceDialog *preferenceDialog = nullptr;
    QList<QAction *> menuActions;
    QMenu *contextMenu = nullptr;
    WhatsNewDlg *updateDialog = nullptr;
    QScopedPointer<Prompter> prompter;
    // Without a compositing manager a translucent window shows black.
    bool translucencyWorks = true;
    bool updateCheckStarted = false;
    bool firstPaintDone = false;
    QTimer *autoTurnTimer = nullptr;
    QMenu *recentMenu = nullptr;
    // The window system took the pointer for a move or resize.
    bool systemGesture = false;
    std::function<bool()> compositorProbe;
    // Each told once per book and session.
    QSet<QString> warnedSaveFailures;
    QSet<QString> toldRelocations;
};
