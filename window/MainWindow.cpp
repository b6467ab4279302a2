#include "MainWindow.h"
#include "ui_MainWindow.h"

#include "BuildSettings.h"
#include "HotKeyManager.h"
#include "Prompter.h"
#include "Reader.h"
#include "ReaderConfig.h"
#include "WhatsNewDlg.h"

#include <QAction>
#include <QCursor>
#include <QGuiApplication>
#include <QHoverEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QTimer>
#include <QWheelEvent>

#ifdef TAVRIL_HAVE_X11
#include <QX11Info>
#endif

namespace {
const int kEdge = 10;        // depth of the resize zones
const int kSmallest = 30;    // a resize step leaving both sides at this or less is ignored
const int kFaintOpacity = 5; // at or below this the background is lifted under the cursor
const int kHoverBoost = 6;
const char kAppId[] = "QX7RD";
const int kVersionCode = 6;
} // namespace

MainWindow::MainWindow(QWidget *parent) : QMainWindow(parent), relayoutDelay(100), prompter(new Prompter)
{
    hotKeyManager = new HotKeyManager;
    resizeEdge = None;
    cursorTimer = new QTimer;
    ui.reset(new Ui::MainWindow);
    ui->setupUi(this);
    config = new ReaderConfig;
    reader = new Reader(config);

    updateDialog = new WhatsNewDlg(QString::fromLatin1(kAppId), kVersionCode,
                                   WhatsNewDlg::computerIdentifier(QString::fromLatin1(kAppId)), this);
    // The check itself starts after the first paint (paintEvent): the
    // network stack takes a while to come up, and the page should not wait.

    connect(updateDialog, &QDialog::finished, this, &MainWindow::onUpdateDlgClosed);
    connect(&relayoutDelay, &QThread::finished, this, &MainWindow::refreshAndPaint);
    connect(reader, &Reader::changed, this, QOverload<>::of(&QWidget::update));
    connect(config, &ReaderConfig::fontChanged, this, &MainWindow::refreshAndPaint);
    connect(config, &ReaderConfig::topOnWindow, this, &MainWindow::onTopWindow);
    connect(config, &ReaderConfig::backgroundChanged, this, &MainWindow::onBackgroundChanged);
    connect(hotKeyManager, &HotKeyManager::hotKeyPressed, this, &MainWindow::onHotkeyPressed);

    const QRect rect = config->windowRect();
    move(rect.topLeft());
    resize(rect.size());

    setWindowFlags(Qt::FramelessWindowHint);
    setWindowFlag(Qt::NoDropShadowWindowHint, true);
    if (config->isTop())
        setWindowFlag(Qt::WindowStaysOnTopHint, true);
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_Hover);
#ifdef TAVRIL_HAVE_X11
    if (QGuiApplication::platformName() == QLatin1String("xcb"))
        translucencyWorks = QX11Info::isCompositingManagerRunning();
#endif
    // A window restored with whole-window opacity gets it at once, not only
    // after the next change of a background setting.
    if (config->bgType() != 0)
        setWindowOpacity(config->translucent() / 100.0);

    connect(cursorTimer, &QTimer::timeout, this, &MainWindow::monitorCursor);
    cursorTimer->start(250);

    if (config->openLastFile()) {
        // Lay the form out now, so the book's first page is laid out for the
        // real text area and the first paint shows it.
        layout()->activate();
        ui->centralwidget->layout()->activate();
        config->setPageRect(ui->label->geometry());
        openFile(config->lastFile(), false);
    }
}

MainWindow::~MainWindow()
{
    delete hotKeyManager;
    delete config;
    delete reader;
    delete updateDialog;
    ui.reset();
    delete contextMenu;
    qDeleteAll(menuActions);
    delete cursorTimer;
}

void MainWindow::setPrompter(Prompter *replacement)
{
    prompter.reset(replacement);
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
    reader->refresh();
}

void MainWindow::onTopWindow(bool isTop)
{
    setWindowFlag(Qt::WindowStaysOnTopHint, isTop);
    showWindow(isTop);
}

void MainWindow::onBackgroundChanged()
{
    setWindowOpacity(config->bgType() != 0 ? config->translucent() / 100.0 : 1.0);
    update();
}

void MainWindow::monitorCursor()
{
    if (config->translucent() > kFaintOpacity)
        return;
    if (frameGeometry().contains(QCursor::pos())) {
        if (hoverBoost == 0) {
            hoverBoost = kHoverBoost;
            update();
        }
    } else if (hoverBoost > 0) {
        hoverBoost = 0;
        update();
    }
}

void MainWindow::onUpdateDlgClosed(int)
{
    if (updateDialog && updateDialog->isForceUpdate())
        close();
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
    const int w = frameGeometry().width();
    const int h = frameGeometry().height();
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
    if (event->button() == Qt::LeftButton) {
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
    moved = true;
    if (resizeEdge == None)
        move(pressWindowPos + (global - pressGlobalPos));
    else
        resizeTo(global);
}

void MainWindow::resizeTo(const QPoint &global)
{
    QRect r = frameGeometry();
    if (resizeEdge == Left || resizeEdge == TopLeft || resizeEdge == BottomLeft)
        r.setLeft(global.x());
    if (resizeEdge == Right || resizeEdge == TopRight || resizeEdge == BottomRight)
        r.setRight(global.x());
    if (resizeEdge == Top || resizeEdge == TopLeft || resizeEdge == TopRight)
        r.setTop(global.y());
    if (resizeEdge == Bottom || resizeEdge == BottomLeft || resizeEdge == BottomRight)
        r.setBottom(global.y());
    if (r.right() - r.left() >= kSmallest || r.bottom() - r.top() >= kSmallest)
        setGeometry(r);
}

void MainWindow::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    if (!moved && config->clickNextPage())
        reader->nextPage();
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
    if (!config->wheelTurnPage())
        return;
    if (event->angleDelta().y() < 0)
        reader->nextPage();
    else
        reader->previousPage();
    event->accept();
}

void MainWindow::keyPressEvent(QKeyEvent *event)
{
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
    if (!config->setPageRect(ui->label->geometry()))
        relayoutDelay.trigger();
    QPainter painter(this);
    painter.fillRect(QRect(0, 0, width(), height()), backgroundColor());
    reader->paint(&painter);
    if (!updateCheckStarted) {
        updateCheckStarted = true;
        QTimer::singleShot(0, updateDialog,
                           [dialog = updateDialog] { dialog->checkUpdate(QStringLiteral(TAVRIL_UPDATE_URL), false); });
    }
}

void MainWindow::moveEvent(QMoveEvent *)
{
    config->setWindowRect(frameGeometry());
}

void MainWindow::resizeEvent(QResizeEvent *) {}
