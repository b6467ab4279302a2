#include "Book.h"
#include "BrowseCommands.h"
#include "ContentModel.h"
#include "ContentsDialog.h"
#include "ModalAnswer.h"
#include "Reader.h"
#include "ReaderConfig.h"

#include <QFile>
#include <QListView>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// A preface, then chapters whose "第" stands at offsets 6, 21 and 36.
const QString kText =
    QStringLiteral("序言序言序\n第一章 甲\n正文正文正文正文\n第二章 乙\n正文正文正文正文\n第三章 丙\n正文\n");

QString writeBook(const QTemporaryDir &dir, const QString &name, const QString &text)
{
    QFile file(dir.filePath(name));
    if (!file.open(QIODevice::WriteOnly) || file.write(text.toUtf8()) < 0)
        qFatal("cannot write %s", qPrintable(file.fileName()));
    return file.fileName();
}

QListView *listOf(QDialog *dialog)
{
    return dialog->findChild<QListView *>(QStringLiteral("listView"));
}

void clickJump(QDialog *dialog)
{
    dialog->findChild<QPushButton *>(QStringLiteral("btn_jump"))->click();
}

} // namespace

class TestContentsDialog : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(book.open(writeBook(dir, QStringLiteral("三章.txt"), kText)));
        book.waitForChapters();
        QCOMPARE(book.chapterCount(), 3);
    }

    void preselectsOnlyAnExactStart_data()
    {
        QTest::addColumn<int>("current");
        QTest::addColumn<int>("row");
        QTest::newRow("start of the second") << 21 << 1;
        QTest::newRow("inside a chapter") << 22 << -1;
        QTest::newRow("none") << -1 << -1;
    }

    void preselectsOnlyAnExactStart()
    {
        QFETCH(int, current);
        QFETCH(int, row);
        ContentsDialog dialog(book.title(true), &book, current);
        QCOMPARE(dialog.windowTitle(), QStringLiteral("目录 -《三章》"));
        QCOMPARE(listOf(&dialog)->model()->index(1, 0).data().toString(), QStringLiteral("第二章 乙"));
        QCOMPARE(listOf(&dialog)->currentIndex().row(), row);
        MessageBoxes boxes;
        clickJump(&dialog);
        QCOMPARE(dialog.result(), int(row < 0 ? QDialog::Rejected : QDialog::Accepted));
        QCOMPARE(dialog.selectedOffset(), row < 0 ? -1 : current);
        QCOMPARE(boxes.texts, row < 0 ? QStringList{QStringLiteral("请先选择章节")} : QStringList());
    }

    void doubleClickAcceptsThatRow()
    {
        ContentsDialog dialog(book.title(true), &book, 6);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QListView *view = listOf(&dialog);
        const QPoint third = view->visualRect(view->model()->index(2, 0)).center();
        // A real double click: the view acts on a second press of the row pressed first.
        QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::NoModifier, third);
        QTest::mouseDClick(view->viewport(), Qt::LeftButton, Qt::NoModifier, third);
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(dialog.selectedOffset(), 36);
    }

    void showsChaptersFoundAfterItOpened()
    {
        const int total = 30000;
        QString text;
        for (int i = 0; i < total; ++i)
            text += QStringLiteral("第%1章 风云\n\u3000\u3000正文正文正文正文正文。\n").arg(i + 1);
        Book growing;
        QVERIFY(growing.open(writeBook(dir, QStringLiteral("长.txt"), text)));
        ContentsDialog dialog(growing.title(true), &growing, 0);
        dialog.show();
        QListView *view = listOf(&dialog);
        const int known = view->model()->rowCount();
        QVERIFY2(known < total, "the parse ended before the dialog opened");
        view->setCurrentIndex(view->model()->index(known - 1, 0));

        QSignalSpy ready(&growing, &Book::chaptersReady);
        QVERIFY(ready.wait(20000));
        QCOMPARE(view->model()->rowCount(), total);
        QCOMPARE(view->currentIndex().row(), qMax(0, known - 1));
        const QModelIndex last = view->model()->index(total - 1, 0);
        view->scrollTo(last);
        QVERIFY(view->viewport()->rect().intersects(view->visualRect(last)));
    }

    void commandPreselectsTheChapterReadAndJumps()
    {
        ReaderConfig config;
        Reader reader(&config);
        reader.openBook(book.path());
        reader.book()->waitForChapters();
        // Inside the second chapter, then in the preface before the first.
        for (const auto &position : {QPair<int, int>(25, 1), QPair<int, int>(2, 0)}) {
            reader.jumpTo(position.first);
            int preselected = -2;
            ModalAnswer<ContentsDialog> answer([&](ContentsDialog *dialog) {
                preselected = listOf(dialog)->currentIndex().row();
                dialog->reject();
            });
            showContents(nullptr, &reader);
            QCOMPARE(preselected, position.second);
            QCOMPARE(reader.position(), position.first);
        }
        ModalAnswer<ContentsDialog> answer([&](ContentsDialog *dialog) {
            listOf(dialog)->setCurrentIndex(listOf(dialog)->model()->index(2, 0));
            clickJump(dialog);
        });
        showContents(nullptr, &reader);
        QCOMPARE(reader.position(), 36);
    }

    void commandWithoutABookOnlyWarns()
    {
        ReaderConfig config;
        Reader reader(&config);
        MessageBoxes boxes;
        int rows = -1;
        ModalAnswer<ContentsDialog> answer([&](ContentsDialog *dialog) {
            rows = listOf(dialog)->model()->rowCount();
            clickJump(dialog);
            dialog->reject();
        });
        showContents(nullptr, &reader);
        QCOMPARE(rows, 0);
        QCOMPARE(boxes.texts, QStringList{QStringLiteral("请先选择章节")});
        QCOMPARE(boxes.titles, QStringList{QStringLiteral("提示")});
        QCOMPARE(boxes.buttons.value(0), QMessageBox::StandardButtons(QMessageBox::Ok));
        QCOMPARE(reader.position(), 0);
        showContents(nullptr, nullptr);
    }

private:
    QTemporaryDir dir;
    Book book;
};

QTEST_MAIN(TestContentsDialog)
#include "tst_contentsdialog.moc"
