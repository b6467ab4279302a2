#include "AnsweringPrompter.h"
#include "Book.h"
#include "FileSizeLimit.h"
#include "HotKeyManager.h"
#include "MainWindow.h"
#include "Reader.h"
#include "ReaderConfig.h"
#include "WhatsNewDlg.h"

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QHoverEvent>
#include <QMenu>
#include <QMimeData>
#include <QNetworkReply>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTextCodec>
#include <QtTest>

#include <sys/stat.h>

namespace {

QString iniPath()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/tavrilconfig.ini");
}

void hover(QWidget *window, const QPoint &at)
{
    QHoverEvent event(QEvent::HoverMove, at, at);
    QApplication::sendEvent(window, &event);
}

void mouse(QWidget *window, QEvent::Type type, const QPoint &local, Qt::MouseButton button)
{
    const QPoint global = window->mapToGlobal(local);
    const Qt::MouseButtons buttons = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(button);
    QMouseEvent event(type, local, global, button, buttons, Qt::NoModifier);
    QApplication::sendEvent(window, &event);
}

// The text area is known once the window has painted; the page is laid
// out for it after a short delay, which the test does not wait for.
void settle(MainWindow *window)
{
    window->repaint();
    window->refreshAndPaint();
}

// The window as it paints itself, kept for a look in build/screenshots.
QImage saveShot(QWidget *window, const QString &name)
{
    // grab() paints with the window's own resolution, as the screen would.
    const QImage image = window->grab().toImage();
    QDir().mkpath(QStringLiteral(TAVRIL_SCREENSHOT_DIR));
    image.save(QStringLiteral(TAVRIL_SCREENSHOT_DIR "/") + name);
    return image;
}

void wheel(QWidget *window, const QPoint &delta)
{
    QWheelEvent event(QPointF(20, 20), QPointF(window->mapToGlobal(QPoint(20, 20))), QPoint(), delta, Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(window, &event);
}

// Serves one canned HTTP answer to every request.
class OneAnswerServer : public QTcpServer
{
public:
    explicit OneAnswerServer(const QByteArray &body) : body(body)
    {
        listen(QHostAddress::LocalHost);
        connect(this, &QTcpServer::newConnection, this, [this] {
            QTcpSocket *socket = nextPendingConnection();
            connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
                socket->readAll();
                socket->write("HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nConnection: close\r\n"
                              "Content-Length: " +
                              QByteArray::number(this->body.size()) + "\r\n\r\n" + this->body);
                socket->disconnectFromHost();
            });
        });
    }
    QString url() const { return QStringLiteral("http://127.0.0.1:%1/app/update").arg(serverPort()); }

private:
    QByteArray body;
};

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

private:
    QString writeBook(const QString &name, int paragraphs)
    {
        QString text;
        for (int i = 0; i < paragraphs; ++i)
            text += QStringLiteral(
                        "第%1章 开端\n\u3000\u3000天色将晚，江上起了风。老渔夫收起网，回头望了一眼远处的山影。\n")
                        .arg(i + 1);
        const QString path = dir.filePath(name);
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        file.write(QTextCodec::codecForName("GBK")->fromUnicode(text));
        return path;
    }

    std::unique_ptr<MainWindow> makeWindow()
    {
        std::unique_ptr<MainWindow> window(new MainWindow);
        prompter = new AnsweringPrompter;
        window->setPrompter(prompter);
        window->resize(300, 200);
        window->show();
        if (!QTest::qWaitForWindowExposed(window.get()))
            qWarning("window not exposed");
        return window;
    }

private slots:
    void init() { QFile::remove(iniPath()); }
    void cleanupTestCase() { QFile::remove(iniPath()); }

    void resizeZonesFollowTheCursor()
    {
        auto window = makeWindow();
        const int w = window->frameGeometry().width();
        const int h = window->frameGeometry().height();
        const struct
        {
            QPoint at;
            MainWindow::ResizeEdge edge;
            Qt::CursorShape shape;
        } cases[] = {
            {{5, 5}, MainWindow::TopLeft, Qt::SizeFDiagCursor},
            {{5, h - 5}, MainWindow::BottomLeft, Qt::SizeBDiagCursor},
            {{5, h / 2}, MainWindow::Left, Qt::SizeHorCursor},
            {{w - 5, 5}, MainWindow::TopRight, Qt::SizeBDiagCursor},
            {{w - 5, h / 2}, MainWindow::Right, Qt::SizeHorCursor},
            {{w - 5, h - 5}, MainWindow::BottomRight, Qt::SizeFDiagCursor},
            {{10, 3}, MainWindow::None, Qt::ArrowCursor},
            {{w - 10, 3}, MainWindow::None, Qt::ArrowCursor},
            {{11, 3}, MainWindow::Top, Qt::SizeVerCursor},
            {{w / 2, h - 3}, MainWindow::Bottom, Qt::SizeVerCursor},
            {{w / 2, h / 2}, MainWindow::None, Qt::ArrowCursor},
        };
        for (const auto &c : cases) {
            hover(window.get(), c.at);
            QCOMPARE(window->edgeUnderCursor(), c.edge);
            QCOMPARE(window->cursor().shape(), c.shape);
        }
    }

    void clickTurnsOnlyWithoutAMove()
    {
        auto window = makeWindow();
        window->openFile(writeBook(QStringLiteral("click.txt"), 60));
        settle(window.get());
        Reader *reader = window->readerObject();
        window->configObject()->setClickNextPage(true);
        hover(window.get(), {150, 100});
        mouse(window.get(), QEvent::MouseButtonPress, {150, 100}, Qt::LeftButton);
        mouse(window.get(), QEvent::MouseButtonRelease, {150, 100}, Qt::LeftButton);
        const int afterClick = reader->position();
        QVERIFY(afterClick > 0);

        const QPoint before = window->pos();
        mouse(window.get(), QEvent::MouseButtonPress, {150, 100}, Qt::LeftButton);
        mouse(window.get(), QEvent::MouseMove, {153, 101}, Qt::LeftButton);
        mouse(window.get(), QEvent::MouseButtonRelease, {153, 101}, Qt::LeftButton);
        QCOMPARE(reader->position(), afterClick);
        QCOMPARE(window->pos(), before + QPoint(3, 1)); // a drag anywhere moves the window
        QCOMPARE(QSettings(iniPath(), QSettings::IniFormat).value("window/rect").toRect().topLeft(), window->pos());
    }

    void edgeDragResizesWithinTheSmallestSize()
    {
        auto window = makeWindow();
        const QRect start = window->frameGeometry();
        hover(window.get(), {start.width() - 4, start.height() / 2});
        mouse(window.get(), QEvent::MouseButtonPress, {start.width() - 4, start.height() / 2}, Qt::LeftButton);
        mouse(window.get(), QEvent::MouseMove, {start.width() + 36, start.height() / 2}, Qt::LeftButton);
        QCOMPARE(window->frameGeometry().right(), start.left() + start.width() + 36);
        QCOMPARE(window->frameGeometry().left(), start.left());
        mouse(window.get(), QEvent::MouseButtonRelease, {start.width() + 36, start.height() / 2}, Qt::LeftButton);

        // Past the opposite edge the window stops at its smallest size, which
        // still has room for a line of text; that is what the move stores.
        const QRect wide = window->frameGeometry();
        const QSize smallest = window->smallestSize();
        QVERIFY(smallest.height() > QFontMetrics(window->configObject()->font()).height());
        hover(window.get(), {wide.width() - 3, wide.height() - 3});
        QCOMPARE(window->edgeUnderCursor(), MainWindow::BottomRight);
        mouse(window.get(), QEvent::MouseButtonPress, {wide.width() - 3, wide.height() - 3}, Qt::LeftButton);
        mouse(window.get(), QEvent::MouseMove, {-80, -50}, Qt::LeftButton);
        QCOMPARE(window->frameGeometry(), QRect(wide.topLeft(), smallest));
        mouse(window.get(), QEvent::MouseButtonRelease, {-80, -50}, Qt::LeftButton);
        hover(window.get(), {3, smallest.height() / 2});
        QCOMPARE(window->edgeUnderCursor(), MainWindow::Left);
        mouse(window.get(), QEvent::MouseButtonPress, {3, smallest.height() / 2}, Qt::LeftButton);
        mouse(window.get(), QEvent::MouseMove, {500, smallest.height() / 2}, Qt::LeftButton);
        QCOMPARE(window->frameGeometry(), QRect(wide.topLeft(), smallest)); // the right edge stays put
        mouse(window.get(), QEvent::MouseButtonRelease, {500, smallest.height() / 2}, Qt::LeftButton);
    }

    void aStoredRectangleLandsOnTheScreen_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::newRow("garbage") << "rect=nonsense";
        QTest::newRow("empty") << "rect=@Rect(0 0 0 0)";
        QTest::newRow("tiny") << "rect=@Rect(100 100 11 19)";
        QTest::newRow("far off") << "rect=@Rect(-32767 -32767 400 300)";
        QTest::newRow("beyond the right") << "rect=@Rect(50000 40 400 300)";
        QTest::newRow("larger than the screen") << "rect=@Rect(0 0 90000 90000)";
    }
    void aStoredRectangleLandsOnTheScreen()
    {
        QFETCH(QString, stored);
        QFile ini(iniPath());
        QVERIFY(ini.open(QIODevice::WriteOnly));
        ini.write("[window]\nrememberWin=true\n" + stored.toUtf8() + "\n");
        ini.close();
        MainWindow window;
        const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
        const QRect frame = window.frameGeometry();
        QVERIFY2(
            available.contains(frame),
            qPrintable(
                QStringLiteral("%1 %2 %3 %4").arg(frame.x()).arg(frame.y()).arg(frame.width()).arg(frame.height())));
        QVERIFY(frame.width() >= window.smallestSize().width() && frame.height() >= window.smallestSize().height());
    }

    void doubleClickAndWheelOptions()
    {
        auto window = makeWindow();
        window->openFile(writeBook(QStringLiteral("wheel.txt"), 60));
        settle(window.get());
        Reader *reader = window->readerObject();
        QMouseEvent doubleClick(QEvent::MouseButtonDblClick, QPointF(100, 100),
                                QPointF(window->mapToGlobal(QPoint(100, 100))), Qt::LeftButton, Qt::LeftButton,
                                Qt::NoModifier);
        QApplication::sendEvent(window.get(), &doubleClick);
        QVERIFY(window->isVisible());
        wheel(window.get(), {0, -120});
        QCOMPARE(reader->position(), 0);

        window->configObject()->setDoubleClickHide(true);
        window->configObject()->setWheelTurnPage(true);
        wheel(window.get(), {0, -120});
        const int second = reader->position();
        QVERIFY(second > 0);
        wheel(window.get(), {120, 0}); // a horizontal wheel turns back
        QCOMPARE(reader->position(), 0);
        QApplication::sendEvent(window.get(), &doubleClick);
        QVERIFY(!window->isVisible());
    }

    void backgroundAlphaAndTheHoverBoost_data()
    {
        QTest::addColumn<int>("translucent");
        QTest::addColumn<bool>("underCursor");
        QTest::addColumn<int>("alpha");
        QTest::newRow("0 away") << 0 << false << 0;
        QTest::newRow("0 under the cursor") << 0 << true << 15;
        QTest::newRow("5 under the cursor") << 5 << true << 28;
        QTest::newRow("5 away") << 5 << false << 12;
        QTest::newRow("60 under the cursor: no boost") << 60 << true << 153;
    }
    void backgroundAlphaAndTheHoverBoost()
    {
        QFETCH(int, translucent);
        QFETCH(bool, underCursor);
        QFETCH(int, alpha);
        auto window = makeWindow();
        window->configObject()->setTranslucent(translucent);
        QCursor::setPos(underCursor ? window->frameGeometry().center()
                                    : window->frameGeometry().bottomRight() + QPoint(50, 50));
        window->monitorCursor();
        QCOMPARE(window->backgroundBoost(), underCursor && translucent <= 5 ? 6 : 0);
        QImage image(window->size(), QImage::Format_ARGB32);
        image.fill(Qt::transparent);
        window->render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
        QCOMPARE(qAlpha(image.pixel(1, image.height() / 2)), alpha); // in the margin around the page
    }

    void wholeWindowOpacityAppliesAtStart()
    {
        {
            QSettings settings(iniPath(), QSettings::IniFormat);
            settings.setValue("window/bgType", 1);
            settings.setValue("window/translucent", 40);
        }
        auto window = makeWindow();
        QCOMPARE(window->windowOpacity(), 0.4);
        window->configObject()->setBgType(0);
        QCOMPARE(window->windowOpacity(), 1.0);
    }

    void anInvisibleWindowShowsUnderTheCursor()
    {
        {
            QSettings settings(iniPath(), QSettings::IniFormat);
            settings.setValue("window/bgType", 1);
            settings.setValue("window/translucent", 0);
        }
        auto window = makeWindow();
        QCOMPARE(window->windowOpacity(), 0.0);
        QCursor::setPos(window->frameGeometry().center());
        window->monitorCursor();
        QVERIFY(window->windowOpacity() > 0.1);
        QCursor::setPos(window->frameGeometry().bottomRight() + QPoint(50, 50));
        window->monitorCursor();
        QCOMPARE(window->windowOpacity(), 0.0);
    }

    void theBackgroundFollowsTheCompositor()
    {
        auto window = makeWindow();
        bool compositor = true;
        window->setCompositorProbe([&compositor] { return compositor; });
        window->configObject()->setTranslucent(40);
        auto alpha = [&window] {
            QImage image(window->size(), QImage::Format_ARGB32);
            image.fill(Qt::transparent);
            window->render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
            return qAlpha(image.pixel(1, image.height() / 2));
        };
        window->monitorCursor();
        QCOMPARE(alpha(), 102);
        compositor = false; // stopped: a translucent window would show black
        window->monitorCursor();
        QCOMPARE(alpha(), 255);
        compositor = true;
        window->monitorCursor();
        QCOMPARE(alpha(), 102);
    }

    void menuEntriesInOrder()
    {
        auto window = makeWindow();
        QTimer::singleShot(0, window.get(), [&] { window->menu()->close(); });
        window->showContextMenu();
        QStringList texts;
        for (QAction *action : window->menu()->actions()) {
            texts << (action->isSeparator() ? QStringLiteral("/") : action->text());
            QVERIFY(!action->isSeparator() || action->text().isEmpty()); // styles draw a separator's text
        }
        QCOMPARE(texts.join(QLatin1Char(' ')),
                 QStringLiteral("隐藏 / 打开文件 最近打开 关闭文件 编码 / 目录 书签 添加书签 查找 / 上一页 "
                                "下一页 上一章 下一章 跳转 自动翻页 / 设置 帮助 / 退出"));
        window->menu()->actions().at(4)->trigger(); // 关闭文件
        QVERIFY(!window->readerObject()->book()->hasText());
        window->menu()->actions().at(0)->trigger(); // 隐藏
        QVERIFY(!window->isVisible());
    }

    // A book read in another encoding keeps its place, and the choice is
    // remembered for the book. UTF-16 read in the wrong byte order keeps one
    // character per two bytes, but its line ends are no longer CR LF: the
    // place moves by the carriage returns before it.
    void anEncodingChosenForABookKeepsThePlace()
    {
        QString text;
        for (int i = 1; i <= 30; ++i)
            text += QStringLiteral("第%1章 风起\r\n\u3000\u3000天色将晚，江上起了风。\r\n").arg(i);
        const QString path = dir.filePath(QStringLiteral("utf16.txt"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(reinterpret_cast<const char *>(text.utf16()), text.size() * 2);
        file.close();
        auto window = makeWindow();
        window->configObject()->setBookEncoding(path, TextEncoding::Utf16Le);
        window->openFile(path);
        Reader *reader = window->readerObject();
        QVERIFY(reader->book()->text().startsWith(QStringLiteral("第1章 风起\n")));
        reader->jumpTo(reader->book()->text().indexOf(QStringLiteral("第7章")));
        const int place = reader->position();
        const int returns = text.left(text.indexOf(QStringLiteral("第7章"))).count(QLatin1Char('\r'));

        QTimer::singleShot(0, window.get(), [&] { window->menu()->close(); });
        window->showContextMenu();
        QMenu *encodings = window->menu()->actions().at(5)->menu();
        QVERIFY(encodings);
        emit encodings->aboutToShow();
        const QList<QAction *> choices = encodings->actions();
        QCOMPARE(choices.size(), 7);
        QVERIFY(choices.at(4)->isChecked()); // UTF-16LE, as chosen before
        choices.at(5)->trigger();            // UTF-16BE
        QCOMPARE(reader->position(), place + returns);
        QCOMPARE(window->configObject()->bookEncoding(path), TextEncoding::Utf16Be);
        choices.at(4)->trigger();
        QCOMPARE(reader->position(), place);
        choices.at(0)->trigger(); // automatic: the choice is forgotten
        QCOMPARE(QSettings(iniPath(), QSettings::IniFormat).value("content/encodings").toStringList(), QStringList());
    }

    // Pages turn by themselves until anything else happens, or the book ends.
    void automaticPageTurnsStopAtTheReadersNextMove()
    {
        auto window = makeWindow();
        window->configObject()->setAutoTurnSeconds(2);
        window->openFile(writeBook(QStringLiteral("auto.txt"), 60));
        settle(window.get());
        Reader *reader = window->readerObject();
        window->onHotkeyPressed(118);
        QVERIFY(window->isTurningPages());
        QTRY_VERIFY_WITH_TIMEOUT(reader->position() > 0, 3000);
        saveShot(window.get(), QStringLiteral("auto-turn.png"));
        window->onHotkeyPressed(118); // the same command again stops it
        QVERIFY(!window->isTurningPages());

        const std::function<void()> moves[] = {
            [&] { QTest::keyClick(window.get(), Qt::Key_K); }, // any key, even one without a command
            [&] {
                mouse(window.get(), QEvent::MouseButtonPress, {150, 100}, Qt::RightButton);
            },
            [&] { wheel(window.get(), QPoint(0, -120)); },
            [&] { window->onHotkeyPressed(7); },
            [&] { window->hide(); },
        };
        for (const auto &move : moves) {
            window->showWindow(true);
            QTimer::singleShot(0, window.get(), [&] {
                if (auto *menu = window->menu())
                    menu->close();
            });
            window->onHotkeyPressed(18);
            QVERIFY(window->isTurningPages());
            move();
            QVERIFY(!window->isTurningPages());
        }
        // At the end of the book it stops by itself.
        window->showWindow(true);
        while (reader->nextPage()) {
        }
        window->onHotkeyPressed(18);
        QTRY_VERIFY_WITH_TIMEOUT(!window->isTurningPages(), 3000);
    }

    void jumpAsksForAPlace()
    {
        auto window = makeWindow();
        window->openFile(writeBook(QStringLiteral("jump.txt"), 20));
        settle(window.get());
        Reader *reader = window->readerObject();
        reader->book()->waitForChapters();
        prompter->typed = QStringLiteral("5");
        window->onHotkeyPressed(19);
        QCOMPARE(reader->position(), reader->book()->chapter(4).offset);
        prompter->typed = QStringLiteral("120%");
        window->onHotkeyPressed(19);
        QCOMPARE(reader->position(), reader->book()->chapter(4).offset);
        QVERIFY(prompter->messages.last().startsWith(QStringLiteral("无法跳转到“120%”")));
        prompter->typed = QString(); // cancelled
        window->onHotkeyPressed(19);
        QCOMPARE(prompter->messages.size(), 1);
    }

    void recentBooksAreOfferedAndAGoneOneIsRemoved()
    {
        auto window = makeWindow();
        const QString kept = writeBook(QStringLiteral("kept.txt"), 3);
        const QString gone = writeBook(QStringLiteral("gone.txt"), 3);
        window->openFile(gone);
        window->openFile(kept);
        QFile::remove(gone);
        QTimer::singleShot(0, window.get(), [&] { window->menu()->close(); });
        window->showContextMenu();
        QMenu *recent = window->menu()->actions().at(3)->menu();
        QVERIFY(recent);
        recent->popup(QPoint(0, 0));
        const QList<QAction *> books = recent->actions();
        QCOMPARE(books.size(), 2);
        QCOMPARE(books.at(0)->text(), QStringLiteral("kept"));
        QCOMPARE(books.at(0)->toolTip(), dir.path());
        QVERIFY(books.at(0)->isEnabled());
        QVERIFY(!books.at(1)->isEnabled()); // greyed out
        const QPoint at = recent->actionGeometry(books.at(1)).center();
        QMouseEvent release(QEvent::MouseButtonRelease, at, Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(recent, &release);
        QTRY_COMPARE(window->configObject()->fileHistory(), QStringList{kept});
        QCOMPARE(prompter->messages, QStringList{"“" + gone + "”已不存在，已从最近打开中移除"});
        QCOMPARE(window->readerObject()->book()->path(), kept);
    }

    void aDroppedFileOpens()
    {
        auto window = makeWindow();
        const QString first = writeBook(QStringLiteral("dropped.txt"), 3);
        const QString second = writeBook(QStringLiteral("second.txt"), 3);
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(first), QUrl::fromLocalFile(second)});
        QDragEnterEvent enter(QPoint(50, 50), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(window.get(), &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(QPointF(50, 50), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(window.get(), &drop);
        QTRY_COMPARE(window->readerObject()->book()->path(), first);
        QCOMPARE(window->configObject()->fileHistory(), QStringList{first});
    }

    void theProgressLineIsPainted()
    {
        auto window = makeWindow();
        window->configObject()->setShowProgress(true);
        window->openFile(writeBook(QStringLiteral("progress.txt"), 40));
        settle(window.get());
        window->readerObject()->jumpTo(window->readerObject()->book()->length() / 3);
        const QImage shot = saveShot(window.get(), QStringLiteral("progress.png"));
        const QRect page = window->configObject()->pageRect();
        int ink = 0;
        for (int y = page.bottom() - 8; y <= page.bottom(); ++y)
            for (int x = page.left(); x < page.left() + 100; ++x)
                ink += shot.pixelColor(x, y) != shot.pixelColor(page.right() - 1, page.bottom());
        QVERIFY(ink > 20);
    }

    void boundaryMessages()
    {
        auto window = makeWindow();
        for (int id : {7, 8, 16, 17, 107, 108, 116, 117})
            window->onHotkeyPressed(id);
        QCOMPARE(prompter->messages, (QStringList{"已是首页", "已是末页", "已是第一章", "已是最后一章", "已是首页",
                                                  "已是末页", "已是第一章", "已是最后一章"}));
        prompter->messages.clear();
        window->openFile(writeBook(QStringLiteral("nav.txt"), 3));
        window->onHotkeyPressed(7);
        window->onHotkeyPressed(5);
        QCOMPARE(prompter->messages, (QStringList{"已是首页", "书签添加成功"}));
        QCOMPARE(window->readerObject()->book()->bookmarks().size(), 2);
    }

    void dialogCommandsRunTheirDialogsAndJump()
    {
        auto window = makeWindow();
        window->openFile(writeBook(QStringLiteral("dialogs.txt"), 20));
        window->readerObject()->book()->waitForChapters();
        QApplication::processEvents();
        const int chapter5 = window->readerObject()->book()->chapter(4).offset;
        QStringList opened;
        QTimer::singleShot(50, window.get(), [&] {
            auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
            opened << (dialog ? dialog->objectName() : QString());
            if (auto *view = dialog ? dialog->findChild<QAbstractItemView *>() : nullptr)
                view->setCurrentIndex(view->model()->index(4, 0));
            if (auto *jump = dialog ? dialog->findChild<QPushButton *>(QStringLiteral("btn_jump")) : nullptr)
                jump->click();
        });
        window->onHotkeyPressed(103);
        QCOMPARE(opened, QStringList{"ContentsDialog"});
        QCOMPARE(window->readerObject()->position(), chapter5);
        for (int id : {4, 106}) {
            QTimer::singleShot(50, window.get(), [&] {
                auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
                opened << (dialog ? dialog->objectName() : QString());
                if (dialog)
                    dialog->reject();
            });
            window->onHotkeyPressed(id);
        }
        QCOMPARE(opened, (QStringList{"ContentsDialog", "BookMarkDialog", "FindDialog"}));
        QCOMPARE(window->readerObject()->position(), chapter5); // rejected: no jump
        QVERIFY(!QApplication::activeModalWidget());
    }

    void windowCommands()
    {
        auto window = makeWindow();
        window->onHotkeyPressed(115);
        QVERIFY(window->isVisible());
        window->onHotkeyPressed(109);
        QVERIFY(!window->isVisible());
        window->onHotkeyPressed(10);
        QVERIFY(window->isVisible());
        window->move(0, 0);
        window->onHotkeyPressed(111);
        const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
        QCOMPARE(window->pos(),
                 QPoint(available.center().x() - window->width() / 2, available.center().y() - window->height() / 2));
        window->onHotkeyPressed(113);
        auto *preferences = window->findChild<QDialog *>(QStringLiteral("PreferenceDialog"));
        QVERIFY(preferences && preferences->isVisible());
        QCOMPARE(preferences->windowFlags() & Qt::WindowType_Mask, Qt::Dialog);
        preferences->hide();
        window->onHotkeyPressed(13);
        QCOMPARE(window->findChildren<QDialog *>(QStringLiteral("PreferenceDialog")).size(), 1); // kept, shown again
        QVERIFY(preferences->isVisible());
        window->onHotkeyPressed(14);
        QCOMPARE(prompter->urls.size(), 1);
        QVERIFY(prompter->urls.first().startsWith(QLatin1String("http://")));
        QVERIFY(prompter->urls.first().endsWith(QLatin1String("/?id=596")));
        window->onHotkeyPressed(15);
        QVERIFY(!window->isVisible());
    }

    void openFileCommandAndHistory()
    {
        auto window = makeWindow();
        const QString path = writeBook(QStringLiteral("open.txt"), 5);
        prompter->answer = path;
        window->onHotkeyPressed(101);
        QCOMPARE(prompter->asked.value(0), QStringLiteral("选择文件"));
        QCOMPARE(prompter->asked.value(2), QStringLiteral("文本文件 (*.txt);;所有文件 (*)"));
        QVERIFY(window->readerObject()->book()->hasText());
        window->onHotkeyPressed(1);
        QCOMPARE(prompter->asked.value(4), path); // the dialog starts at the last file
        QCOMPARE(window->configObject()->fileHistory(), QStringList{path});

        prompter->answer.clear(); // cancelled
        window->onHotkeyPressed(1);
        QVERIFY(prompter->messages.isEmpty());

        prompter->answer = dir.filePath(QStringLiteral("gone.txt"));
        window->onHotkeyPressed(1);
        QCOMPARE(prompter->messages, QStringList{"无法打开文件：找不到“" + prompter->answer + "”"});
        QCOMPARE(window->readerObject()->book()->path(), path);             // the open book stays
        QCOMPARE(window->configObject()->fileHistory(), QStringList{path}); // and a failure is no history
    }

    void openingSaysWhy_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("reason");
        QTest::newRow("a folder") << "folder.txt"
                                  << "无法打开文件：“%1”是一个文件夹";
        QTest::newRow("a pipe") << "pipe.txt"
                                << "无法打开文件：“%1”不是普通文件";
        QTest::newRow("too large") << "huge.txt"
                                   << "无法打开文件：“%1”大于 1 GiB";
    }
    void openingSaysWhy()
    {
        QFETCH(QString, name);
        QFETCH(QString, reason);
        const QString path = dir.filePath(name);
        QDir().mkpath(dir.filePath(QStringLiteral("folder.txt")));
        mkfifo(QFile::encodeName(dir.filePath(QStringLiteral("pipe.txt"))).constData(), 0600);
        QFile huge(dir.filePath(QStringLiteral("huge.txt")));
        QVERIFY(huge.open(QIODevice::WriteOnly) && huge.resize(Book::MaxFileSize + 1));
        huge.close();
        auto window = makeWindow();
        window->openFile(path);
        QCOMPARE(prompter->messages, QStringList{reason.arg(path)});
        QVERIFY(window->configObject()->fileHistory().isEmpty());
        QVERIFY(!window->readerObject()->book()->isOpen());
    }

    void aFileThatIsNotTextIsOpenedOnlyWhenConfirmed()
    {
        const QString path = dir.filePath(QStringLiteral("picture.png"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR\0\0\0\x10", 20));
        file.close();
        auto window = makeWindow();
        prompter->agree = false;
        window->openFile(path);
        QCOMPARE(prompter->questions.size(), 1);
        QVERIFY(!window->readerObject()->book()->isOpen());
        QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("picture.png.bmk"))));
        prompter->agree = true;
        window->openFile(path);
        QVERIFY(window->readerObject()->book()->isOpen());
    }

    void aRelativePathIsRememberedAbsolute()
    {
        const QString path = writeBook(QStringLiteral("relative.txt"), 3);
        const QString before = QDir::currentPath();
        QDir::setCurrent(dir.path());
        auto window = makeWindow();
        window->openFile(QStringLiteral("relative.txt"));
        QDir::setCurrent(before);
        QCOMPARE(window->configObject()->lastFile(), path);
    }

    void commandsActOnlyOnTheBookTheyWereFor()
    {
        QTemporaryDir here;
        const QString before = QDir::currentPath();
        QDir::setCurrent(here.path());
        {
            auto never = makeWindow();
            never->onHotkeyPressed(105);
            QCOMPARE(prompter->messages, QStringList{"请先打开一本书"});
        }
        QDir::setCurrent(before);
        QVERIFY(QDir(here.path()).entryList(QDir::Files).isEmpty()); // no stray ".bmk"

        auto window = makeWindow();
        const QString path = writeBook(QStringLiteral("closing.txt"), 40);
        window->openFile(path);
        const QString bmk = dir.filePath(QStringLiteral("closing.bmk"));
        window->onHotkeyPressed(2);
        QFile file(bmk);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray stored = file.readAll();
        file.close();
        window->onHotkeyPressed(5);
        QCOMPARE(prompter->messages.last(), QStringLiteral("请先打开一本书"));

        // A dialog that outlives its book (closed by a global key meanwhile)
        // closes, and its answer is not applied to anything.
        for (int dialog : {4, 6, 3}) {
            window->openFile(path);
            QTimer::singleShot(50, window.get(), [&] { window->onHotkeyPressed(102); });
            QTimer::singleShot(400, window.get(), [] {
                if (auto *open = QApplication::activeModalWidget())
                    static_cast<QDialog *>(open)->accept(); // a jump, were it still open
            });
            window->onHotkeyPressed(dialog);
            QVERIFY(!window->readerObject()->book()->isOpen());
            QVERIFY(!QApplication::activeModalWidget());
        }
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), stored);
    }

    void aPlaceThatCannotBeSavedIsToldOnceAndTriedAgain()
    {
        auto window = makeWindow();
        window->openFile(writeBook(QStringLiteral("full.txt"), 80));
        settle(window.get());
        {
            const FileSizeLimit disk(16);
            for (int i = 0; i < 3; ++i)
                window->onHotkeyPressed(8);
            window->readerObject()->book()->flushBookmarks();
            window->onHotkeyPressed(5);
            QTRY_COMPARE(prompter->messages.size(), 2);
        }
        QVERIFY(prompter->messages.at(0).startsWith(QStringLiteral("书签添加失败：")));
        QVERIFY(prompter->messages.at(1).startsWith(QStringLiteral("无法保存《full》的阅读位置和书签：")));
        const int position = window->readerObject()->position();
        window->onHotkeyPressed(7);
        window->onHotkeyPressed(8);
        window->readerObject()->book()->flushBookmarks();
        QApplication::processEvents();
        QCOMPARE(prompter->messages.size(), 2);
        Book saved;
        QVERIFY(saved.open(dir.filePath(QStringLiteral("full.txt"))));
        QCOMPARE(saved.lastReadOffset(), position);
    }

    void reopensTheLastFileSilently()
    {
        const QString path = writeBook(QStringLiteral("last.txt"), 40);
        {
            QSettings settings(iniPath(), QSettings::IniFormat);
            settings.setValue("window/openLastFile", true);
            settings.setValue("fileHistory", QStringList{path});
        }
        MainWindow window;
        QCOMPARE(window.readerObject()->book()->path(), path);
        QFile::remove(path);
        MainWindow missing; // gone since: starts empty, says nothing
        QVERIFY(!missing.readerObject()->book()->hasText());
    }

    void theUpdateCheckAtStartCanBeTurnedOff_data()
    {
        QTest::addColumn<bool>("check");
        QTest::newRow("on") << true;
        QTest::newRow("off") << false;
    }
    void theUpdateCheckAtStartCanBeTurnedOff()
    {
        QFETCH(bool, check);
        QSettings(iniPath(), QSettings::IniFormat).setValue("update/checkAtStart", check);
        auto window = makeWindow();
        window->repaint();
        QApplication::processEvents();
        QCOMPARE(window->findChild<QNetworkReply *>() != nullptr, check);
    }

    void forcedUpdateClosesTheWindow_data()
    {
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<bool>("closes");
        QTest::newRow("forced") << QByteArray(R"({"versionCode": 9, "versionName": "3.0", "force": true})") << true;
        QTest::newRow("newer") << QByteArray(R"({"versionCode": 9, "versionName": "3.0", "force": false})") << false;
    }
    void forcedUpdateClosesTheWindow()
    {
        QFETCH(QByteArray, answer);
        QFETCH(bool, closes);
        OneAnswerServer server(answer);
        auto window = makeWindow();
        window->repaint(); // the window's own check starts after its first paint
        QApplication::processEvents();
        auto *dialog = window->findChild<WhatsNewDlg *>();
        QVERIFY(dialog);
        dialog->checkUpdate(server.url(), false);
        QTRY_VERIFY(dialog->isVisible());
        QVERIFY(window->isVisible());
        dialog->reject();
        QCOMPARE(window->isVisible(), !closes);
    }

private:
    QTemporaryDir dir;
    AnsweringPrompter *prompter = nullptr;
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
