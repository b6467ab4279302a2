#include "Book.h"
#include "BookmarkDialog.h"
#include "BookmarkFile.h"
#include "BookmarkModel.h"
#include "BrowseCommands.h"
#include "ModalAnswer.h"
#include "Reader.h"
#include "ReaderConfig.h"

#include <QFile>
#include <QListView>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

namespace {

QList<int> offsetsOf(const QList<Bookmark> &bookmarks)
{
    QList<int> offsets;
    for (const Bookmark &bookmark : bookmarks)
        offsets << bookmark.offset;
    return offsets;
}

QList<int> offsetsInFile(const QString &path)
{
    QFile file(path);
    QList<Bookmark> bookmarks;
    if (file.open(QIODevice::ReadOnly))
        BookmarkFile::read(file, &bookmarks);
    return offsetsOf(bookmarks);
}

QList<int> rowOffsets(QDialog *dialog)
{
    QList<int> offsets;
    QAbstractItemModel *model = dialog->findChild<QListView *>(QStringLiteral("listView"))->model();
    for (int row = 0; row < model->rowCount(); ++row)
        offsets << model->index(row, 0).data(BookmarkModel::BookmarkRole).value<Bookmark>().offset;
    return offsets;
}

void setCurrentRow(QDialog *dialog, int row)
{
    auto *view = dialog->findChild<QListView *>(QStringLiteral("listView"));
    view->setCurrentIndex(view->model()->index(row, 0));
}

void click(QDialog *dialog, const char *button)
{
    dialog->findChild<QPushButton *>(QLatin1String(button))->click();
}

} // namespace

class TestBookmarkDialog : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        bookPath = dir.filePath(QStringLiteral("书.txt"));
        QFile::remove(BookmarkFile::pathFor(bookPath));
        QFile file(bookPath);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QStringLiteral("第一章 起\n天色将晚，江上起了风。\n第二章 承\n老渔夫收起网。\n").toUtf8());
    }

    void deletingAsksThenRemovesTheRowAndRewritesTheFile()
    {
        Book book;
        QVERIFY(book.open(bookPath));
        for (int offset : {5, 20, 30})
            book.addBookmark(offset, false);
        BookmarkDialog dialog(&book);
        dialog.show();
        QCOMPARE(dialog.windowTitle(), QStringLiteral("书签 -《书》"));
        setCurrentRow(&dialog, 2);
        {
            MessageBoxes no(QMessageBox::No);
            click(&dialog, "btn_del");
            QCOMPARE(no.texts, QStringList{QStringLiteral("确认删除此书签吗？")});
            QCOMPARE(no.titles, QStringList{QStringLiteral("提示")});
            QCOMPARE(no.buttons.value(0), QMessageBox::Yes | QMessageBox::No);
            QCOMPARE(rowOffsets(&dialog), (QList<int>{0, 5, 20, 30}));
        }
        MessageBoxes yes(QMessageBox::Yes);
        click(&dialog, "btn_del");
        QCOMPARE(yes.texts.size(), 1);
        QCOMPARE(rowOffsets(&dialog), (QList<int>{0, 5, 30}));
        QCOMPARE(offsetsInFile(book.bookmarkPath()), (QList<int>{0, 5, 30}));
        QVERIFY(dialog.isVisible());
        QCOMPARE(dialog.selectedOffset(), -1);
    }

    void theAutomaticBookmarkIsNeverDeletedButCanBeJumpedTo()
    {
        Book book;
        QVERIFY(book.open(bookPath));
        book.autoSaveBookmark(14);
        book.addBookmark(3, false);
        BookmarkDialog dialog(&book);
        setCurrentRow(&dialog, 0);
        MessageBoxes boxes(QMessageBox::Yes);
        click(&dialog, "btn_del");
        QVERIFY(boxes.texts.isEmpty());
        QCOMPARE(offsetsInFile(book.bookmarkPath()), (QList<int>{14, 3}));
        click(&dialog, "btn_goto");
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(dialog.selectedOffset(), 14);
    }

    void withoutACurrentRowBothButtonsWarn()
    {
        Book noBook; // never opened: no bookmarks at all
        BookmarkDialog dialog(&noBook);
        MessageBoxes boxes;
        click(&dialog, "btn_del");
        click(&dialog, "btn_goto");
        QCOMPARE(boxes.texts,
                 QStringList(QStringList() << QStringLiteral("请先选择书签!") << QStringLiteral("请先选择书签!")));
        QCOMPARE(boxes.icons, (QList<QMessageBox::Icon>{QMessageBox::Warning, QMessageBox::Warning}));
        QCOMPARE(boxes.buttons.value(1), QMessageBox::StandardButtons(QMessageBox::Ok));
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
        QCOMPARE(dialog.selectedOffset(), -1);
    }

    void commandJumpsEvenToAnOffsetOutsideTheText()
    {
        // A bookmark file kept from a longer edition of the book.
        QVERIFY(BookmarkFile::save(BookmarkFile::pathFor(bookPath),
                                   {Bookmark{4, QStringLiteral("（自动保存）"), QString()},
                                    Bookmark{999999, QStringLiteral("第九章"), QStringLiteral("后来")}}));
        ReaderConfig config;
        Reader reader(&config);
        reader.openBook(bookPath);
        ModalAnswer<BookmarkDialog> closing([](BookmarkDialog *dialog) { dialog->reject(); });
        showBookmarks(nullptr, &reader);
        QVERIFY(closing.answered);
        QCOMPARE(reader.position(), 4);

        ModalAnswer<BookmarkDialog> answer([](BookmarkDialog *dialog) {
            setCurrentRow(dialog, 1);
            click(dialog, "btn_goto");
        });
        showBookmarks(nullptr, &reader);
        QCOMPARE(reader.position(), 999999);
        QCOMPARE(reader.pageLength(), 0); // nothing to show there: the start screen
        reader.book()->flushBookmarks();
        QCOMPARE(offsetsInFile(reader.book()->bookmarkPath()), (QList<int>{999999, 999999}));
        showBookmarks(nullptr, nullptr);
    }

private:
    QTemporaryDir dir;
    QString bookPath;
};

QTEST_MAIN(TestBookmarkDialog)
#include "tst_bookmarkdialog.moc"
