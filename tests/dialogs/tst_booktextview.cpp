#include "BookTextView.h"

#include <QClipboard>
#include <QtTest>

namespace {

const QColor kMark(247, 250, 165);
const QColor kCurrent(238, 219, 26);

// Lines "甲甲风甲甲甲风甲" (keyword 风 at columns 2 and 6) alternating with
// lines without it, so that the marks of two text lines never touch.
const QString kMarked = QStringLiteral("甲甲风甲甲甲风甲");
const QString kPlain = QStringLiteral("乙乙乙乙乙乙乙乙");

QString alternating(int count)
{
    QString text;
    text.reserve(count * 9);
    for (int i = 0; i < count; ++i)
        text += (i % 2 == 0 ? kMarked : kPlain) + QLatin1Char('\n');
    return text;
}

// A view set up as the find dialog sets it up, given its text and its first
// line before it is shown (the dialog does the same). It sits in a window, so
// that its resizes take effect at once on every platform.
struct View
{
    View(const QString &text, int topOffset) : view(&window)
    {
        QPalette palette = view.palette();
        palette.setColor(QPalette::Highlight, kCurrent);
        palette.setColor(QPalette::HighlightedText, Qt::black);
        view.setPalette(palette);
        view.setMarkColor(kMark);
        view.setText(text);
        view.showAtTop(topOffset);
        window.resize(420, 300);
        view.resize(420, 300);
        window.show();
        exposed = QTest::qWaitForWindowExposed(&window);
    }

    QImage image() { return view.viewport()->grab().toImage(); }

    QWidget window;
    BookTextView view;
    bool exposed = false;
};

using Run = QPair<int, int>; // first and last x

// A horizontal band of rows holding a colour: one per text line that shows
// it, with one run of columns per range drawn in it.
struct Band
{
    int top = 0;
    QVector<Run> runs;
};

QVector<Band> bands(const QImage &image, const QColor &color)
{
    QVector<Band> found;
    QVector<bool> columns;
    auto closeBand = [&] {
        for (int x = 0; x < columns.size(); ++x) {
            if (columns.at(x) && (x == 0 || !columns.at(x - 1)))
                found.last().runs << Run(x, x);
            if (columns.at(x))
                found.last().runs.last().second = x;
        }
        columns.clear();
    };
    for (int y = 0; y < image.height(); ++y) {
        QVector<bool> row(image.width());
        for (int x = 0; x < image.width(); ++x)
            row[x] = image.pixelColor(x, y) == color;
        if (!row.contains(true)) {
            if (!columns.isEmpty())
                closeBand();
            continue;
        }
        if (columns.isEmpty()) {
            found << Band{y, {}};
            columns = row;
        }
        for (int x = 0; x < row.size(); ++x)
            columns[x] = columns.at(x) || row.at(x);
    }
    if (!columns.isEmpty())
        closeBand();
    return found;
}

} // namespace

class TestBookTextView : public QObject
{
    Q_OBJECT

private slots:
    void onlyOccurrencesOnScreenAreMarked_data()
    {
        QTest::addColumn<int>("lineCount");
        QTest::addColumn<int>("topLine");
        QTest::addColumn<int>("currentLine"); // its first occurrence is the current one
        QTest::newRow("at the start") << 40 << 0 << 4;
        QTest::newRow("deep in a long text") << 300000 << 250000 << 250002;
    }

    void onlyOccurrencesOnScreenAreMarked()
    {
        QFETCH(int, lineCount);
        QFETCH(int, topLine);
        QFETCH(int, currentLine);
        const QString text = alternating(lineCount);
        QVector<int> everyOccurrence;
        for (int at = text.indexOf(QStringLiteral("风")); at >= 0; at = text.indexOf(QStringLiteral("风"), at + 1))
            everyOccurrence << at;
        View view(text, topLine * 9 + 3);
        QVERIFY(view.exposed);
        view.view.setMarks(everyOccurrence, 1);
        const int current = currentLine * 9 + 2;
        view.view.setSelection(current, current + 1);
        QCOMPARE(view.view.firstVisibleOffset(), topLine * 9);

        const QImage image = view.image();
        const QVector<Band> marked = bands(image, kMark);
        const QVector<Band> selected = bands(image, kCurrent);
        QVERIFY(marked.size() >= 4);
        // Marked lines every other line from the top down to the bottom:
        // none on screen without marks, none of the plain lines marked.
        const int pitch = marked.at(1).top - marked.at(0).top;
        QVERIFY(marked.first().top < pitch / 2);
        for (int band = 1; band < marked.size(); ++band)
            QCOMPARE(marked.at(band).top - marked.at(band - 1).top, pitch);
        QVERIFY(marked.last().top + pitch >= image.height());

        const QFontMetrics metrics(view.view.font());
        const int keyword = metrics.horizontalAdvance(QStringLiteral("风"));
        const int apart = metrics.horizontalAdvance(QStringLiteral("风甲甲甲"));
        const int currentBand = (currentLine - topLine) / 2;
        for (int band = 0; band < marked.size(); ++band) {
            const QVector<Run> &runs = marked.at(band).runs;
            QCOMPARE(runs.size(), band == currentBand ? 1 : 2);
            for (const Run &run : runs)
                QVERIFY(qAbs(run.second - run.first + 1 - keyword) <= 1);
            if (runs.size() == 2)
                QVERIFY(qAbs(runs.at(1).first - runs.at(0).first - apart) <= 1);
        }
        QCOMPARE(selected.size(), 1);
        QCOMPARE(selected.at(0).top, marked.at(currentBand).top);
        QCOMPARE(selected.at(0).runs.size(), 1);
        const Run now = selected.at(0).runs.at(0);
        QVERIFY(qAbs(now.second - now.first + 1 - keyword) <= 1);
        QVERIFY(qAbs(marked.at(currentBand).runs.at(0).first - now.first - apart) <= 1); // the first of its line
    }

    void showsAnOffsetDeepInALargeTextAtTheTop_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("offset");
        QString paragraphs;
        for (int i = 0; i < 400000; ++i)
            paragraphs += QStringLiteral("第%1行，江上起了风。\n").arg(i);
        QTest::newRow("short paragraphs") << paragraphs << paragraphs.indexOf(QStringLiteral("第300000行")) + 4;
        QTest::newRow("one paragraph without end") << QString(4000000, QChar(0x7532)) << 3000001;
        // Odd offsets for every pair: pieces of a long paragraph must not
        // begin inside one.
        QString pairs = QStringLiteral("x");
        for (int i = 0; i < 1000000; ++i)
            pairs += QString::fromUtf16(u"\U00020000");
        QTest::newRow("surrogate pairs") << pairs << 366 * 4096 + 3; // in the first line of a piece
    }

    void showsAnOffsetDeepInALargeTextAtTheTop()
    {
        QFETCH(QString, text);
        QFETCH(int, offset);
        View view(text, offset);
        QVERIFY(view.exposed);
        BookTextView &v = view.view;
        const int first = v.firstVisibleOffset();
        QVERIFY(first <= offset && offset < v.visibleEnd());
        QCOMPARE(v.cursorRect(offset).top(), v.cursorRect(first).top());
        const int paragraph = text.lastIndexOf(QLatin1Char('\n'), offset) + 1;
        if (offset - paragraph < 100)
            QCOMPARE(first, paragraph);
        QVERIFY(!text.at(first).isLowSurrogate());
        // Where the first line ends, so that narrower lines would move it
        // down if the view kept the line's start on top rather than it.
        QTest::keyClick(&v, Qt::Key_Down);
        const int lastOfLine = v.firstVisibleOffset() - 1;
        v.showAtTop(lastOfLine);
        QCOMPARE(v.firstVisibleOffset(), first);
        for (int width : {300, 100}) {
            v.resize(width, 300);
            QCOMPARE(v.cursorRect(lastOfLine).top(), v.cursorRect(v.firstVisibleOffset()).top());
        }
        v.resize(420, 300);
        QCOMPARE(v.firstVisibleOffset(), first);

        const int end = v.visibleEnd();
        QTest::keyClick(&v, Qt::Key_PageDown);
        const int paged = v.firstVisibleOffset();
        QVERIFY(paged > first && paged < end); // a page on, nothing skipped
        QTest::keyClick(&v, Qt::Key_Up);
        QVERIFY(v.firstVisibleOffset() < paged && v.firstVisibleOffset() > first);
        QTest::keyClick(&v, Qt::Key_End);
        QCOMPARE(v.visibleEnd(), text.size());
        QTest::keyClick(&v, Qt::Key_Home);
        QCOMPARE(v.firstVisibleOffset(), 0);
    }

    void clickingPlacesTheCursor_data()
    {
        QTest::addColumn<int>("line");
        QTest::addColumn<bool>("atRightEdge");
        QTest::addColumn<int>("expected");
        // "甲乙丙丁\n戊己庚辛\n壬癸": lines start at 0, 5 and 10.
        QTest::newRow("left of a line") << 1 << false << 5;
        QTest::newRow("right of a line") << 1 << true << 9;
        QTest::newRow("left of the last line") << 2 << false << 10;
        QTest::newRow("below the text") << 6 << false << 12;
    }

    void clickingPlacesTheCursor()
    {
        QFETCH(int, line);
        QFETCH(bool, atRightEdge);
        QFETCH(int, expected);
        const QString text = QStringLiteral("甲乙丙丁\n戊己庚辛\n壬癸");
        View view(text, 0);
        QVERIFY(view.exposed);
        const QRect first = view.view.cursorRect(0);
        const QRect second = view.view.cursorRect(5);
        const int y = first.center().y() + line * (second.top() - first.top());
        const QPoint point(atRightEdge ? view.view.viewport()->width() - 2 : 0, y);
        QTest::mouseClick(view.view.viewport(), Qt::LeftButton, Qt::NoModifier, point);
        QCOMPARE(view.view.cursorPosition(), expected);
        QVERIFY(!view.view.hasSelection());
    }

    void draggingSelectsAndCopies()
    {
        const QString text = QStringLiteral("甲乙丙丁\n戊己庚辛\n壬癸");
        View view(text, 0);
        QVERIFY(view.exposed);
        QWidget *area = view.view.viewport();
        const QPoint from(0, view.view.cursorRect(5).center().y());
        const QPoint to(area->width() - 2, view.view.cursorRect(10).center().y());
        QTest::mousePress(area, Qt::LeftButton, Qt::NoModifier, from);
        QMouseEvent move(QEvent::MouseMove, to, Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(area, &move);
        QTest::mouseRelease(area, Qt::LeftButton, Qt::NoModifier, to);
        QCOMPARE(view.view.selectedText(), QStringLiteral("戊己庚辛\n壬癸"));
        QGuiApplication::clipboard()->clear();
        QTest::keyClick(&view.view, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("戊己庚辛\n壬癸"));
    }
};

QTEST_MAIN(TestBookTextView)
#include "tst_booktextview.moc"
