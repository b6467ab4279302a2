#include "FileSizeLimit.h"
#include "HotKeyManager.h"
#include "MainWindow.h"
#include "Prompter.h"
#include "Reader.h"
#include "ReaderConfig.h"
#include "ReaderFiles.h"
#include "WhatsNewDlg.h"

#include <QNetworkReply>
#include <QtTest>
#include <QtWidgets>

#include <sys/stat.h>

namespace {

// Answers for the window instead of a person, and remembers what was asked.
struct AnsweringPrompter : Prompter
{
    void information(QWidget *, const QString &text) override { told << text; }
    bool question(QWidget *, const QString &text) override { return (told << text, agree); }
    QString text(QWidget *, const QString &, const QString &) override { return typed; }
    QString openFileName(QWidget *, const QString &caption, const QString &start, const QString &filter) override
    {
        return (asked << caption << start << filter, typed);
    }
    void openUrl(const QUrl &url) override { told << url.toString(); }
    QStringList told, asked;
    bool agree = false;
    QString typed; // null: cancelled
};

void mouse(QWidget *window, QEvent::Type type, const QPoint &at, Qt::MouseButton button = Qt::LeftButton)
{
    QHoverEvent hover(type, at, at);
    QMouseEvent event(type, at, window->mapToGlobal(at), button,
                      type == QEvent::MouseButtonRelease ? Qt::NoButton : button, Qt::NoModifier);
    QApplication::sendEvent(window, type == QEvent::HoverMove ? static_cast<QEvent *>(&hover) : &event);
}

void drag(QWidget *window, const QPoint &from, const QPoint &to)
{
    for (auto type : {QEvent::HoverMove, QEvent::MouseButtonPress, QEvent::MouseMove, QEvent::MouseButtonRelease})
        mouse(window, type, type == QEvent::HoverMove || type == QEvent::MouseButtonPress ? from : to);
}

// Runs the command called `name`, as its key or menu entry would.
void run(MainWindow *window, const char *name)
{
    window->onHotkeyPressed(CommandTable::byName(QLatin1String(name))->command);
}

void wheel(QWidget *window, const QPoint &delta = {0, -120})
{
    QWheelEvent event(QPointF(20, 20), QPointF(window->mapToGlobal(QPoint(20, 20))), QPoint(), delta, Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(window, &event);
}

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    AnsweringPrompter *prompter = nullptr;

    QString book(const QString &name, int chapters = 40)
    {
        return writeChapters(dir.filePath(name), chapters, "GBK") ? dir.filePath(name) : QString();
    }
    // A shown window with the book at `path` laid out for its text area.
    std::unique_ptr<MainWindow> makeWindow(const QString &path = QString())
    {
        std::unique_ptr<MainWindow> window(new MainWindow);
        window->setPrompter(prompter = new AnsweringPrompter);
        window->resize(300, 200);
        window->show();
        if (!QTest::qWaitForWindowExposed(window.get()))
            qWarning("window not exposed");
        window->openFile(path);
        window->repaint();
        window->refreshAndPaint();
        return window;
    }
    // The context menu's submenu at `index`, as it shows.
    static QMenu *submenu(MainWindow *window, int index)
    {
        QTimer::singleShot(0, window, [window] { window->menu()->close(); });
        window->showContextMenu();
        QMenu *menu = window->menu()->actions().at(index)->menu();
        emit menu->aboutToShow();
        return menu;
    }

private slots:
    void init() { QFile::remove(iniPath()); }
    void cleanupTestCase() { QFile::remove(iniPath()); }

    // From keys, global keys and the menu; no stray ".bmk" without a book; a relative path is stored absolute.
    void messagesAtTheBoundsAndWithoutABook()
    {
        QTemporaryDir here;
        const QString before = QDir::currentPath();
        QDir::setCurrent(here.path());
        auto window = makeWindow();
        for (const char *name :
             {"previous-page", "next-page", "previous-chapter", "next-chapter", "previous-page", "next-page",
              "previous-chapter", "next-chapter", "add-bookmark", "add-bookmark", "auto-turn", "jump"})
            run(window.get(), name);
        for (const char *name : {"contents", "bookmarks"}) { // no empty dialog titled "目录 -《》"
            run(window.get(), name);
            QCOMPARE(prompter->told.takeLast(), QStringLiteral("请先打开一本书"));
        }
        submenu(window.get(), 3);
        const QStringList commands = QStringLiteral("上一页 下一页 上一章 下一章 添加书签 自动翻页 跳转").split(' ');
        for (QAction *action : window->menu()->actions()) {
            QVERIFY(!action->isSeparator() || action->text().isEmpty());
            if (commands.contains(action->text()))
                action->trigger();
        }
        const QStringList bounds = {"已是首页", "已是末页", "已是第一章", "已是最后一章"};
        const QString noBook = QStringLiteral("请先打开一本书");
        const QStringList noBooks = {noBook, noBook, noBook, noBook};
        QCOMPARE(prompter->told, bounds + bounds + noBooks + noBooks.mid(3) + bounds + noBooks.mid(2));
        QVERIFY(QDir(here.path()).entryList(QDir::Files).isEmpty());
        QVERIFY(writeChapters(here.filePath(QStringLiteral("nav.txt")), 3));
        window->openFile(QStringLiteral("nav.txt"));
        QDir::setCurrent(before);
        QCOMPARE(window->configObject()->lastFile(), here.filePath(QStringLiteral("nav.txt")));
        for (const char *name : {"previous-page", "add-bookmark", "close", "add-bookmark"})
            run(window.get(), name);
        QCOMPARE(prompter->told.mid(19), (QStringList{"已是首页", "书签添加成功", noBook}));
        window->openFile(here.filePath(QStringLiteral("nav.txt")));
        QCOMPARE(window->readerObject()->book()->bookmarks().size(), 2);
    }

    void openingSaysWhy_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("reason");
        QTest::newRow("missing") << QString("gone.txt") << QString("无法打开文件：找不到“%1”");
        QTest::newRow("a folder") << QString("folder.txt") << QString("无法打开文件：“%1”是一个文件夹");
        QTest::newRow("a pipe") << QString("pipe.txt") << QString("无法打开文件：“%1”不是普通文件");
        QTest::newRow("too large") << QString("huge.txt") << QString("无法打开文件：“%1”大于 1023 MiB");
        QTest::newRow("not text") << QString("picture.png") << QString("“%1”看起来不是文本文件，仍要打开吗？");
    }
    // The open book stays, one not opened is no history; a file that is not text opens when confirmed.
    void openingSaysWhy()
    {
        QFETCH(QString, name);
        QFETCH(QString, reason);
        QDir().mkpath(dir.filePath(QStringLiteral("folder.txt")));
        mkfifo(QFile::encodeName(dir.filePath(QStringLiteral("pipe.txt"))).constData(), 0600);
        QFile huge(dir.filePath(QStringLiteral("huge.txt")));
        QVERIFY(huge.open(QIODevice::WriteOnly));
        QVERIFY(huge.resize(qint64(1) << 30)); // exactly 1 GiB: refused unread
        writeFile(dir.filePath("picture.png"), QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR\0\0\0\x10", 20));
        const QString kept = book(QStringLiteral("kept.txt"));
        const QString path = dir.filePath(name);
        auto window = makeWindow(kept);
        window->openFile(path);
        QCOMPARE(prompter->told, QStringList{reason.arg(path)});
        QCOMPARE(window->readerObject()->book()->path(), kept);
        QCOMPARE(window->configObject()->fileHistory(), QStringList{kept});
        QCOMPARE(QDir(dir.path()).entryList({"*.bmk"}), QStringList{"kept.bmk"});
        prompter->agree = true;
        window->openFile(path);
        QCOMPARE(window->readerObject()->book()->path() == path, name == QLatin1String("picture.png"));
    }

    // Another encoding keeps the place (less the CRs before it, no line ends in UTF-16's wrong byte order) and stays.
    void anEncodingChosenForABookKeepsThePlace()
    {
        QString text;
        for (int i = 1; i <= 30; ++i)
            text += QStringLiteral("第%1章 风起\r\n\u3000\u3000天色将晚，江上起了风。\r\n").arg(i);
        const QString path = dir.filePath(QStringLiteral("utf16.txt"));
        writeFile(path, QByteArray(reinterpret_cast<const char *>(text.utf16()), text.size() * 2));
        auto window = makeWindow();
        window->configObject()->setBookEncoding(path, TextEncoding::Utf16Le);
        window->openFile(path);
        Reader *reader = window->readerObject();
        QVERIFY(reader->book()->text().startsWith(QStringLiteral("第1章 风起\n")));
        reader->session()->jumpTo(reader->book()->text().indexOf(QStringLiteral("第7章")));
        const int place = reader->position();
        const int returns = text.left(text.indexOf(QStringLiteral("第7章"))).count(QLatin1Char('\r'));
        const QList<QAction *> choices = submenu(window.get(), 5)->actions();
        QCOMPARE(choices.size(), 7);
        QVERIFY(choices.at(4)->isChecked()); // UTF-16LE, as chosen before
        choices.at(5)->trigger();            // UTF-16BE
        QCOMPARE(reader->position(), place + returns);
        QCOMPARE(iniValue("content/encodings").toString(), "utf-16be|" + path);
        choices.at(4)->trigger();
        QCOMPARE(reader->position(), place);
        choices.at(0)->trigger(); // automatic: the choice is forgotten
        QCOMPARE(iniValue("content/encodings").toStringList(), QStringList());
    }

    // Pages turn by themselves until anything else happens, or the book ends.
    void automaticPageTurnsStopAtTheReadersNextMove()
    {
        auto window = makeWindow();
        window->configObject()->setAutoTurnSeconds(2);
        window->openFile(book(QStringLiteral("auto.txt"), 60));
        run(window.get(), "auto-turn");
        QTRY_VERIFY_WITH_TIMEOUT(window->readerObject()->position() > 0, 3000);
        run(window.get(), "auto-turn"); // the same command again stops it
        QVERIFY(!window->isTurningPages());
        const std::function<void()> moves[] = {
            [&] { QTest::keyClick(window.get(), Qt::Key_K); }, // any key, even one without a command
            [&] {
                mouse(window.get(), QEvent::MouseButtonPress, {150, 100}, Qt::RightButton);
            },
            [&] { wheel(window.get()); }, [&] { run(window.get(), "previous-page"); }, [&] { window->hide(); }};
        for (const auto &move : moves) {
            window->showWindow(true);
            run(window.get(), "auto-turn");
            QTimer::singleShot(0, window.get(), [&] {
                if (window->menu())
                    window->menu()->close();
            });
            QVERIFY(window->isTurningPages());
            move();
            QVERIFY(!window->isTurningPages());
        }
        window->showWindow(true);
        while (window->readerObject()->session()->nextPage()) {
        }
        run(window.get(), "auto-turn");
        QTRY_VERIFY_WITH_TIMEOUT(!window->isTurningPages(), 3000);
    }

    void jumpAsksForAPlace()
    {
        auto window = makeWindow(book(QStringLiteral("jump.txt"), 20));
        Reader *reader = window->readerObject();
        reader->book()->waitForChapters();
        for (const QString &typed : {QStringLiteral("5"), QStringLiteral("120%"), QString()}) {
            prompter->typed = typed;
            run(window.get(), "jump");
            QCOMPARE(reader->position(), reader->book()->chapter(4).offset);
        }
        QCOMPARE(prompter->told.size(), 1);
        QVERIFY(prompter->told.last().startsWith(QStringLiteral("无法跳转到“120%”")));
    }

    // The file dialog starts at the last book (cancelled, nothing happens); the first file dropped opens; a recent
    // book gone since is greyed out and, clicked, removed with a word.
    void booksFromTheDialogADropAndTheRecentList()
    {
        auto window = makeWindow();
        const QString path = prompter->typed = book(QStringLiteral("open.txt"));
        run(window.get(), "open");
        prompter->typed = QString();
        run(window.get(), "open");
        const QString caption = QStringLiteral("选择文件"), filter = QStringLiteral("文本文件 (*.txt);;所有文件 (*)");
        QCOMPARE(prompter->asked, (QStringList{caption, QString(), filter, caption, path, filter}));
        QCOMPARE(window->readerObject()->book()->path(), path);
        QMimeData data;
        const QString dropped = book(QStringLiteral("dropped.txt"));
        data.setUrls({QUrl::fromLocalFile(dropped), QUrl::fromLocalFile(book(QStringLiteral("second.txt")))});
        QDragEnterEvent enter(QPoint(50, 50), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QDropEvent drop(QPointF(50, 50), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(window.get(), &enter);
        QApplication::sendEvent(window.get(), &drop);
        QVERIFY(enter.isAccepted());
        QTRY_COMPARE(window->configObject()->fileHistory(), (QStringList{dropped, path}));
        QFile::remove(path);
        QMenu *recent = submenu(window.get(), 3);
        recent->popup(QPoint(0, 0));
        const QList<QAction *> books = recent->actions();
        QCOMPARE(books.size(), 2);
        QCOMPARE(books.at(0)->text(), QStringLiteral("dropped"));
        QVERIFY(books.at(0)->isChecked()); // the book open now
        QVERIFY(books.at(0)->toolTip() == dir.path());
        QVERIFY(books.at(0)->isEnabled());
        QVERIFY(!books.at(1)->isEnabled()); // greyed out, yet takes a click
        mouse(recent, QEvent::MouseButtonRelease, recent->actionGeometry(books.at(1)).center());
        QTRY_COMPARE(window->configObject()->fileHistory(), QStringList{dropped});
        QCOMPARE(prompter->told, QStringList{"“" + path + "”已不存在，已从最近打开中移除"});
        QCOMPARE(window->readerObject()->book()->path(), dropped);
    }

    // Volumes of one title differ after their first dot; the list shows the whole name less ".txt".
    void recentBooksShowTheirWholeName()
    {
        auto window = makeWindow();
        for (const QString &name : {QStringLiteral("斗罗大陆.第一部.txt"), QStringLiteral("斗罗大陆.第二部.TXT")})
            window->openFile(book(name));
        QStringList names;
        for (QAction *action : submenu(window.get(), 3)->actions())
            names << action->text() + (action->isChecked() ? "*" : "");
        QCOMPARE(names, (QStringList{"斗罗大陆.第二部*", "斗罗大陆.第一部"}));
    }

    // A font too large for one line: the open book still shows its text, pages still turn, the window never grows
    // past the screen.
    void aHugeFontStillShowsTheBook()
    {
        auto window = makeWindow(book(QStringLiteral("huge font.txt")));
        window->configObject()->setFont(QFont(QStringLiteral("Noto Sans CJK SC"), 288));
        const QSize screen = window->windowHandle()->screen()->availableGeometry().size();
        QVERIFY2(window->minimumWidth() <= screen.width() && window->minimumHeight() <= screen.height(),
                 qPrintable(QStringLiteral("%1x%2").arg(window->minimumWidth()).arg(window->minimumHeight())));
        QVERIFY(window->width() <= screen.width());
        QVERIFY(window->readerObject()->pageShowsText());
        run(window.get(), "next-page");
        QCOMPARE(prompter->told, QStringList()); // no false "已是末页"
        QVERIFY(window->readerObject()->position() > 0);
    }

    // The menu shows each command's key as it is now; 自动 says what it chose.
    void theMenuShowsKeysAndTheEncodingChosen()
    {
        auto window = makeWindow(book(QStringLiteral("keys.txt")));
        const auto keyOf = [&window](const QString &text) {
            submenu(window.get(), 5); // shows the menu, and with it the keys
            for (QAction *action : window->menu()->actions())
                if (action->text() == text)
                    return action->shortcut().toString(QKeySequence::PortableText);
            return QStringLiteral("(none)");
        };
        QCOMPARE(keyOf(QStringLiteral("下一页")), QStringLiteral("Right"));
        QVERIFY(window->hotKeys()->setHotKey(Command::NextPage, KeyScope::InApp, QStringLiteral("J"), false));
        QCOMPARE(keyOf(QStringLiteral("下一页")), QStringLiteral("J"));
        QCOMPARE(keyOf(QStringLiteral("退出")), QString());
        QCOMPARE(submenu(window.get(), 5)->actions().first()->text(), QStringLiteral("自动（GBK）"));
    }

    // A notice that would come at every start (a bookmark file that is not one, a folder that cannot be
    // written) comes once for each book, in this session and the next.
    void aNoticeForABookComesOnce()
    {
        const QString path = book(QStringLiteral("noticed.txt"));
        writeFile(dir.filePath(QStringLiteral("noticed.bmk")), "Chapter 1 of another story\n");
        for (int session = 0; session < 2; ++session) {
            auto window = makeWindow(path);
            window->openFile(path);
            QTRY_COMPARE_WITH_TIMEOUT(prompter->told.size(), 1 - session, 1000);
            QTest::qWait(50);
            QCOMPARE(prompter->told.size(), 1 - session);
        }
        QVERIFY(readFile(dir.filePath(QStringLiteral("noticed.bmk"))).startsWith("Chapter 1"));
    }

    // Asked for again while it is open (its key, from the desktop), a dialog comes to the front: one of each.
    void anOpenDialogComesForward()
    {
        auto window = makeWindow(book(QStringLiteral("twice.txt")));
        int open = -1;
        QTimer::singleShot(100, window.get(), [&] {
            run(window.get(), "contents");
            open = 0;
            for (QWidget *widget : QApplication::topLevelWidgets())
                open += widget->objectName() == QLatin1String("ContentsDialog") && widget->isVisible();
            QApplication::activeModalWidget()->close();
        });
        run(window.get(), "contents");
        QCOMPARE(open, 1);
    }

    // Clicks, the wheel and double clicks act when chosen; a drag moves the window (stored), its edges size it.
    void theMouse()
    {
        auto window = makeWindow(book(QStringLiteral("mouse.txt"), 60));
        ReaderConfig *config = window->configObject();
        Reader *reader = window->readerObject();
        wheel(window.get());
        mouse(window.get(), QEvent::MouseButtonDblClick, {100, 100});
        QVERIFY(window->isVisible());
        QVERIFY(reader->position() == 0);
        config->setClickNextPage(true);
        config->setWheelTurnPage(true);
        const QPoint before = window->pos();
        drag(window.get(), {150, 100}, {153, 101});
        QCOMPARE(window->pos(), before + QPoint(3, 1));
        QCOMPARE(iniValue("window/rect").toRect().topLeft(), window->pos());
        QCOMPARE(reader->position(), 0);
        mouse(window.get(), QEvent::MouseButtonPress, {150, 100});
        mouse(window.get(), QEvent::MouseButtonRelease, {150, 100});
        const int second = reader->position();
        wheel(window.get());
        const int third = reader->position();
        wheel(window.get(), {120, 0}); // a horizontal wheel turns back
        QVERIFY(second > 0);
        QVERIFY(third > second);
        QVERIFY(reader->position() < third);

        const int w = window->width(), h = window->height();
        const QRect start = window->frameGeometry();
        drag(window.get(), {w - 4, h / 2}, {w + 36, h / 2});
        QCOMPARE(window->frameGeometry(), start.adjusted(0, 0, 37, 0));
        QCOMPARE(iniValue("window/rect").toRect(), window->geometry()); // a resize is stored as a move is
        const QRect wide = window->frameGeometry();
        drag(window.get(), {3, 3}, {w + 500, h + 500}); // past the opposite corner: that one stays
        const QSize least = window->smallestSize();
        QCOMPARE(window->frameGeometry(),
                 QRect(wide.bottomRight() - QPoint(least.width() - 1, least.height() - 1), wide.bottomRight()));
        QVERIFY(window->smallestSize().height() > QFontMetrics(config->font()).height());
        config->setDoubleClickHide(true);
        mouse(window.get(), QEvent::MouseButtonDblClick, {10, 10});
        QVERIFY(!window->isVisible());
    }

    // The margin's alpha and the window's opacity for the background, the cursor and a compositor.
    void theBackground_data()
    {
        QTest::addColumn<QList<int>>("given"); // bgType, translucent, under the cursor, compositor
        QTest::addColumn<int>("alpha");
        QTest::addColumn<int>("opacity");
        QTest::newRow("faint, away") << QList<int>{0, 5, 0, 1} << 12 << 100;
        QTest::newRow("faint, under the cursor: lifted") << QList<int>{0, 5, 1, 1} << 28 << 100;
        QTest::newRow("invisible, under the cursor") << QList<int>{0, 0, 1, 1} << 15 << 100;
        QTest::newRow("60, under the cursor: as it is") << QList<int>{0, 60, 1, 1} << 153 << 100;
        QTest::newRow("no compositor: opaque, not black") << QList<int>{0, 40, 0, 0} << 255 << 100;
        QTest::newRow("whole window, from the start") << QList<int>{1, 40, 0, 1} << 255 << 40;
        QTest::newRow("whole window invisible, away") << QList<int>{1, 0, 0, 1} << 255 << 0;
        QTest::newRow("whole window invisible, under the cursor") << QList<int>{1, 0, 1, 1} << 255 << 15;
    }
    void theBackground()
    {
        QFETCH(QList<int>, given);
        storeSettings(iniPath(), {{"window/bgType", given[0]}, {"window/translucent", given[1]}});
        auto window = makeWindow();
        window->setCompositorProbe([&given] { return given[3] != 0; });
        QCursor::setPos(given[2] ? window->frameGeometry().center() : window->frameGeometry().bottomRight() * 2);
        window->monitorCursor();
        QTEST(qRound(window->windowOpacity() * 100), "opacity");
        QImage image(window->size(), QImage::Format_ARGB32);
        image.fill(Qt::transparent);
        window->render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
        QTEST(qAlpha(image.pixel(1, image.height() / 2)), "alpha");
    }

    void windowCommands()
    {
        auto window = makeWindow();
        for (const auto &step : QList<QPair<const char *, bool>>{
                 {"hide", false}, {"show", true}, {"toggle", false}, {"toggle", true}, {"toggle", false}}) {
            run(window.get(), step.first);
            QCOMPARE(window->isVisible(), step.second);
        }
        run(window.get(), "toggle");
        window->move(0, 0);
        run(window.get(), "center");
        const QPoint middle = QGuiApplication::primaryScreen()->availableGeometry().center();
        QCOMPARE(window->pos(), middle - QPoint(window->width() / 2, window->height() / 2));
        run(window.get(), "preferences");
        auto *preferences = window->findChild<QDialog *>(QStringLiteral("PreferenceDialog"));
        QVERIFY(preferences);
        QVERIFY(preferences->isVisible());
        preferences->hide();
        run(window.get(), "preferences"); // the same dialog again
        QVERIFY(preferences->isVisible() &&
                window->findChildren<QDialog *>(QStringLiteral("PreferenceDialog")).size() == 1);
        run(window.get(), "help");
        QVERIFY(prompter->told.value(0).startsWith("http"));
        QVERIFY(prompter->told.value(0).endsWith("/?id=596"));
        run(window.get(), "quit");
        QVERIFY(!window->isVisible());
    }

    // At the next start the last book comes back (one gone since is left out without a word), and a rectangle
    // stored empty, as garbage, off the screen or larger than it lands on the screen.
    void theNextStart()
    {
        const QString path = book(QStringLiteral("last.txt"));
        storeSettings(iniPath(), {{"window/openLastFile", true}, {"fileHistory", QStringList{path}}});
        QCOMPARE(MainWindow().readerObject()->book()->path(), path);
        QFile::remove(path);
        QObject guard;
        bool told = false;
        QTimer::singleShot(1000, &guard, [&told] {
            if (QWidget *box = QApplication::activeModalWidget())
                told = box->close();
        });
        QVERIFY(!MainWindow().readerObject()->book()->isOpen());
        QVERIFY(!told);
        for (const char *stored : {"nonsense", "@Rect(0 0 0 0)", "@Rect(100 100 11 19)", "@Rect(-32767 -32767 400 300)",
                                   "@Rect(50000 40 400 300)", "@Rect(0 0 90000 90000)"}) {
            writeFile(iniPath(), "[window]\nrememberWin=true\nrect=" + QByteArray(stored));
            MainWindow window;
            QVERIFY2(QGuiApplication::primaryScreen()->availableGeometry().contains(window.frameGeometry()), stored);
            QCOMPARE(window.frameGeometry().size().expandedTo(window.smallestSize()), window.frameGeometry().size());
        }
    }

    // Asked after the first paint unless turned off; a forced update closes the window with its dialog.
    void theUpdateCheck()
    {
        QSettings(iniPath(), QSettings::IniFormat).setValue("update/checkAtStart", false);
        auto window = makeWindow();
        QApplication::processEvents();
        QVERIFY(!window->findChild<QNetworkReply *>());
        window->configObject()->setCheckUpdateAtStart(true);
        window->repaint();
        QApplication::processEvents();
        QVERIFY(window->findChild<QNetworkReply *>());
        const QString answer = dir.filePath(QStringLiteral("answer.json"));
        for (const char *forced : {"false", "true"}) {
            writeFile(answer, R"({"versionCode": 9, "versionName": "3.0", "force": )" + QByteArray(forced) + "}");
            auto *dialog = window->findChild<WhatsNewDlg *>();
            dialog->checkUpdate(QUrl::fromLocalFile(answer).toString(), false);
            QTRY_VERIFY(dialog->isVisible());
            dialog->reject();
            QCOMPARE(window->isVisible(), forced == QLatin1String("false"));
        }
    }

    // A dialog that outlives its book (closed by a global key meanwhile) closes; its answer is applied to nothing.
    void dialogsOutlivingTheirBook()
    {
        const QString path = book(QStringLiteral("closing.txt"));
        auto window = makeWindow(path);
        run(window.get(), "close");
        const QByteArray before = readFile(dir.filePath(QStringLiteral("closing.bmk")));
        QStringList opened;
        for (const char *dialog : {"bookmarks", "find", "contents"}) {
            window->openFile(path);
            QTimer::singleShot(50, window.get(), [&] {
                if (QWidget *open = QApplication::activeModalWidget())
                    opened << open->objectName();
                run(window.get(), "close");
            });
            QTimer::singleShot(400, window.get(), [] { // a jump, were it still open
                if (auto *open = qobject_cast<QDialog *>(QApplication::activeModalWidget()))
                    open->accept();
            });
            run(window.get(), dialog);
            QVERIFY(!window->readerObject()->book()->isOpen());
            QVERIFY(!QApplication::activeModalWidget());
        }
        QCOMPARE(opened, (QStringList{"BookMarkDialog", "FindDialog", "ContentsDialog"}));
        QVERIFY(!before.isEmpty());
        QCOMPARE(readFile(dir.filePath(QStringLiteral("closing.bmk"))), before);
    }

    void aPlaceThatCannotBeSavedIsToldOnceAndTriedAgain()
    {
        auto window = makeWindow(book(QStringLiteral("full.txt"), 80));
        {
            const FileSizeLimit disk(16);
            for (const char *name : {"next-page", "next-page", "next-page", "add-bookmark"})
                run(window.get(), name);
            window->readerObject()->book()->flushBookmarks();
            QTRY_COMPARE(prompter->told.size(), 2);
        }
        QVERIFY(prompter->told.at(0).startsWith(QStringLiteral("书签已添加，但暂时无法保存：")));
        QVERIFY(prompter->told.at(1).startsWith(QStringLiteral("无法保存《full》的阅读位置和书签：")));
        const int position = window->readerObject()->position();
        run(window.get(), "previous-page");
        run(window.get(), "next-page");
        window->readerObject()->book()->flushBookmarks();
        QApplication::processEvents();
        QCOMPARE(prompter->told.size(), 2);
        QCOMPARE(storedOffset(dir.filePath(QStringLiteral("full.bmk"))), position);
        writeFile(dir.filePath("damaged.bmk"), QByteArray("\0\0\0\2\0", 5)); // damage is told with the backup
        window->openFile(book(QStringLiteral("damaged.txt")));
        QTRY_COMPARE(prompter->told.size(), 3);
        QVERIFY(prompter->told.at(2).startsWith("书签文件已损坏"));
        QVERIFY(prompter->told.at(2).endsWith("damaged.bmk.bak"));
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
