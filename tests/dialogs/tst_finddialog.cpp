#include "BookTextView.h"
#include "BrowseCommands.h"
#include "FindDialog.h"
#include "ModalAnswer.h"
#include "Reader.h"
#include "ReaderConfig.h"

#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QtTest>

namespace {

using Range = QPair<int, int>;

// The dialog as the user meets it: shown, its widgets reached by name.
struct Find
{
    Find(const QString &text, int start) : dialog(text, start)
    {
        dialog.show();
        exposed = QTest::qWaitForWindowExposed(&dialog);
    }

    BookTextView *view() { return dialog.findChild<BookTextView *>(QStringLiteral("plainTextEdit")); }
    QString count() { return dialog.findChild<QLabel *>(QStringLiteral("tv_count"))->text(); }
    void type(const QString &keyword) { dialog.findChild<QLineEdit *>(QStringLiteral("et_keyword"))->setText(keyword); }
    void click(const char *name) { dialog.findChild<QAbstractButton *>(QLatin1String(name))->click(); }

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

QString lines(int count, const QString &line)
{
    QString text;
    for (int i = 0; i < count; ++i)
        text += line.arg(i) + QLatin1Char('\n');
    return text;
}

} // namespace

class TestFindDialog : public QObject
{
    Q_OBJECT

private slots:
    void fourEqualLetters()
    {
        const QString text = QStringLiteral("aaaa");
        Find find(text, 0);
        QCOMPARE(find.view()->palette().color(QPalette::Inactive, QPalette::Highlight), QColor(238, 219, 26));
        MessageBoxes boxes;
        find.type(QStringLiteral("aa"));
        find.click("btn_find");
        QCOMPARE(find.count(), QStringLiteral("2"));
        QCOMPARE(find.selection(), Range(0, 2));
        QCOMPARE(find.marks(), (QList<Range>{{0, 2}, {2, 4}}));
        find.click("btn_next");
        QCOMPARE(find.selection(), Range(2, 4));
        find.click("btn_back");
        QCOMPARE(find.selection(), Range(1, 3));
        QCOMPARE(find.marks(), (QList<Range>{{0, 2}, {1, 3}, {2, 4}}));
        QCOMPARE(find.dialog.foundOffset(), 1);
        QVERIFY(boxes.texts.isEmpty());
    }

    void aKeywordDifferingOnlyInCaseStartsOver()
    {
        const QString text = QStringLiteral("abc ABC aBc");
        Find find(text, 0);
        find.type(QStringLiteral("abc"));
        find.click("btn_find");
        find.click("btn_next");
        QCOMPARE(find.count(), QStringLiteral("3"));
        QCOMPARE(find.marks().size(), 3);
        find.type(QStringLiteral("  ABC "));
        find.click("btn_next");
        QCOMPARE(find.count(), QStringLiteral("0"));
        QCOMPARE(find.selection(), Range(0, 3));
        QCOMPARE(find.marks(), (QList<Range>{{0, 3}}));
    }

    void everyOccurrenceBeforeTheReadingPosition()
    {
        const QString text = QStringLiteral("风起云涌，风停了。后来的事没有人知道。");
        Find find(text, 10);
        MessageBoxes boxes;
        find.type(QStringLiteral("风"));
        find.click("btn_find");
        QCOMPARE(find.count(), QStringLiteral("2"));
        QCOMPARE(boxes.texts, QStringList{QStringLiteral("别点了，后边没了")});
        QCOMPARE(boxes.titles, QStringList{QStringLiteral("提示")});
        QCOMPARE(boxes.icons, QList<QMessageBox::Icon>{QMessageBox::Information});
        QCOMPARE(find.selection(), Range(10, 10));
        QCOMPARE(find.dialog.foundOffset(), 10);

        find.click("rb_from_begin");
        find.click("btn_find");
        QCOMPARE(find.selection(), Range(0, 1));
        find.click("btn_goto");
        QCOMPARE(find.dialog.result(), int(QDialog::Accepted));
        QCOMPARE(find.dialog.foundOffset(), 0);
    }

    void clearingTheKeywordDropsMarksSelectionAndCount()
    {
        const QString text = lines(50, QStringLiteral("第%1行 Tavril"));
        Find find(text, 0);
        find.type(QStringLiteral("tavril"));
        find.click("btn_find");
        QCOMPARE(find.count(), QStringLiteral("50"));
        QVERIFY(!find.marks().isEmpty());
        find.type(QString());
        QCOMPARE(find.count(), QStringLiteral("0"));
        QVERIFY(find.marks().isEmpty());
        QVERIFY(!find.view()->hasSelection());
    }

    void nothingToFind_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("keyword");
        QTest::newRow("no book") << QString() << QStringLiteral("风");
        QTest::newRow("blank keyword") << QStringLiteral("风 风 风") << QStringLiteral("   ");
        QTest::newRow("absent keyword") << QStringLiteral("风 风 风") << QStringLiteral("雨");
    }

    void nothingToFind()
    {
        QFETCH(QString, text);
        QFETCH(QString, keyword);
        Find find(text, 3);
        MessageBoxes boxes;
        find.type(keyword);
        find.click("btn_find");
        find.click("btn_next");
        find.click("btn_back");
        QCOMPARE(boxes.texts, (QStringList{QStringLiteral("没有找到关键词"), QStringLiteral("别点了，后边没了"),
                                           QStringLiteral("别点了，到头了")}));
        QCOMPARE(find.count(), QStringLiteral("0"));
        find.click("btn_goto");
        QCOMPARE(find.dialog.result(), int(QDialog::Accepted));
        QCOMPARE(find.dialog.foundOffset(), 3);
    }

    void withoutABookTheViewSaysWhy()
    {
        Find find(QString(), 0);
        QVERIFY(find.exposed);
        find.dialog.resize(900, 500);
        const QImage image = find.view()->viewport()->grab().toImage();
        const QColor base = find.view()->palette().color(QPalette::Base);
        QRect drawn;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                if (image.pixelColor(x, y) != base)
                    drawn |= QRect(x, y, 1, 1);
            }
        }
        const QFontMetrics metrics(find.view()->font());
        const int width = metrics.horizontalAdvance(QStringLiteral("无书籍内容，请先在主界面打开一个文本文件"));
        QVERIFY(drawn.width() <= width && drawn.width() >= width - 8); // on one line, nothing else
        QVERIFY(drawn.height() <= metrics.height());
    }

    void clickingIntoTheViewMovesWhereTheSearchStarts()
    {
        const QString text = lines(8, QStringLiteral("%1 甲乙 丙丁"));
        Find find(text, 0);
        QVERIFY(find.exposed);
        MessageBoxes boxes;
        find.type(QStringLiteral("丙丁"));
        find.click("btn_back"); // from position 0: nothing before
        QCOMPARE(boxes.texts, QStringList{QStringLiteral("别点了，到头了")});
        const int line5 = text.indexOf(QLatin1String("5 "));
        const QPoint target = find.view()->cursorRect(line5).center();
        QTest::mouseClick(find.view()->viewport(), Qt::LeftButton, Qt::NoModifier, target);
        find.click("btn_next");
        QCOMPARE(find.dialog.foundOffset(), text.indexOf(QStringLiteral("丙丁"), line5));
        QTest::mouseClick(find.view()->viewport(), Qt::LeftButton, Qt::NoModifier, target);
        find.click("btn_back");
        QCOMPARE(find.dialog.foundOffset(), text.lastIndexOf(QStringLiteral("丙丁"), line5));
    }

    void marksFollowTheViewAndTheTextIsLoadedOnce()
    {
        const QString text = lines(4000, QStringLiteral("第%1段，江上起了风，风很大。"));
        Find find(text, 0);
        QVERIFY(find.exposed);
        find.type(QStringLiteral("风"));
        find.click("btn_find");
        QCOMPARE(find.count(), QStringLiteral("8000"));
        auto visibleOccurrencesAreMarked = [&] {
            const QRect area = find.view()->viewport()->rect();
            const int top = find.view()->offsetAt(area.topLeft());
            const int bottom = find.view()->offsetAt(area.bottomRight());
            const QList<Range> marks = find.marks();
            for (int at = text.indexOf(QStringLiteral("风"), top); at >= 0 && at < bottom;
                 at = text.indexOf(QStringLiteral("风"), at + 1)) {
                if (!marks.contains(Range(at, at + 1)))
                    return false;
            }
            return bottom > top && marks.size() < 400; // what is on screen, never the whole book
        };
        QVERIFY(visibleOccurrencesAreMarked());
        find.view()->verticalScrollBar()->setValue(find.view()->verticalScrollBar()->maximum() / 2);
        QVERIFY(visibleOccurrencesAreMarked());
        QVERIFY(find.marks().first().first > text.size() / 3);
        find.dialog.resize(900, 900);
        QTest::qWait(50);
        QVERIFY(visibleOccurrencesAreMarked());

        find.type(QStringLiteral("江上"));
        find.click("btn_find");
        find.type(QStringLiteral("风很"));
        find.click("btn_next");
        QCOMPARE(find.view()->text().constData(), text.constData()); // shared, never copied
    }

    void commandJumpsToTheOccurrenceShown()
    {
        QTemporaryDir dir;
        QFile file(dir.filePath(QStringLiteral("f.txt")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(lines(30, QStringLiteral("%1 Tavril 阅读器")).toUtf8());
        file.close();
        ReaderConfig config;
        Reader reader(&config);
        reader.openBook(file.fileName());
        reader.jumpTo(100);
        ModalAnswer<FindDialog> closing([](FindDialog *dialog) { dialog->reject(); });
        showFind(nullptr, &reader);
        QVERIFY(closing.answered);
        QCOMPARE(reader.position(), 100);
        ModalAnswer<FindDialog> answer([](FindDialog *dialog) {
            dialog->findChild<QLineEdit *>(QStringLiteral("et_keyword"))->setText(QStringLiteral("TAVRIL"));
            dialog->findChild<QAbstractButton *>(QStringLiteral("btn_next"))->click();
            dialog->findChild<QAbstractButton *>(QStringLiteral("btn_goto"))->click();
        });
        showFind(nullptr, &reader);
        QCOMPARE(reader.position(), reader.book()->text().indexOf(QLatin1String("Tavril"), 100));
        showFind(nullptr, nullptr);
    }
};

QTEST_MAIN(TestFindDialog)
#include "tst_finddialog.moc"
