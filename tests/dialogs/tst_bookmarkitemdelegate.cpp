#include "Book.h"
#include "BookmarkDialog.h"
#include "BookmarkItemDelegate.h"
#include "BookmarkModel.h"
#include "fitCharCount.h"

#include <QFile>
#include <QHoverEvent>
#include <QListView>
#include <QPainter>
#include <QStandardItemModel>
#include <QTemporaryDir>
#include <QTextLayout>
#include <QtTest>

namespace {

const QString kSummary = QStringLiteral("天色将晚，江上起了风。Old fisherman Li pulled in his net, "
                                        "回头望远处的山影，低声说：今夜怕是不太平 and went home.");

// One card painted on white at 240 x 60.
QImage paintCard(const QString &title, const QString &summary, const QFont &font)
{
    QStandardItemModel model(1, 1);
    model.setData(model.index(0, 0), QVariant::fromValue(Bookmark{0, title, summary}), BookmarkModel::BookmarkRole);
    QImage image(240, 60, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setFont(font);
    QStyleOptionViewItem option;
    option.rect = image.rect();
    BookmarkItemDelegate().paint(&painter, option, model.index(0, 0));
    return image;
}

} // namespace

class TestBookmarkItemDelegate : public QObject
{
    Q_OBJECT

private slots:
    void fitCharCountEndsAtTheLastLineThatFits_data()
    {
        QTest::addColumn<QFont>("font");
        QTest::addColumn<qreal>("width");
        for (const QString &family : {QStringLiteral("Noto Sans CJK SC"), QStringLiteral("DejaVu Sans")}) {
            for (int points : {8, 12, 19}) {
                for (qreal width : {1.0, 57.0, 133.5, 420.0})
                    QTest::addRow("%s %dpt %g", qPrintable(family), points, width) << QFont(family, points) << width;
            }
        }
    }

    void fitCharCountEndsAtTheLastLineThatFits()
    {
        QFETCH(QFont, font);
        QFETCH(qreal, width);
        QTextLayout layout(kSummary, font);
        QList<int> lines;
        layout.beginLayout();
        for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
            line.setLineWidth(width);
            lines << line.textLength();
        }
        layout.endLayout();
        const int lineHeight = QFontMetrics(font).lineSpacing();
        for (qreal height : {1.0, 2.0 * lineHeight - 1, 2.0 * lineHeight, 40.0, 3.5 * lineHeight}) {
            int expected = 0;
            for (int i = 0; i < qMin(qMax(1, int(height / lineHeight)), lines.size()); ++i)
                expected += lines.at(i);
            QCOMPARE(fitCharCount(QRectF(3, 17, width, height), kSummary, font), expected);
        }
        QCOMPARE(fitCharCount(QRectF(0, 0, width, 40), QString(), font), 0);
    }

    void summaryIsOneRunCutAtALineEnd()
    {
        QFont font(QStringLiteral("DejaVu Sans"));
        font.setPixelSize(15); // a line spacing that does not divide the 40-pixel summary area
        const QString title = QStringLiteral("第一章 起");
        QString broken = kSummary;
        broken.insert(20, QLatin1Char('\n')).insert(5, QStringLiteral("\n\n"));
        const QImage card = paintCard(title, kSummary, font);
        QCOMPARE(paintCard(title, broken, font), card);
        const int fitting = fitCharCount(QRectF(0, 20, 240, 40), kSummary, font);
        QVERIFY(fitting > 0 && fitting < kSummary.size());
        QCOMPARE(paintCard(title, kSummary.left(fitting), font), card);

        QImage titleOnly = paintCard(title, QString(), font);
        QVERIFY(titleOnly.copy(0, 0, 240, 20) != paintCard(QString(), QString(), font).copy(0, 0, 240, 20));
        QImage blank(240, 40, QImage::Format_RGB32);
        blank.fill(Qt::white);
        QCOMPARE(titleOnly.copy(0, 20, 240, 40), blank);
    }

    void grabbedListShowsHoverAndSelection()
    {
        QTemporaryDir dir;
        QFile file(dir.filePath(QStringLiteral("b.txt")));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write("abc\n") == 4);
        file.close();
        Book book;
        QVERIFY(book.open(file.fileName()));
        book.addBookmark(1, false);
        book.addBookmark(2, false);
        BookmarkDialog dialog(&book);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        auto *view = dialog.findChild<QListView *>(QStringLiteral("listView"));
        view->setCurrentIndex(view->model()->index(1, 0));
        auto hover = [view](int row) {
            QHoverEvent move(QEvent::HoverMove, view->visualRect(view->model()->index(row, 0)).center(), QPoint());
            QApplication::sendEvent(view->viewport(), &move);
            return view->viewport()->grab().toImage();
        };
        // Colours at the right-hand end of a card, clear of its short texts,
        // and on its outline.
        auto fill = [view](const QImage &image, int row) {
            const QRect card = view->visualRect(view->model()->index(row, 0));
            return QColor(image.pixel(card.right() - 3, card.center().y()));
        };
        auto outline = [view](const QImage &image, int row) {
            const QRect card = view->visualRect(view->model()->index(row, 0));
            return QColor(image.pixel(card.right(), card.center().y()));
        };
        QCOMPARE(view->visualRect(view->model()->index(1, 0)).height(), 60);
        const QImage hoveringRow2 = hover(2);
        QCOMPARE(fill(hoveringRow2, 2), QColor("#ebecff"));
        QCOMPARE(outline(hoveringRow2, 2), QColor("#0b2ddd"));
        QCOMPARE(fill(hoveringRow2, 1), QColor("#e0e0f6"));
        QCOMPARE(outline(hoveringRow2, 1), QColor("#0e30e0"));
        QCOMPARE(fill(hoveringRow2, 0), view->viewport()->palette().color(QPalette::Base));
        const QImage hoveringSelected = hover(1);
        QCOMPARE(fill(hoveringSelected, 1), QColor("#e0e0f6"));
        QCOMPARE(outline(hoveringSelected, 1), QColor("#0e30e0"));
    }
};

QTEST_MAIN(TestBookmarkItemDelegate)
#include "tst_bookmarkitemdelegate.moc"
