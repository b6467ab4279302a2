#include "MainWindow.h"
#include "ui_MainWindow.h"

#include "AutoTurner.h"
#include "BookNotices.h"
#include "BuildSettings.h"
#include "Capabilities.h"
#include "CommandDispatcher.h"
#include "ContextMenu.h"
#include "HotKeyManager.h"
#include "Prompter.h"
#include "Reader.h"
#include "ReaderConfig.h"
#include "ReadingCommands.h"
#include "WhatsNewDlg.h"
#include "WindowPlacement.h"
#include "WindowSystem.h"

#include <QCursor>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QHoverEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QTimer>
#include <QWheelEvent>
#include <QWindow>

#ifdef TAVRIL_HAVE_X11
#include <QX11Info>
#endif

namespace {
const int kEdge = 10;        // depth of the resize zones
const int kSmallest = 30;    // a resize step leaving both sides at this or less is ignored
const int kFaintOpacity = 5; // at or below this the background is lifted under the cursor
const int kHoverBoost = 6;
const qreal kWholeWindowHoverOpacity = 0.15;
const int kFormMargin = 2; // the form's margins around the text area
} // namespace

MainWindow::MainWindow(QWidget *parent) : QMainWindow(parent)
{
    hotKeyManager = new HotKeyManager(nullptr, HotKeyManager::BindLater);
    resizeEdge = None;
    cursorTimer = new QTimer;
    ui.reset(new Ui::MainWindow);
    ui->setupUi(this);
    config = new ReaderConfig;
    reader = new Reader(config);
    dispatcher = new CommandDispatcher(this);
    readingCommands = new ReadingCommands(reader->session(), config, this);
    readingCommands->addTo(dispatcher);
    capabilities = new Capabilities(reader, dispatcher, this);
    autoTurner = capabilities->autoTurner();
    addWindowCommands();
    contextMenu = new ContextMenu(dispatcher, readingCommands, reader->session(), config, hotKeyManager, this);
    new BookNotices(reader->book(), config, this);

    // The update dialog and its check come after the first paint
    // (startUpdateCheck): building a dialog and the network stack take a
    // while, and the page should not wait for them.
    connect(reader, &Reader::changed, this, QOverload<>::of(&QWidget::update));
    connect(config, &ReaderConfig::fontChanged, this, &MainWindow::refreshAndPaint);
    connect(config, &ReaderConfig::topOnWindow, this, &MainWindow::onTopWindow);
    connect(config, &ReaderConfig::backgroundChanged, this, &MainWindow::onBackgroundChanged);
    connect(hotKeyManager, &HotKeyManager::hotKeyPressed, this, &MainWindow::onHotkeyPressed);
    // Told once for each set of chords, ever: another program keeps holding them.
    connect(hotKeyManager, &HotKeyManager::globalKeysRefused, this, [this](const QStringList &chords) {
        if (!config->wasTold(QStringLiteral("refusedKeys"), chords.join(QLatin1Char(' '))))
            Prompter::current()->information(this, tr("这些全局快捷键已被其他程序占用，只在阅读器窗口内有效：\n%1\n"
                                                      "可以在设置的快捷键页换一个组合键。")
                                                       .arg(chords.join(QStringLiteral("、"))));
        config->rememberTold(QStringLiteral("refusedKeys"), chords.join(QLatin1Char(' ')));
    });
    reader->book()->setChapterRule(config->chapterRule());
    connect(config, &ReaderConfig::chapterRuleChanged, this,
            [this] { reader->book()->setChapterRule(config->chapterRule()); });

    // Where the desktop places windows itself (Wayland), a stored position
    // means nothing; the size still does. The window's own geometry, as it
    // was stored, whatever frame a window manager puts around it.
    const QRect rect = WindowPlacement::onScreen(config->windowRect(), smallestSize());
    if (WindowSystem::placesWindows())
        setGeometry(rect);
    else
        resize(rect.size());
    setMinimumSize(smallestSize());

    setWindowFlags(Qt::FramelessWindowHint);
    setWindowFlag(Qt::NoDropShadowWindowHint, true);
    if (config->isTop() && WindowSystem::keepsOnTop())
        setWindowFlag(Qt::WindowStaysOnTopHint, true);
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_Hover);
#ifdef TAVRIL_HAVE_X11
    if (QGuiApplication::platformName() == QLatin1String("xcb"))
        compositorProbe = [] { return QX11Info::isCompositingManagerRunning(); };
#endif
    if (compositorProbe)
        translucencyWorks = compositorProbe();
    // A window restored with whole-window opacity gets it at once, not only
    // after the next change of a background setting.
    if (config->bgType() != 0)
        applyWindowOpacity();

    connect(cursorTimer, &QTimer::timeout, this, &MainWindow::monitorCursor);
    cursorTimer->start(250);
    setAcceptDrops(true);

    if (config->openLastFile()) {
        // Lay the form out now, so the book's first page is laid out for the
        // real text area and the first paint shows it.
        layout()->activate();
        ui->centralwidget->layout()->activate();
        reader->setPageRect(ui->label->geometry());
        openFile(config->lastFile(), false);
    }
}

MainWindow::~MainWindow()
{
    if (prompter)
        Prompter::install(nullptr);
    delete capabilities; // their parts use the reader and its settings to the end
    delete contextMenu;
    delete hotKeyManager;
    delete reader;
    delete config;
    delete updateDialog;
    ui.reset();
    delete cursorTimer;
}

void MainWindow::setPrompter(Prompter *replacement)
{
    prompter.reset(replacement);
    Prompter::install(replacement);
}

QMenu *MainWindow::menu() const
{
    return contextMenu->menu();
}

void MainWindow::openFile(const QString &path, bool report)
{
    readingCommands->openFile(path, report);
}

void MainWindow::showWindow(bool raise)
{
    if (isHidden())
        show();
    if (raise)
        this->raise();
}

void MainWindow::refreshAndPaint()
{
    setMinimumSize(smallestSize());
    reader->refresh();
}

void MainWindow::onTopWindow(bool isTop)
{
    if (!WindowSystem::keepsOnTop())
        return; // the desktop decides, and changing the flags would only hide the window
    setWindowFlag(Qt::WindowStaysOnTopHint, isTop);
    showWindow(isTop);
}

void MainWindow::onBackgroundChanged()
{
    applyWindowOpacity();
    update();
}

qreal MainWindow::wholeWindowOpacity() const
{
    if (config->bgType() == 0)
        return 1.0;
    // Under the cursor a window faded out as a whole comes back enough to be
    // found, like the background of the other mode.
    const qreal opacity = config->translucent() / 100.0;
    return hoverBoost > 0 ? qMax(opacity, kWholeWindowHoverOpacity) : opacity;
}

void MainWindow::applyWindowOpacity()
{
    // Where the window system ignores it, the painting fades instead.
    if (WindowSystem::fadesWindows())
        setWindowOpacity(wholeWindowOpacity());
    else
        update();
}

void MainWindow::followCompositor()
{
    if (!compositorProbe)
        return;
    const bool running = compositorProbe();
    if (running != translucencyWorks) {
        translucencyWorks = running;
        update();
    }
}

void MainWindow::monitorCursor()
{
    followCompositor();
    if (config->translucent() > kFaintOpacity) {
        if (hoverBoost > 0) {
            hoverBoost = 0;
            applyWindowOpacity();
        }
        return;
    }
    // Without global positions (Wayland) the window only knows whether the
    // pointer is in it.
    const bool under = WindowSystem::placesWindows() ? geometry().contains(QCursor::pos()) : underMouse();
    const int boost = under ? kHoverBoost : 0;
    if (boost != hoverBoost) {
        hoverBoost = boost;
        applyWindowOpacity();
        update();
    }
}

bool MainWindow::event(QEvent *event)
{
    if (!moved && event->type() == QEvent::HoverMove)
        chooseResizeEdge(static_cast<QHoverEvent *>(event)->posF().toPoint());
    return QMainWindow::event(event);
}

void MainWindow::chooseResizeEdge(const QPoint &position)
{
    const int x = position.x();
    const int y = position.y();
    // The window's own size, not its frame's: a window manager may wrap a
    // frameless window in an invisible frame (weston's XWayland does).
    const int w = width();
    const int h = height();
    Qt::CursorShape shape = Qt::ArrowCursor;
    ResizeEdge edge = None;
    if (x < kEdge) {
        if (y < kEdge)
            shape = Qt::SizeFDiagCursor, edge = TopLeft;
        else if (h - y >= kEdge)
            shape = Qt::SizeHorCursor, edge = Left;
        else
            shape = Qt::SizeBDiagCursor, edge = BottomLeft;
    } else if (w - x < kEdge) {
        if (y < kEdge)
            shape = Qt::SizeBDiagCursor, edge = TopRight;
        else if (h - y >= kEdge)
            shape = Qt::SizeHorCursor, edge = Right;
        else
            shape = Qt::SizeFDiagCursor, edge = BottomRight;
    } else if (y < kEdge && x > kEdge && x < w - kEdge) {
        shape = Qt::SizeVerCursor, edge = Top;
    } else if (h - y < kEdge && x > kEdge && x < w - kEdge) {
        shape = Qt::SizeVerCursor, edge = Bottom;
    }
    resizeEdge = edge;
    setCursor(shape);
}

void MainWindow::mousePressEvent(QMouseEvent *event)
{
    autoTurner->stop();
    if (event->button() == Qt::LeftButton) {
        systemGesture = false;
        pressed = true;
        pressGlobalPos = event->screenPos().toPoint();
        pressWindowPos = frameGeometry().topLeft();
    } else if (event->button() == Qt::RightButton) {
        showContextMenu();
    }
}

void MainWindow::mouseMoveEvent(QMouseEvent *event)
{
    const QPoint global = mapToGlobal(event->localPos().toPoint());
    if (!pressed)
        return;
    const bool first = !moved;
    moved = true;
    // The window system moves and sizes the window where it can (the only
    // way on Wayland); it keeps the pointer until the button goes up, and
    // the release may never reach the window.
    if (first && startSystemGesture()) {
        systemGesture = true;
        pressed = false;
        moved = false;
        return;
    }
    if (resizeEdge == None)
        move(pressWindowPos + (global - pressGlobalPos));
    else
        resizeTo(global);
}

bool MainWindow::startSystemGesture()
{
    QWindow *window = windowHandle();
    if (!window)
        return false;
    static const QMap<ResizeEdge, Qt::Edges> edges = {
        {Left, Qt::LeftEdge},
        {Top, Qt::TopEdge},
        {Right, Qt::RightEdge},
        {Bottom, Qt::BottomEdge},
        {TopLeft, Qt::TopEdge | Qt::LeftEdge},
        {BottomLeft, Qt::BottomEdge | Qt::LeftEdge},
        {TopRight, Qt::TopEdge | Qt::RightEdge},
        {BottomRight, Qt::BottomEdge | Qt::RightEdge},
    };
    return resizeEdge == None ? window->startSystemMove() : window->startSystemResize(edges.value(resizeEdge));
}

void MainWindow::resizeTo(const QPoint &global)
{
    QRect r = geometry();
    const bool left = resizeEdge == Left || resizeEdge == TopLeft || resizeEdge == BottomLeft;
    const bool right = resizeEdge == Right || resizeEdge == TopRight || resizeEdge == BottomRight;
    const bool top = resizeEdge == Top || resizeEdge == TopLeft || resizeEdge == TopRight;
    const bool bottom = resizeEdge == Bottom || resizeEdge == BottomLeft || resizeEdge == BottomRight;
    // An edge dragged past the smallest size stops there instead of folding
    // the window up behind the opposite edge.
    const QSize smallest = smallestSize();
    if (left)
        r.setLeft(qMin(global.x(), r.right() + 1 - smallest.width()));
    if (right)
        r.setRight(qMax(global.x(), r.left() - 1 + smallest.width()));
    if (top)
        r.setTop(qMin(global.y(), r.bottom() + 1 - smallest.height()));
    if (bottom)
        r.setBottom(qMax(global.y(), r.top() - 1 + smallest.height()));
    if (r.right() - r.left() >= kSmallest || r.bottom() - r.top() >= kSmallest)
        setGeometry(r);
}

QSize MainWindow::smallestSize() const
{
    const QFontMetrics metrics(config->font());
    const int margins = 2 * kFormMargin;
    const int wide = qMax(1, metrics.horizontalAdvance(QStringLiteral("一")));
    const QSize smallest(qMax(kSmallest + 1, 4 * wide + margins), qMax(kSmallest + 1, metrics.height() + margins));
    // A huge font must not push the window past the screen: the page is
    // clipped instead.
    const QScreen *screen = windowHandle() ? windowHandle()->screen() : QGuiApplication::primaryScreen();
    return screen ? smallest.boundedTo(screen->availableGeometry().size()) : smallest;
}

void MainWindow::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    if (!moved && !systemGesture && config->clickNextPage())
        reader->session()->nextPage();
    systemGesture = false;
    pressed = false;
    moved = false;
    update();
}

void MainWindow::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (config->doubleClickHide()) {
        hide();
        event->accept();
    }
}

void MainWindow::wheelEvent(QWheelEvent *event)
{
    autoTurner->stop();
    if (!config->wheelTurnPage())
        return;
    if (event->angleDelta().y() < 0)
        reader->session()->nextPage();
    else
        reader->session()->previousPage();
    event->accept();
}

void MainWindow::keyPressEvent(QKeyEvent *event)
{
    // Any key stops pages turning by themselves, but the one that toggles it.
    KeyBinding binding{};
    if (!hotKeyManager->bindingFor(event, &binding) || binding.command != Command::AutoTurn)
        autoTurner->stop();
    hotKeyManager->handleKeyPress(event);
}

QColor MainWindow::backgroundColor() const
{
    QColor color = config->bgColor();
    if (config->bgType() == 0)
        color.setAlpha(qBound(0, (config->translucent() + hoverBoost) * 255 / 100, 255));
    if (!translucencyWorks)
        color.setAlpha(255); // black is all a translucent window shows without a compositor
    return color;
}

void MainWindow::paintEvent(QPaintEvent *event)
{
    QWidget::paintEvent(event);
    // A new text area lays the page out again once it has settled.
    reader->setPageRect(ui->label->geometry());
    QPainter painter(this);
    if (!WindowSystem::fadesWindows())
        painter.setOpacity(wholeWindowOpacity());
    painter.fillRect(QRect(0, 0, width(), height()), backgroundColor());
    reader->paint(&painter);
    capabilities->paint(&painter, reader->pageRect());
    if (!firstPaintDone) {
        firstPaintDone = true;
        // The page is on screen: the rest of a long book can be read now.
        QTimer::singleShot(0, reader->book(), &Book::readRest);
    }
    if (!updateCheckStarted && TAVRIL_UPDATE_CHECK && config->checkUpdateAtStart()) {
        updateCheckStarted = true;
        QTimer::singleShot(0, this, &MainWindow::startUpdateCheck);
    }
}

void MainWindow::moveEvent(QMoveEvent *)
{
    // Qt reports moves on Wayland that never happened: nothing to store.
    if (WindowSystem::placesWindows())
        config->setWindowRect(geometry());
}

bool MainWindow::isTurningPages() const
{
    return autoTurner->isTurning();
}

// A file dropped on the window opens as the open-file command would; of
// several, the first.
void MainWindow::dragEnterEvent(QDragEnterEvent *event)
{
    for (const QUrl &url : event->mimeData()->urls()) {
        if (url.isLocalFile()) {
            event->acceptProposedAction();
            return;
        }
    }
}

void MainWindow::dropEvent(QDropEvent *event)
{
    for (const QUrl &url : event->mimeData()->urls()) {
        if (url.isLocalFile()) {
            event->acceptProposedAction();
            autoTurner->stop();
            const QString path = url.toLocalFile();
            // After the drop has ended: opening may ask or tell something.
            QTimer::singleShot(0, this, [this, path] { openFile(path); });
            return;
        }
    }
}

void MainWindow::resizeEvent(QResizeEvent *)
{
    // A resize is stored as a move is; where the desktop places windows
    // (Wayland) only the size, the stored position left as it was.
    if (WindowSystem::placesWindows())
        config->setWindowRect(geometry());
    else
        config->setWindowRect(QRect(config->windowRect().topLeft(), size()));
}
