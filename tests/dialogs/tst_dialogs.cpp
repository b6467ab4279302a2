// The browsing dialogs and their commands; preferences on a reading window; the update client on a local service.

#include "Book.h"
#include "BookTextView.h"
#include "BookmarkDialog.h"
#include "BookmarkItemDelegate.h"
#include "BookmarkModel.h"
#include "BookmarkRecords.h"
#include "BrowseCommands.h"
#include "BuildSettings.h"
#include "CollectHotKeyDialog.h"
#include "ContentsDialog.h"
#include "FindDialog.h"
#include "HotKeyManager.h"
#include "KeyLineLabel.h"
#include "KeywordSearch.h"
#include "LinkLabel.h"
#include "MainWindow.h"
#include "Modals.h"
#include "PreferenceDialog.h"
#include "Reader.h"
#include "ReaderConfig.h"
#include "ReaderFiles.h"
#include "WhatsNewDlg.h"

#include <QtNetwork>
#include <QtTest>
#include <QtWidgets>

namespace {

using Range = QPair<int, int>;

// A preface, then chapters whose "第" stands at offsets 6, 21 and 36.
const QString kChapters =
    QStringLiteral("序言序言序\n第一章 甲\n正文正文正文正文\n第二章 乙\n正文正文正文正文\n第三章 丙\n正文\n");

void push(QWidget *dialog, const char *button)
{
    dialog->findChild<QAbstractButton *>(QLatin1String(button))->click();
}

QListView *listOf(QDialog *dialog, int currentRow = -1)
{
    auto *view = dialog->findChild<QListView *>(QStringLiteral("listView"));
    if (currentRow >= 0)
        view->setCurrentIndex(view->model()->index(currentRow, 0));
    return view;
}

QList<int> offsetsInFile(const QString &path)
{
    QList<int> offsets;
    for (const Bookmark &bookmark : bookmarkRecords(readFile(path)))
        offsets << bookmark.offset;
    return offsets;
}

// The find dialog as the user meets it: shown, its widgets reached by name.
struct Find
{
    Find(const QString &text, int start) : dialog(text, start) {}

    BookTextView *view() { return dialog.findChild<BookTextView *>(); }
    QString count() { return dialog.findChild<QLabel *>(QStringLiteral("tv_count"))->text(); }
    void type(const QString &keyword) { dialog.findChild<QLineEdit *>()->setText(keyword); }
    Range selection() { return {view()->selectionStart(), view()->selectionEnd()}; }
    QList<Range> marks()
    {
        QList<Range> ranges;
        for (int start : view()->markStarts())
            ranges << Range(start, start + view()->markLength());
        return ranges;
    }

    FindDialog dialog;
    bool exposed = (dialog.show(), QTest::qWaitForWindowExposed(&dialog));
};

const char *const kMouseOptions[][2] = {{"cb_wheel_turn", "shortcut/wheelTurnPage"},
                                        {"cb_click_next_page", "shortcut/clickNextPage"},
                                        {"cb_double_click_hide", "shortcut/doublceClickHide"}};

/// Chooses `text` in `combo` with the keyboard, as a user does, so that it is "activated".
void activate(QComboBox *combo, const QString &text)
{
    const int index = combo->findText(text);
    combo->setCurrentIndex(index > 0 ? index - 1 : index + 1);
    QTest::keyClick(combo, index > 0 ? Qt::Key_Down : Qt::Key_Up);
}

// In the capture dialog: a key (or none), then a click on each of `buttons`.
std::function<void(CollectHotKeyDialog *)> capture(Qt::Key key, Qt::KeyboardModifiers modifiers = {},
                                                   const QStringList &buttons = {"btn_save"})
{
    return [=](CollectHotKeyDialog *listening) {
        if (key)
            QTest::keyClick(listening->findChild<QKeySequenceEdit *>(), key, modifiers);
        for (const QString &button : buttons)
            listening->findChild<QAbstractButton *>(button)->click();
    };
}

QByteArray http(int status, const QByteArray &body, const QByteArray &headers = QByteArray())
{
    return "HTTP/1.1 " + QByteArray::number(status) + " X\r\nConnection: close\r\n" + headers +
           "Content-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body;
}

// Keeps the last request; answers `answer`, nothing (Silent), or `answer` then endless braces (Endless).
class UpdateService : public QTcpServer
{
public:
    enum Mode { Answer, Silent, Endless };

    explicit UpdateService(const QByteArray &answer, Mode mode = Answer)
    {
        listen(QHostAddress::LocalHost);
        connect(this, &QTcpServer::newConnection, this, [=] {
            QTcpSocket *socket = nextPendingConnection();
            connect(socket, &QTcpSocket::readyRead, socket, [=] {
                request = socket->readAll();
                if (mode != Silent)
                    socket->write(answer);
                if (mode == Answer)
                    socket->disconnectFromHost();
            });
            connect(socket, &QTcpSocket::bytesWritten, socket, [=] {
                if (mode == Endless && socket->state() == QAbstractSocket::ConnectedState &&
                    socket->bytesToWrite() < 65536 && sent < 3000000000LL) {
                    socket->write(QByteArray(65536, '{'));
                    sent += 65536;
                }
            });
        });
    }
    QString url() const { return QStringLiteral("http://127.0.0.1:%1/app/update").arg(serverPort()); }

    QByteArray request;
    qint64 sent = 0;
};

} // namespace

class TestDialogs : public QObject
{
    Q_OBJECT

private:
    QScopedPointer<MainWindow> window;
    PreferenceDialog *dialog = nullptr;
    std::unique_ptr<ReaderConfig> ownConfig;
    std::unique_ptr<HotKeyManager> ownKeys;
    std::unique_ptr<PreferenceDialog> ownDialog;
    QTemporaryDir dir;
    QTcpServer silentProxy;
    QList<QUrl> opened;

    /// `prepare` runs on the configuration before the dialog is built.
    bool build(const std::function<void(ReaderConfig *)> &prepare = nullptr)
    {
        window.reset(new MainWindow);
        window->resize(300, 200);
        window->show();
        window->openFile(dir.filePath(QStringLiteral("book.txt")));
        // The page is laid out once the window has painted and the resize delay has run.
        if (!QTest::qWaitFor([this] { return !reader()->lines().isEmpty(); }))
            return false;
        if (prepare)
            prepare(window->configObject());
        dialog = new PreferenceDialog(window->configObject(), window->hotKeys(), window.data());
        dialog->setWindowFlags(Qt::Dialog);
        dialog->show();
        return QTest::qWaitForWindowExposed(dialog);
    }

    /// The dialog alone, on a configuration and key table of its own: for what needs no reading window.
    bool buildAlone()
    {
        ownConfig.reset(new ReaderConfig);
        ownKeys.reset(new HotKeyManager);
        dialog = new PreferenceDialog(ownConfig.get(), ownKeys.get());
        ownDialog.reset(dialog);
        dialog->show();
        return QTest::qWaitForWindowExposed(dialog);
    }

    Reader *reader() const { return window->readerObject(); }
    template <typename T = QWidget> T *child(const char *name) const
    {
        return dialog->findChild<T *>(QLatin1String(name));
    }
    void click(const char *name, Qt::MouseButton button = Qt::LeftButton)
    {
        QWidget *widget = child(name);
        // A shortcut field is clicked where a user clicks it: its inner line edit.
        QTest::mouseClick(qobject_cast<KeyLineLabel *>(widget) ? widget->findChild<QLineEdit *>() : widget, button);
    }
    QString keyOf(const char *name) const { return child<KeyLineLabel>(name)->sequenceText(); }

public slots:
    // Stands in for the desktop's browser (and mail program).
    void open(const QUrl &url) { opened << url; }

private slots:
    void initTestCase()
    {
        // Update checks go to a local proxy that never answers.
        silentProxy.listen(QHostAddress::LocalHost);
        QNetworkProxy::setApplicationProxy(
            QNetworkProxy(QNetworkProxy::HttpProxy, QStringLiteral("127.0.0.1"), silentProxy.serverPort()));
        QVERIFY(writeChapters(dir.filePath(QStringLiteral("book.txt")), 40));
    }

    void init() { QFile::remove(iniPath()); }
    void cleanup()
    {
        window.reset(); // the dialog goes with it
        ownDialog.reset();
        ownKeys.reset();
        ownConfig.reset();
    }

    void bookmarksAreDeletedAfterAskingAndTheFileRewritten()
    {
        const QString path =
            writeFile(dir.filePath("书.txt"), QStringLiteral("第一章 起\n天色将晚，江上起了风。\n").toUtf8());
        Book book;
        QVERIFY(book.open(path));
        book.autoSaveBookmark(14); // row 0: the reading position, never deleted
        for (int offset : {5, 20, 30})
            book.addBookmark(offset, false);
        BookmarkDialog dialog(&book);
        QCOMPARE(dialog.windowTitle(), QStringLiteral("书签 -《书》"));
        Modals modals(QMessageBox::No);
        listOf(&dialog, 0);
        push(&dialog, "btn_del");
        listOf(&dialog, 2);
        push(&dialog, "btn_del");
        QCOMPARE(modals.texts(),
                 (QStringList{"这是自动保存的阅读位置，不能删除：它会随翻页更新。", "确认删除此书签吗？"}));
        QCOMPARE(modals.seen.at(1).buttons, QMessageBox::Yes | QMessageBox::No);
        modals.button = QMessageBox::Yes;
        QTest::keyClick(listOf(&dialog), Qt::Key_Delete); // the key does what the button does
        QCOMPARE(offsetsInFile(book.bookmarkPath()), (QList<int>{14, 5, 30}));
        QVERIFY(listOf(&dialog)->model()->rowCount() == 3);
        QCOMPARE(dialog.selectedOffset(), -1);
        listOf(&dialog, 0);
        push(&dialog, "btn_goto");
        QCOMPARE(dialog.result(), QDialog::Accepted);
        QCOMPARE(dialog.selectedOffset(), 14);

        Book noBook; // never opened: no bookmarks at all
        BookmarkDialog empty(&noBook);
        push(&empty, "btn_del");
        push(&empty, "btn_goto");
        QCOMPARE(modals.texts().mid(3).join('|'), QStringLiteral("请先选择书签!|请先选择书签!"));
        QCOMPARE(empty.result(), int(QDialog::Rejected));
    }

    // A card: a long title gives way so that "（自动保存）" and the percentage show beside it, and the summary takes
    // as many lines as the card's 40 pixels hold, not one fewer.
    void bookmarkCardsShowWhatFits()
    {
        const QFontMetrics metrics(QFont(QStringLiteral("Noto Sans CJK SC"), 9));
        const QString title = QStringLiteral("第一千二百章 ") + QString(60, u'长') + QStringLiteral("（自动保存）");
        const QString shown = BookmarkItemDelegate::shownTitle(title, QStringLiteral("37.5%"), metrics, 300);
        QVERIFY2(shown.startsWith(QStringLiteral("第一千")) && shown.endsWith(QStringLiteral("（自动保存）")),
                 qPrintable(shown));
        QVERIFY(metrics.horizontalAdvance(shown) + BookmarkItemDelegate::Gap +
                    metrics.horizontalAdvance(QStringLiteral("37.5%")) <=
                300);

        for (int points = 7; points <= 14; ++points) {
            const QFont font(QStringLiteral("Noto Sans CJK SC"), points);
            QStandardItemModel model;
            auto *item = new QStandardItem;
            item->setData(QVariant::fromValue(Bookmark{0, QStringLiteral("第一章"), QString(300, u'字')}),
                          BookmarkModel::BookmarkRole);
            model.appendRow(item);
            QImage card(300, BookmarkItemDelegate::CardHeight, QImage::Format_RGB32);
            card.fill(Qt::white);
            QPainter painter(&card);
            painter.setFont(font);
            painter.setPen(Qt::black);
            QStyleOptionViewItem option;
            option.rect = card.rect();
            BookmarkItemDelegate().paint(&painter, option, model.index(0, 0));
            painter.end();
            // The lowest ink below the title's 20 pixels lies in the last line that fits (apart from the
            // card's code: what 40 pixels hold of lines of this font).
            const int spacing = QFontMetrics(font).lineSpacing();
            const int lastTop = 20 + (40 / spacing - 1) * spacing;
            int lowest = 0;
            for (int y = 20; y < card.height(); ++y)
                for (int x = 0; x < card.width(); ++x)
                    lowest = qGray(card.pixel(x, y)) < 128 ? y : lowest;
            QVERIFY2(lowest > lastTop, qPrintable(QStringLiteral("%1 pt: ink ends at %2, the last line starts at %3")
                                                      .arg(points)
                                                      .arg(lowest)
                                                      .arg(lastTop)));
        }
    }

    // The size list opens as a list of some 15 rows, not a column as tall as the screen.
    void theSizeListIsShort()
    {
        QVERIFY(buildAlone());
        auto *sizes = child<QComboBox>("cbb_font_size");
        sizes->showPopup();
        QWidget *popup = sizes->view()->window();
        QTRY_VERIFY(popup->isVisible());
        const int row = sizes->view()->sizeHintForRow(0);
        QVERIFY2(popup->height() <= 17 * row, qPrintable(QStringLiteral("%1 > 17 × %2").arg(popup->height()).arg(row)));
        sizes->hidePopup();
    }

    void findCountsAndStepsWithoutRegardToCase()
    {
        Find find(QStringLiteral("aaAA"), 0);
        Modals boxes;
        find.type(QStringLiteral("aa"));
        push(&find.dialog, "btn_find");
        QCOMPARE(find.count(), QStringLiteral("2")); // counted without overlap
        QCOMPARE(find.selection(), Range(0, 2));
        QCOMPARE(find.marks(), (QList<Range>{{0, 2}, {2, 4}}));
        push(&find.dialog, "btn_next");
        QCOMPARE(find.selection(), Range(2, 4));
        push(&find.dialog, "btn_back"); // shown one by one, they may overlap
        QCOMPARE(find.selection(), Range(1, 3));
        QCOMPARE(find.marks(), (QList<Range>{{0, 2}, {1, 3}, {2, 4}}));
        QCOMPARE(find.dialog.foundOffset(), 1);
        QVERIFY(boxes.seen.isEmpty());

        // A keyword that differs only in case (and spaces) starts over.
        find.type(QStringLiteral("  AA "));
        push(&find.dialog, "btn_next");
        QCOMPARE(find.count(), QStringLiteral("0"));
        QCOMPARE(find.marks(), (QList<Range>{{0, 2}}));
        find.type(QString());
        QVERIFY(find.marks().isEmpty());
        QVERIFY(!find.view()->hasSelection());
    }

    void findStartsAtTheReadingPosition()
    {
        const QString text = QStringLiteral("风起云涌，风停了。\n后来的事没有人知道。\n风又起了。");
        Find find(text, 10);
        Modals boxes;
        find.type(QStringLiteral("风"));
        for (const char *button :
             {"btn_back", "btn_back", "btn_back", "rb_from_begin", "btn_next", "btn_next", "btn_next", "btn_next"})
            push(&find.dialog, button);
        QCOMPARE(boxes.texts(), (QStringList{QStringLiteral("别点了，到头了"), QStringLiteral("别点了，后边没了")}));
        QCOMPARE(boxes.seen.at(0).title, QStringLiteral("提示"));
        QCOMPARE(find.selection(), Range(21, 22));

        // A click into the text moves where the search goes on.
        QTest::mouseClick(find.view()->viewport(), Qt::LeftButton, Qt::NoModifier, find.view()->cursorRect(2).center());
        push(&find.dialog, "btn_next");
        QCOMPARE(find.selection(), Range(5, 6));
        push(&find.dialog, "btn_goto");
        QCOMPARE(find.dialog.result(), QDialog::Accepted);
        QCOMPARE(find.dialog.foundOffset(), 5);
    }

    // No book, a blank keyword, an absent one.
    void findWithNothingToFind()
    {
        for (const QStringList &search : {QStringList{QString(), "风"}, {"风 风 风", "   "}, {"风 风 风", "雨"}}) {
            Find find(search.at(0), 3);
            Modals boxes;
            find.type(search.at(1));
            for (const char *button : {"btn_find", "btn_next", "btn_back", "btn_goto"})
                push(&find.dialog, button);
            QCOMPARE(boxes.texts().join('|'), QStringLiteral("没有找到关键词|别点了，后边没了|别点了，到头了"));
            QCOMPARE(find.count(), QStringLiteral("0"));
            QCOMPARE(find.dialog.result(), QDialog::Accepted);
            QCOMPARE(find.dialog.foundOffset(), 3);
        }
    }

    void findMarksWhatIsOnScreenOfAWholeBook()
    {
        QString text;
        for (int i = 0; i < 20000; ++i) // several stretches of 65,536 characters
            text += QStringLiteral("第%1段，江上起了风，风很大。\n").arg(i);
        Find find(text, 0);
        QVERIFY(find.exposed);
        find.type(QStringLiteral("风"));
        push(&find.dialog, "btn_find");
        QCOMPARE(find.count(), QStringLiteral("40000"));
        for (int step = 0; step < 2; ++step) {
            const QRect area = find.view()->viewport()->rect();
            const int top = find.view()->offsetAt(area.topLeft());
            const int bottom = find.view()->offsetAt(area.bottomRight());
            QVERIFY(bottom > top + 100);
            QList<Range> onScreen;
            for (int at = text.indexOf(QStringLiteral("风"), top); at >= 0 && at < bottom;
                 at = text.indexOf(QStringLiteral("风"), at + 1))
                onScreen << Range(at, at + 1);
            for (const Range &range : qAsConst(onScreen))
                QVERIFY(find.marks().contains(range));
            QVERIFY(find.marks().size() < onScreen.size() + 10); // never the whole book
            find.view()->verticalScrollBar()->setValue(find.view()->verticalScrollBar()->maximum() / 2);
        }
        QCOMPARE(find.view()->text().constData(), text.constData()); // shared, never copied
    }

    // Case variants beyond ASCII pairs (Kelvin sign, long s, final sigma), a caseless character, surrogate pairs.
    void searchAgreesWithQStringEverywhere()
    {
        const QString alphabet = QString::fromUtf16(u"kK\u212asS\u017f\u03c3\u03c2\u03a3\u7684a\n");
        QRandomGenerator random(3);
        QString text;
        for (int i = 0; i < 3000; ++i)
            text += random.bounded(40) ? QString(alphabet.at(random.bounded(alphabet.size())))
                                       : QString::fromUtf16(random.bounded(2) ? u"\U00010400" : u"\U00010428");
        KeywordSearch search(text);
        for (const char16_t *word :
             {u"k", u"KS", u"\u03c3\u03c2", u"\u7684k", u"s\u7684", u"\U00010400", u"a\U00010428"}) {
            const QString keyword = QString::fromUtf16(word);
            search.reset(keyword);
            for (int at = 0; at <= text.size() + 1; ++at) {
                QCOMPARE(search.next(at), text.indexOf(keyword, at, Qt::CaseInsensitive));
                QCOMPARE(search.previous(at),
                         at > 0 ? text.lastIndexOf(keyword, qMin(at, text.size()) - 1, Qt::CaseInsensitive) : -1);
            }
        }
        // Counted the plain way: from the start, past each match.
        QVector<int> counted;
        for (int at = text.indexOf(QStringLiteral("ks"), 0, Qt::CaseInsensitive); at >= 0;
             at = text.indexOf(QStringLiteral("ks"), at + 2, Qt::CaseInsensitive))
            counted << at;
        search.reset(QStringLiteral("kS"));
        QCOMPARE(search.markAll(), counted.size());
        QCOMPARE(search.marksIn(0, text.size()), counted);
        search.reset(QString());
        QCOMPARE(search.next(0), -1);
        QCOMPARE(search.previous(10), -1);
        QCOMPARE(search.markAll(), 0);
    }

    void commandsJumpToWhatTheDialogsChose()
    {
        ReaderConfig config;
        Reader reader(&config);
        Modals modals;
        modals.expect<ContentsDialog>([](ContentsDialog *dialog) {
            QCOMPARE(listOf(dialog)->model()->rowCount(), 0);
            push(dialog, "btn_jump");
            dialog->reject();
        });
        showContents(nullptr, reader.session()); // no book: a warning, and nothing to jump to
        QCOMPARE(modals.texts(), (QStringList{QString(), QStringLiteral("请先选择章节")}));
        QCOMPARE(modals.seen.at(1).title, QStringLiteral("提示"));

        // Bookmarks kept from a longer edition of the book.
        const QString path = writeFile(dir.filePath("三章.txt"), kChapters.toUtf8());
        QVERIFY(BookmarkFile::save(BookmarkFile::pathFor(path),
                                   {Bookmark{4, QStringLiteral("（自动保存）"), QString()},
                                    Bookmark{999999, QStringLiteral("第九章"), QStringLiteral("后来")}}));
        reader.session()->openBook(path);
        reader.book()->waitForChapters();
        QCOMPARE(reader.position(), 4);
        QList<int> preselected;
        for (int position : {25, 2}) { // inside the second chapter, then in the preface
            reader.session()->jumpTo(position);
            modals.expect<ContentsDialog>([&preselected](ContentsDialog *dialog) {
                preselected << listOf(dialog)->currentIndex().row();
                dialog->reject();
            });
            showContents(nullptr, reader.session());
            QCOMPARE(reader.position(), position);
        }
        QCOMPARE(preselected, (QList<int>{1, 0}));
        modals.expect<ContentsDialog>([](ContentsDialog *dialog) {
            listOf(dialog, 2);
            push(dialog, "btn_jump");
        });
        showContents(nullptr, reader.session());
        QCOMPARE(reader.position(), 36);

        modals.expect<FindDialog>([](FindDialog *dialog) { dialog->reject(); });
        showFind(nullptr, reader.session());
        QCOMPARE(reader.position(), 36);
        modals.expect<FindDialog>([](FindDialog *dialog) {
            dialog->findChild<QLineEdit *>()->setText(QStringLiteral("正文"));
            push(dialog, "btn_next");
            push(dialog, "btn_goto");
        });
        showFind(nullptr, reader.session());
        QCOMPARE(reader.position(), kChapters.indexOf(QStringLiteral("正文"), 36));

        modals.expect<BookmarkDialog>([](BookmarkDialog *dialog) {
            listOf(dialog, 1);
            push(dialog, "btn_goto");
        });
        showBookmarks(nullptr, reader.session());
        QCOMPARE(reader.position(), 999999);
        QCOMPARE(reader.pageLength(), 0); // nothing to show there: the start screen
        reader.book()->flushBookmarks();
        QCOMPARE(offsetsInFile(reader.book()->bookmarkPath()), (QList<int>{999999, 999999}));
        showContents(nullptr, nullptr);
        showBookmarks(nullptr, nullptr);
        showFind(nullptr, nullptr);
    }

    void textSettingsRelayThePageAtTheSamePosition()
    {
        // A font sized in pixels (an edited ini file) has no point size to offer.
        QVERIFY(build([](ReaderConfig *config) {
            QFont font = config->font();
            font.setPixelSize(20);
            config->setFont(font);
        }));
        QCOMPARE(child<QComboBox>("cbb_font_size")->findText("-1"), -1);
        QVERIFY(reader()->session()->nextPage());
        const int position = reader()->position();
        const char *const choices[][2] = {{"cbb_font_size", "28"}, {"cbb_line_space", "20"}, {"cbb_word_sapce", "8"}};
        for (const auto &choice : choices) {
            const int pageLength = reader()->pageLength();
            activate(child<QComboBox>(choice[0]), choice[1]);
            QVERIFY2(reader()->pageLength() < pageLength, choice[0]);
        }
        QCOMPARE(iniValue("font/font").value<QFont>().pointSize(), 28);
        QCOMPARE(iniValue("font/linespace").toInt(), 20);
        QCOMPARE(iniValue("font/letterspace").toInt(), 8);
        QCOMPARE(reader()->position(), position);
    }

    void coloursAndTheFontComeFromTheirPickers()
    {
        QVERIFY(build([](ReaderConfig *config) { config->setFont(QFont(QStringLiteral("DejaVu Serif"), 15)); }));
        activate(child<QComboBox>("cbb_word_sapce"), "6");
        QStringList preselected;
        Modals modals;
        for (const QColor &color : {QColor(10, 120, 30), QColor(250, 240, 200)})
            modals.expect<QColorDialog>([&preselected, color](QColorDialog *picker) {
                preselected << picker->currentColor().name();
                picker->setCurrentColor(color);
                picker->accept();
            });
        modals.expect<QFontDialog>([&preselected](QFontDialog *picker) {
            preselected << picker->currentFont().family() + QString::number(picker->currentFont().pointSize());
            picker->setCurrentFont(QFont(QStringLiteral("DejaVu Sans"), 25));
            picker->accept();
        });
        for (const char *name : {"btn_text_color", "btn_bg_color", "cbb_font"}) // the font field opens no list
            click(name);
        QCOMPARE(preselected, (QStringList{"#a0a0a4", "#ffffff", "DejaVu Serif15"}));
        for (const SeenModal &seen : qAsConst(modals.seen))
            QCOMPARE(seen.parent, dialog); // above a reading window kept on top
        QCOMPARE(iniValue("font/color").value<QColor>(), QColor(10, 120, 30));
        QCOMPARE(iniValue("window/bgColor").value<QColor>(), QColor(250, 240, 200));
        QCOMPARE(window->grab().toImage().pixelColor(2, 2), QColor(250, 240, 200));
        const QFont font = iniValue("font/font").value<QFont>();
        QCOMPARE(font.family() + QString::number(font.pointSize()), QStringLiteral("DejaVu Sans25"));
        QCOMPARE(font.letterSpacing(), 6.0);             // the font dialog knows nothing of it
        auto *sizes = child<QComboBox>("cbb_font_size"); // no standard size, offered all the same
        const int at = sizes->currentIndex();
        QCOMPARE(sizes->itemText(at - 1) + sizes->itemText(at) + sizes->itemText(at + 1), QStringLiteral("242526"));

        // Cancelled, or another button: nothing changes.
        for (const char *name : {"btn_text_color", "cbb_font"})
            for (Qt::MouseButton button : {Qt::LeftButton, Qt::RightButton})
                click(name, button);
        QTest::qWait(20);
        QCOMPARE(modals.seen.size(), 5);
        QCOMPARE(iniValue("font/color").value<QColor>(), QColor(10, 120, 30));
        QCOMPARE(iniValue("font/font").value<QFont>(), font);
    }

    void resetAsksFirst()
    {
        QVERIFY(build([](ReaderConfig *config) {
            config->setLineSpace(10);
            config->setBgColor(Qt::black);
        }));
        Modals modals(QMessageBox::Cancel);
        click("btn_reset_text");
        QCOMPARE(modals.texts(), QStringList{QStringLiteral("确认重置？")});
        QCOMPARE(modals.seen.at(0).title, QStringLiteral("提示"));
        QCOMPARE(modals.seen.at(0).buttons, QMessageBox::Ok | QMessageBox::Cancel);
        QCOMPARE(modals.seen.at(0).parent, dialog);
        QCOMPARE(iniValue("font/linespace").toInt(), 10);

        modals.button = QMessageBox::Ok;
        click("btn_reset_text");
        QCOMPARE(iniValue("font/linespace").toInt(), 2);
        QCOMPARE(iniValue("window/bgColor").value<QColor>(), QColor(Qt::white));
        QCOMPARE(child<QComboBox>("cbb_line_space")->currentText(), QStringLiteral("2"));
    }

    void optionsAreStoredUnderTheirKeys()
    {
        QVERIFY(build());
        click("rb_whole_win_transparent");
        child<QSlider>("hs_transparent_percent")->setValue(40);
        QCOMPARE(child<QLabel>("transparent_percent_label")->text(), QStringLiteral("40%"));
        QCOMPARE(iniValue("window/bgType").toInt(), 1);
        QCOMPARE(iniValue("window/translucent").toInt(), 40);
        QVERIFY(qAbs(window->windowOpacity() - 0.4) < 0.01);
        click("rb_only_bg_transparent");
        QCOMPARE(iniValue("window/bgType").toInt(), 0);
        QCOMPARE(window->windowOpacity(), 1.0);

        // Check box, key, value stored; the update check is on unless turned off.
        for (const QString option :
             {"cb_top window/isTop true", "cb_remember_pos window/rememberWin true",
              "cb_open_last window/openLastFile true", "cb_show_progress view/showProgress true",
              "cb_punctuation view/punctuationRules true", "cb_check_update update/checkAtStart false",
              "cb_wheel_turn shortcut/wheelTurnPage true", "cb_click_next_page shortcut/clickNextPage true",
              "cb_double_click_hide shortcut/doublceClickHide true"}) {
            click(qPrintable(option.section(' ', 0, 0)));
            QCOMPARE(option.section(' ', 0, 1) + ' ' + iniValue(option.section(' ', 1, 1)).toString(), option);
        }
        // The window follows: it is kept on top, and a click turns the page.
        QVERIFY(window->windowFlags() & Qt::WindowStaysOnTopHint);
        const int position = reader()->position();
        QTest::mouseClick(window.data(), Qt::LeftButton, Qt::NoModifier, window->rect().center());
        QTRY_VERIFY(reader()->position() > position);
    }

    void aChapterPatternIsAppliedOnlyWhenValid()
    {
        QVERIFY(build());
        dialog->setPreviewBook(reader()->book());
        activate(child<QComboBox>("cbb_chapter_rule"), "自定义");
        auto *pattern = child<QLineEdit>("et_chapter_pattern");
        pattern->setText(QStringLiteral("^第[0-9]+章("));
        QTest::keyClick(pattern, Qt::Key_Return);
        QVERIFY(child<QLabel>("lb_chapter_preview")->text().startsWith(QStringLiteral("正则表达式有误")));
        QVERIFY(!iniValue("content/chapterRule").isValid()); // never applied
        QTest::keyClick(pattern, Qt::Key_Backspace);
        QTest::keyClick(pattern, Qt::Key_Return);
        QCOMPARE(iniValue("content/chapterRule").toString(), QStringLiteral("custom"));
        QCOMPARE(iniValue("content/chapterPattern").toString(), QStringLiteral("^第[0-9]+章"));
        QCOMPARE(child<QLabel>("lb_chapter_preview")->text(), QStringLiteral("在当前的书中找到 40 章"));
    }

    void linksOpenOnlyWebAddresses()
    {
        for (const char *scheme : {"http", "https", "mailto", "file"})
            QDesktopServices::setUrlHandler(QString::fromLatin1(scheme), this, "open");
        LinkLabel label;
        label.show();
        for (const char *address : {"", "mailto:a@example.org", "file:///etc/passwd", " http://example.org",
                                    "http://tavril.example.org", "HTTPS://Tavril.Example.org/?id=596"}) {
            label.setUrl(QString::fromLatin1(address));
            QTest::mouseClick(&label, Qt::RightButton);
        }
        QCOMPARE(opened, (QList<QUrl>{QUrl("http://tavril.example.org"), QUrl("https://tavril.example.org/?id=596")}));
    }

    void checkingForUpdatesSendsARandomInstallId()
    {
        QVERIFY(buildAlone());
        Modals modals;
        QUrl asked;
        modals.expect<WhatsNewDlg>([&asked](WhatsNewDlg *update) {
            if (auto *request = update->findChild<QNetworkReply *>())
                asked = request->url();
            update->reject();
        });
        click("btn_check_update");
        QCOMPARE(modals.seen.at(0).parent, dialog);
        QCOMPARE(asked.adjusted(QUrl::RemoveQuery), QUrl(TAVRIL_UPDATE_URL));
        const QUrlQuery query(asked);
        QCOMPARE(query.queryItemValue("app") + query.queryItemValue("version"), QStringLiteral("QX7RD6"));
        // Made for this installation and kept; nothing of the machine.
        const QString id = query.queryItemValue("machine");
        QVERIFY(!QUuid(id).isNull());
        QVERIFY(!id.contains(QString::fromLatin1(QSysInfo::machineUniqueId())));
        QCOMPARE(iniValue("update/installId").toString(), id);
    }

    void aCapturedKeyIsStoredAndWorksInTheWindow()
    {
        QVERIFY(build());
        Modals modals;
        QString shown;
        bool suspended = false;
        modals.expect<CollectHotKeyDialog>([&](CollectHotKeyDialog *listening) {
            shown = listening->findChild<QKeySequenceEdit *>()->keySequence().toString();
            // The reader lets its global grabs go while the dialog listens, so that its chords reach it.
            suspended = window->hotKeys()->isGlobalSuspended();
            capture(Qt::Key_J)(listening);
        });
        click("hotkey_next");
        QCOMPARE(shown, QStringLiteral("Right"));
        QVERIFY(suspended);
        QVERIFY(!window->hotKeys()->isGlobalSuspended());
        QCOMPARE(keyOf("hotkey_next") + '|' + iniValue("key/8").toString(), QStringLiteral("J|J"));
        const int position = reader()->position();
        QTest::keyClick(window.data(), Qt::Key_J);
        QVERIFY(reader()->position() > position);

        // Backspace, whatever the modifiers, means no key.
        modals.expect<CollectHotKeyDialog>(capture(Qt::Key_Backspace, Qt::ControlModifier));
        click("hotkey_hide_g");
        QCOMPARE(keyOf("hotkey_hide_g"), QString());
        QCOMPARE(iniValue("key/109"), QVariant(QString())); // written empty

        // The same key again, a cancelled capture, other buttons and typing change nothing.
        modals.expect<CollectHotKeyDialog>(capture(Qt::Key(0)));
        click("hotkey_open");
        modals.expect<CollectHotKeyDialog>(capture(Qt::Key_K, {}, {"btn_cancel"}));
        click("hotkey_menu");
        click("hotkey_menu", Qt::RightButton);
        click("hotkey_menu_g", Qt::MiddleButton);
        QTest::keyClick(child("hotkey_menu"), Qt::Key_K);
        QTest::qWait(20);
        QCOMPARE(modals.seen.size(), 4); // no warning either
        for (const SeenModal &seen : qAsConst(modals.seen))
            QCOMPARE(seen.parent, dialog);
        QCOMPARE(keyOf("hotkey_menu"), QStringLiteral("M"));
        QVERIFY(!iniValue("key/1").isValid());
        QVERIFY(!iniValue("key/12").isValid());
    }

    void aKeyHeldInEitherColumnIsRefused()
    {
        QVERIFY(buildAlone());
        Modals modals;
        modals.expect<CollectHotKeyDialog>(
            capture(Qt::Key_PageDown, Qt::ControlModifier | Qt::AltModifier | Qt::ShiftModifier));
        click("hotkey_open");
        modals.expect<CollectHotKeyDialog>(capture(Qt::Key_C));
        click("hotkey_find_g");
        QCOMPARE(modals.texts().join('|'), QStringLiteral("|此快捷键已被占用||此快捷键已被占用"));
        QCOMPARE(modals.seen.at(1).title, QStringLiteral("提示"));
        QCOMPARE(modals.seen.at(1).parent, dialog);
        QCOMPARE(keyOf("hotkey_open") + '|' + keyOf("hotkey_find_g"), QStringLiteral("O|"));
        QVERIFY(!iniValue("key/1").isValid());
        QVERIFY(!iniValue("key/106").isValid());
    }

    void resetRestoresEveryKeyAndTurnsTheMouseOptionsOff()
    {
        QVERIFY(buildAlone());
        // Each field's number in the file, written out: the global field's is the in-app one's plus 100.
        const QStringList stems =
            QStringLiteral("open close content bookmark_list add_bookmark find back next hide show "
                           "center_win menu preference help - back_chapter next_chapter auto_turn "
                           "jump read_aloud stop_reading clean_rules save_clean_text undo_sync")
                .split(' ');
        const auto storedKey = [&stems](const QString &name) {
            const int id = stems.indexOf(name.mid(7).remove(QRegularExpression("_g$"))) + 1;
            return QStringLiteral("key/%1").arg(name.endsWith("_g") ? id + 100 : id);
        };
        QMap<QString, QString> defaults;
        for (KeyLineLabel *field : dialog->findChildren<KeyLineLabel *>())
            defaults.insert(field->objectName(), field->sequenceText());
        QCOMPARE(defaults.size(), 42);
        Modals modals(QMessageBox::Cancel);
        modals.expect<CollectHotKeyDialog>(capture(Qt::Key_J));
        click("hotkey_next");
        for (const auto &option : kMouseOptions)
            click(option[0]);
        click("btn_reset_hotkey");
        QCOMPARE(modals.texts().last(), QStringLiteral("确认重置所有快捷键？"));
        QCOMPARE(keyOf("hotkey_next"), QStringLiteral("J"));

        modals.button = QMessageBox::Ok;
        click("btn_reset_hotkey");
        for (KeyLineLabel *field : dialog->findChildren<KeyLineLabel *>()) // in the field and in the file
            QCOMPARE(field->sequenceText() + '|' + iniValue(storedKey(field->objectName())).toString(),
                     defaults.value(field->objectName()) + '|' + defaults.value(field->objectName()));
        QCOMPARE(keyOf("hotkey_next") + keyOf("hotkey_next_g"), QStringLiteral("RightCtrl+Alt+Shift+PgDown"));
        for (const auto &option : kMouseOptions)
            QVERIFY2(!child<QCheckBox>(option[0])->isChecked() && iniValue(option[1]).toString() == "false", option[1]);
    }

    void answers_data()
    {
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<QString>("state");
        QTest::addColumn<int>("mode");
        QTest::addColumn<bool>("manual");
        QTest::addColumn<QString>("title"); // how it starts
        // (No raw string here: moc takes the "//" in it for a comment.)
        const QByteArray newer = http(
            200, "{\"versionCode\": 7, \"versionName\": \"2.0.5\", \"notes\": \"更快\", \"url\": \"https://x/dl\"}");
        const QByteArray same = http(200, R"({"versionCode": 6, "versionName": "2.0.4", "force": true})");
        const QByteArray forced = http(200, R"({"versionCode": 8, "versionName": "2.1", "force": true})");
        const int silent = UpdateService::Silent, endless = UpdateService::Endless;
        QTest::newRow("newer, silent") << newer << "shown newer" << 0 << false << "发现新版本 2.0.5";
        QTest::newRow("same, silent") << same << "" << 0 << false << "当前已是最新版本";
        QTest::newRow("same, manual") << same << "shown" << 0 << true << "当前已是最新版本";
        QTest::newRow("forced") << forced << "shown newer forced" << 0 << false << "发现新版本 2.1，需要更新";
        QTest::newRow("malformed, silent") << http(200, "{oops") << "" << 0 << false
                                           << "检查更新失败：服务器的回答无法识别";
        QTest::newRow("server error") << http(500, "{}") << "shown" << 0 << true << "检查更新失败：更新服务器出错";
        QTest::newRow("no network") << QByteArray() << "shown" << -1 << true << "检查更新失败：无法连接到更新服务器";
        QTest::newRow("no answer in time") << QByteArray() << "shown" << silent << true << "检查更新失败：连接超时";
        // A valid answer hidden in 70 KB of padding is still far too large.
        const QByteArray padded = http(200, QByteArray(R"({"versionCode": 9})") + QByteArray(70000, ' '));
        QTest::newRow("too large") << padded << "shown" << 0 << true << "检查更新失败：服务器的回答过大";
        const QByteArray endlessHead("HTTP/1.1 200 OK\r\nContent-Length: 3000000000\r\n\r\n");
        QTest::newRow("endless") << endlessHead << "shown" << endless << true << "检查更新失败：服务器的回答过大";
        // 40 MB of zeros in 40 KB: taken as it comes, it is no answer, and nothing inflates it.
        const QByteArray zeros = http(200, qCompress(QByteArray(40 << 20, '\0')).mid(4), "Content-Encoding: gzip\r\n");
        QTest::newRow("compressed") << zeros << "shown" << 0 << true << "检查更新失败：服务器的回答无法识别";
    }

    void answers()
    {
        QFETCH(QByteArray, answer);
        QFETCH(QString, state);
        QFETCH(int, mode);
        QFETCH(bool, manual);
        QFETCH(QString, title);
        UpdateService service(answer, UpdateService::Mode(qMax(0, mode)));
        WhatsNewDlg dialog(QStringLiteral("QX7RD"), 6, QStringLiteral("abc"));
        dialog.setTimeout(300);
        // -1: nobody listens there.
        dialog.checkUpdate(mode < 0 ? QStringLiteral("http://127.0.0.1:1/app/update") : service.url(), manual);
        QTRY_VERIFY_WITH_TIMEOUT(dialog.findChild<QLabel *>("label_title")->text().startsWith(title), 5000);
        QTest::qWait(50);
        const QStringList shown = {dialog.isVisible() ? "shown" : "", dialog.hasUpdate() ? "newer" : "",
                                   dialog.isForceUpdate() ? "forced" : ""};
        QCOMPARE(shown.join(' ').simplified(), state);
        // A failure says what failed and what to do, not just a title.
        if (title.startsWith(QStringLiteral("检查更新失败")))
            QVERIFY(dialog.findChild<QTextEdit *>("text_notes")->toPlainText().size() > 10);
        if (mode < 0)
            return;
        QVERIFY(service.request.startsWith("GET /app/update?app=QX7RD&version=6&machine=abc "));
        QVERIFY(service.request.contains("Accept-Encoding: identity"));
        QVERIFY(service.sent < 16 << 20); // endless: cut off
    }

    void downloadsOnlyOverHttps()
    {
        // A download offered over plain http could be swapped on the way.
        for (const char *url : {"HTTPS://x/dl", "http://x/dl", "ftp://x/dl"}) {
            UpdateService service(http(200, QByteArray("{\"versionCode\": 9, \"url\": \"") + url + "\"}"));
            WhatsNewDlg dialog(QStringLiteral("QX7RD"), 6, QStringLiteral("abc"));
            dialog.checkUpdate(service.url(), false);
            QTRY_VERIFY(dialog.isVisible());
            QCOMPARE(dialog.findChild<QPushButton *>(QStringLiteral("btn_download"))->isVisible(), url[0] == 'H');
        }
    }
};

QTEST_MAIN(TestDialogs)
#include "tst_dialogs.moc"
