// What the find dialog is made of: the keyword search over a whole book, and
// the view that lays out only the lines on screen.

#include "BookTextView.h"
#include "KeywordSearch.h"

#include <QClipboard>
#include <QRandomGenerator>
#include <QtTest>

namespace {

const QColor kMark(247, 250, 165);
const QColor kCurrent(238, 219, 26);

// A view set up as the find dialog sets it up, given its text and its first
// line before it is shown, in a window so that its resizes take effect at once.
struct View
{
    View(const QString &text, int topOffset) : view(&window)
    {
        QPalette palette = view.palette();
        palette.setColor(QPalette::Highlight, kCurrent);
        view.setPalette(palette);
        view.setMarkColor(kMark);
        view.setText(text);
        view.showAtTop(topOffset);
        window.resize(420, 300);
        view.resize(420, 300);
        window.show();
        exposed = QTest::qWaitForWindowExposed(&window);
    }

    QWidget window;
    BookTextView view;
    bool exposed = false;
};

} // namespace

class TestBookTextView : public QObject
{
    Q_OBJECT

private slots:
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
        search.reset(QString());
        QVERIFY(search.next(0) == -1 && search.previous(10) == -1 && search.markAll() == 0);
    }

    void marksInAWindowAreThoseCountedFromTheStart_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("keyword");
        QRandomGenerator random(7);
        QString letters;
        for (int i = 0; i < 300000; ++i)
            letters += QLatin1Char(random.bounded(5) == 0 ? 'b' : 'a');
        QTest::newRow("overlapping keyword") << letters << QStringLiteral("aAa");
        QTest::newRow("border keyword") << letters << QStringLiteral("aba");
        QString sparse(400000, QLatin1Char('x'));
        for (int at : {10, 65530, 65536, 270000, 399990})
            sparse.replace(at, 3, QStringLiteral("的DE"));
        QTest::newRow("sparse") << sparse << QStringLiteral("的de");
    }

    void marksInAWindowAreThoseCountedFromTheStart()
    {
        QFETCH(QString, text);
        QFETCH(QString, keyword);
        QVector<int> counted; // the plain way: from the start, past each match
        for (int at = text.indexOf(keyword, 0, Qt::CaseInsensitive); at >= 0;
             at = text.indexOf(keyword, at + keyword.size(), Qt::CaseInsensitive))
            counted << at;
        KeywordSearch search(text);
        search.reset(keyword);
        QCOMPARE(search.markAll(), counted.size());
        QRandomGenerator random(11);
        QVector<QPair<int, int>> windows{{0, 4}, {65530, 65540}, {131071, 131075}, {text.size() - 20, text.size()}};
        for (int i = 0; i < 40; ++i) {
            const int from = random.bounded(text.size());
            windows.append({from, qMin(text.size(), from + random.bounded(1, 3000))});
        }
        for (const auto &window : windows) {
            QVector<int> expected;
            for (int start : qAsConst(counted)) {
                if (start + keyword.size() > window.first && start < window.second)
                    expected << start;
            }
            QCOMPARE(search.marksIn(window.first, window.second), expected);
        }
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
        // Odd offsets for every pair: pieces of a long paragraph must not begin inside one.
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
        if (offset - text.lastIndexOf(QLatin1Char('\n'), offset) < 100)
            QCOMPARE(first, text.lastIndexOf(QLatin1Char('\n'), offset) + 1);
        QVERIFY(!text.at(first).isLowSurrogate());
        // The last offset of the first line stays on top at any width.
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

    // Lines with the keyword twice alternate with lines without it; the
    // current occurrence is the first of the third line on screen.
    void marksAreDrawnOnTheirOccurrencesOnly_data()
    {
        QTest::addColumn<int>("lineCount");
        QTest::addColumn<int>("topLine");
        QTest::newRow("at the start") << 40 << 0;
        QTest::newRow("deep in a long text") << 300000 << 250000;
    }

    void marksAreDrawnOnTheirOccurrencesOnly()
    {
        QFETCH(int, lineCount);
        QFETCH(int, topLine);
        QString text;
        for (int i = 0; i < lineCount; ++i)
            text += i % 2 ? QStringLiteral("乙乙乙乙乙乙乙乙\n") : QStringLiteral("甲甲风甲甲甲风甲\n");
        QVector<int> everyOccurrence;
        for (int at = text.indexOf(QStringLiteral("风")); at >= 0; at = text.indexOf(QStringLiteral("风"), at + 1))
            everyOccurrence << at;
        View view(text, topLine * 9 + 3);
        QVERIFY(view.exposed);
        QCOMPARE(view.view.firstVisibleOffset(), topLine * 9);
        const int current = (topLine + 2) * 9 + 2;
        view.view.setMarks(everyOccurrence, 1);
        view.view.setSelection(current, current + 1);

        const QImage image = view.view.viewport()->grab().toImage();
        // Each occurrence on screen shows its colour where it stands, and no colour shows elsewhere.
        QRegion cells;
        for (int at : qAsConst(everyOccurrence)) {
            if (at < view.view.firstVisibleOffset() || at >= view.view.visibleEnd())
                continue;
            const QRect left = view.view.cursorRect(at);
            const QRect cell = QRect(left.topLeft(), QPoint(view.view.cursorRect(at + 1).x(), left.bottom()));
            cells += cell.adjusted(-1, -1, 1, 1);
            int marked = 0, selected = 0;
            for (int y = cell.top(); y <= qMin(cell.bottom(), image.height() - 1); ++y) {
                for (int x = cell.left(); x <= cell.right(); ++x) {
                    marked += image.pixelColor(x, y) == kMark;
                    selected += image.pixelColor(x, y) == kCurrent;
                }
            }
            QVERIFY2(at == current ? !marked && selected : marked && !selected, qPrintable(QString::number(at)));
        }
        QVERIFY(cells.rectCount() >= 8);
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                if (image.pixelColor(x, y) == kMark || image.pixelColor(x, y) == kCurrent)
                    QVERIFY2(cells.contains(QPoint(x, y)), qPrintable(QStringLiteral("%1,%2").arg(x).arg(y)));
            }
        }
    }
};

QTEST_MAIN(TestBookTextView)
#include "tst_booktextview.moc"
