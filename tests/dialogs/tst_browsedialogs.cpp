// The contents, bookmark and find dialogs, the keyword search behind the
// find dialog, and the commands that run them on the reader.

#include "Book.h"
#include "BookTextView.h"
#include "BookmarkDialog.h"
#include "BookmarkFile.h"
#include "BookmarkModel.h"
#include "BrowseCommands.h"
#include "ContentsDialog.h"
#include "FindDialog.h"
#include "KeywordSearch.h"
#include "Modals.h"
#include "Reader.h"
#include "ReaderConfig.h"

#include <QtTest>
#include <QtWidgets>

namespace {

using Range = QPair<int, int>;

// A preface, then chapters whose "第" stands at offsets 6, 21 and 36.
const QString kChapters =
    QStringLiteral("序言序言序\n第一章 甲\n正文正文正文正文\n第二章 乙\n正文正文正文正文\n第三章 丙\n正文\n");

void click(QWidget *dialog, const char *button)
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
    QFile file(path);
    QList<Bookmark> bookmarks;
    if (file.open(QIODevice::ReadOnly))
        BookmarkFile::read(file, &bookmarks);
    QList<int> offsets;
    for (const Bookmark &bookmark : qAsConst(bookmarks))
        offsets << bookmark.offset;
    return offsets;
}

// The find dialog as the user meets it: shown, its widgets reached by name.
struct Find
{
    Find(const QString &text, int start) : dialog(text, start)
    {
        dialog.show();
        exposed = QTest::qWaitForWindowExposed(&dialog);
    }

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
    bool exposed = false;
};

} // namespace

class TestBrowseDialogs : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir dir;

    QString write(const QString &name, const QString &text)
    {
        QFile file(dir.filePath(name));
        if (!file.open(QIODevice::WriteOnly) || file.write(text.toUtf8()) < 0)
            qFatal("cannot write %s", qPrintable(file.fileName()));
        return file.fileName();
    }

private slots:
    void bookmarksAreDeletedAfterAskingAndTheFileRewritten()
    {
        const QString path = write(QStringLiteral("书.txt"), QStringLiteral("第一章 起\n天色将晚，江上起了风。\n"));
        Book book;
        QVERIFY(book.open(path));
        book.autoSaveBookmark(14); // row 0: the reading position, never deleted
        for (int offset : {5, 20, 30})
            book.addBookmark(offset, false);
        BookmarkDialog dialog(&book);
        QCOMPARE(dialog.windowTitle(), QStringLiteral("书签 -《书》"));
        Modals modals(QMessageBox::No);
        listOf(&dialog, 0);
        click(&dialog, "btn_del");
        listOf(&dialog, 2);
        click(&dialog, "btn_del");
        QCOMPARE(modals.texts(), QStringList{QStringLiteral("确认删除此书签吗？")});
        QCOMPARE(modals.seen.at(0).buttons, QMessageBox::Yes | QMessageBox::No);
        modals.button = QMessageBox::Yes;
        click(&dialog, "btn_del");
        QCOMPARE(offsetsInFile(book.bookmarkPath()), (QList<int>{14, 5, 30}));
        QVERIFY(listOf(&dialog)->model()->rowCount() == 3 && dialog.selectedOffset() == -1);
        listOf(&dialog, 0);
        click(&dialog, "btn_goto");
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(dialog.selectedOffset(), 14);

        Book noBook; // never opened: no bookmarks at all
        BookmarkDialog empty(&noBook);
        click(&empty, "btn_del");
        click(&empty, "btn_goto");
        QCOMPARE(modals.texts().mid(2),
                 (QStringList{QStringLiteral("请先选择书签!"), QStringLiteral("请先选择书签!")}));
        QCOMPARE(empty.result(), int(QDialog::Rejected));
    }

    void findCountsAndStepsWithoutRegardToCase()
    {
        Find find(QStringLiteral("aaAA"), 0);
        Modals boxes;
        find.type(QStringLiteral("aa"));
        click(&find.dialog, "btn_find");
        QCOMPARE(find.count(), QStringLiteral("2")); // counted without overlap
        QCOMPARE(find.selection(), Range(0, 2));
        QCOMPARE(find.marks(), (QList<Range>{{0, 2}, {2, 4}}));
        click(&find.dialog, "btn_next");
        QCOMPARE(find.selection(), Range(2, 4));
        click(&find.dialog, "btn_back"); // shown one by one, they may overlap
        QCOMPARE(find.selection(), Range(1, 3));
        QCOMPARE(find.marks(), (QList<Range>{{0, 2}, {1, 3}, {2, 4}}));
        QCOMPARE(find.dialog.foundOffset(), 1);
        QVERIFY(boxes.seen.isEmpty());

        // A keyword that differs only in case (and spaces) starts over.
        find.type(QStringLiteral("  AA "));
        click(&find.dialog, "btn_next");
        QCOMPARE(find.count(), QStringLiteral("0"));
        QCOMPARE(find.marks(), (QList<Range>{{0, 2}}));
        find.type(QString());
        QVERIFY(find.marks().isEmpty() && !find.view()->hasSelection());
    }

    void findStartsAtTheReadingPosition()
    {
        const QString text = QStringLiteral("风起云涌，风停了。\n后来的事没有人知道。\n风又起了。");
        Find find(text, 10);
        Modals boxes;
        find.type(QStringLiteral("风"));
        click(&find.dialog, "btn_back");
        for (const char *button :
             {"btn_back", "btn_back", "rb_from_begin", "btn_next", "btn_next", "btn_next", "btn_next"})
            click(&find.dialog, button);
        QCOMPARE(boxes.texts(), (QStringList{QStringLiteral("别点了，到头了"), QStringLiteral("别点了，后边没了")}));
        QCOMPARE(boxes.seen.at(0).title, QStringLiteral("提示"));
        QCOMPARE(find.selection(), Range(21, 22));

        // A click into the text moves where the search goes on.
        QTest::mouseClick(find.view()->viewport(), Qt::LeftButton, Qt::NoModifier, find.view()->cursorRect(2).center());
        click(&find.dialog, "btn_next");
        QCOMPARE(find.selection(), Range(5, 6));
        click(&find.dialog, "btn_goto");
        QCOMPARE(find.dialog.result(), int(QDialog::Accepted));
        QCOMPARE(find.dialog.foundOffset(), 5);
    }

    void findWithNothingToFind_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("keyword");
        QTest::newRow("no book") << QString() << QStringLiteral("风");
        QTest::newRow("blank keyword") << QStringLiteral("风 风 风") << QStringLiteral("   ");
        QTest::newRow("absent keyword") << QStringLiteral("风 风 风") << QStringLiteral("雨");
    }

    void findWithNothingToFind()
    {
        QFETCH(QString, text);
        QFETCH(QString, keyword);
        Find find(text, 3);
        Modals boxes;
        find.type(keyword);
        for (const char *button : {"btn_find", "btn_next", "btn_back", "btn_goto"})
            click(&find.dialog, button);
        QCOMPARE(boxes.texts(), (QStringList{QStringLiteral("没有找到关键词"), QStringLiteral("别点了，后边没了"),
                                             QStringLiteral("别点了，到头了")}));
        QCOMPARE(find.count(), QStringLiteral("0"));
        QCOMPARE(find.dialog.result(), int(QDialog::Accepted));
        QCOMPARE(find.dialog.foundOffset(), 3);
    }

    void findMarksWhatIsOnScreenOfAWholeBook()
    {
        QString text;
        for (int i = 0; i < 20000; ++i) // several stretches of 65,536 characters
            text += QStringLiteral("第%1段，江上起了风，风很大。\n").arg(i);
        Find find(text, 0);
        QVERIFY(find.exposed);
        find.type(QStringLiteral("风"));
        click(&find.dialog, "btn_find");
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

    // Letters whose case variants are not plain ASCII pairs (Kelvin sign, long
    // s, final sigma), a character without case and surrogate pairs.
    void searchAgreesWithQStringEverywhere()
    {
        const QString alphabet = QString::fromUtf16(u"kK\u212asS\u017f\u03c3\u03c2\u03a3\u7684a\n");
        QRandomGenerator random(3);
        QString text;
        for (int i = 0; i < 3000; ++i) {
            if (random.bounded(40) == 0)
                text += QString::fromUtf16(random.bounded(2) ? u"\U00010400" : u"\U00010428");
            else
                text += alphabet.at(random.bounded(alphabet.size()));
        }
        KeywordSearch search(text);
        for (const char16_t *word :
             {u"k", u"KS", u"\u03c3\u03c2", u"\u7684k", u"s\u7684", u"\U00010400", u"a\U00010428"}) {
            const QString keyword = QString::fromUtf16(word);
            search.reset(keyword);
            for (int at = 0; at <= text.size() + 1; ++at) {
                QCOMPARE(search.next(at), text.indexOf(keyword, at, Qt::CaseInsensitive));
                const int before = qMin(at, text.size()) - 1;
                QCOMPARE(search.previous(at), at > 0 ? text.lastIndexOf(keyword, before, Qt::CaseInsensitive) : -1);
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
        QVERIFY(search.next(0) == -1 && search.previous(10) == -1 && search.markAll() == 0);
    }

    void commandsJumpToWhatTheDialogsChose()
    {
        ReaderConfig config;
        Reader reader(&config);
        Modals modals;
        modals.expect<ContentsDialog>([](ContentsDialog *dialog) {
            QCOMPARE(listOf(dialog)->model()->rowCount(), 0);
            click(dialog, "btn_jump");
            dialog->reject();
        });
        showContents(nullptr, &reader); // no book: a warning, and nothing to jump to
        QCOMPARE(modals.texts(), (QStringList{QString(), QStringLiteral("请先选择章节")}));
        QCOMPARE(modals.seen.at(1).title, QStringLiteral("提示"));

        // Bookmarks kept from a longer edition of the book.
        const QString path = write(QStringLiteral("三章.txt"), kChapters);
        QVERIFY(BookmarkFile::save(BookmarkFile::pathFor(path),
                                   {Bookmark{4, QStringLiteral("（自动保存）"), QString()},
                                    Bookmark{999999, QStringLiteral("第九章"), QStringLiteral("后来")}}));
        reader.openBook(path);
        reader.book()->waitForChapters();
        QCOMPARE(reader.position(), 4);
        QList<int> preselected;
        for (int position : {25, 2}) { // inside the second chapter, then in the preface
            reader.jumpTo(position);
            modals.expect<ContentsDialog>([&preselected](ContentsDialog *dialog) {
                preselected << listOf(dialog)->currentIndex().row();
                dialog->reject();
            });
            showContents(nullptr, &reader);
            QCOMPARE(reader.position(), position);
        }
        QCOMPARE(preselected, (QList<int>{1, 0}));
        modals.expect<ContentsDialog>([](ContentsDialog *dialog) {
            listOf(dialog, 2);
            click(dialog, "btn_jump");
        });
        showContents(nullptr, &reader);
        QCOMPARE(reader.position(), 36);

        modals.expect<FindDialog>([](FindDialog *dialog) { dialog->reject(); });
        showFind(nullptr, &reader);
        QCOMPARE(reader.position(), 36);
        modals.expect<FindDialog>([](FindDialog *dialog) {
            dialog->findChild<QLineEdit *>()->setText(QStringLiteral("正文"));
            click(dialog, "btn_next");
            click(dialog, "btn_goto");
        });
        showFind(nullptr, &reader);
        QCOMPARE(reader.position(), kChapters.indexOf(QStringLiteral("正文"), 36));

        modals.expect<BookmarkDialog>([](BookmarkDialog *dialog) {
            listOf(dialog, 1);
            click(dialog, "btn_goto");
        });
        showBookmarks(nullptr, &reader);
        QCOMPARE(reader.position(), 999999);
        QCOMPARE(reader.pageLength(), 0); // nothing to show there: the start screen
        reader.book()->flushBookmarks();
        QCOMPARE(offsetsInFile(reader.book()->bookmarkPath()), (QList<int>{999999, 999999}));
        showContents(nullptr, nullptr);
        showBookmarks(nullptr, nullptr);
        showFind(nullptr, nullptr);
    }
};

QTEST_MAIN(TestBrowseDialogs)
#include "tst_browsedialogs.moc"
