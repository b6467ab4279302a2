// What the find dialog is made of: the keyword search over a whole book, and
// the view that lays out only the lines on screen.

#include "BookTextView.h"
#include "KeywordSearch.h"

#include <QtTest>

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
        // Counted the plain way: from the start, past each match.
        QVector<int> counted;
        for (int at = text.indexOf(QStringLiteral("ks"), 0, Qt::CaseInsensitive); at >= 0;
             at = text.indexOf(QStringLiteral("ks"), at + 2, Qt::CaseInsensitive))
            counted << at;
        search.reset(QStringLiteral("kS"));
        QCOMPARE(search.markAll(), counted.size());
        QCOMPARE(search.marksIn(0, text.size()), counted);
        QVector<int> inWindow; // those that overlap [1000, 1010)
        for (int at : qAsConst(counted)) {
            if (at + 2 > 1000 && at < 1010)
                inWindow << at;
        }
        QCOMPARE(search.marksIn(1000, 1010), inWindow);
        search.reset(QString());
        QVERIFY(search.next(0) == -1 && search.previous(10) == -1 && search.markAll() == 0);
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
        // Given its text and its first line before it is shown, as the find
        // dialog does; in a window, so that its resizes take effect at once.
        QWidget window;
        BookTextView v(&window);
        v.setText(text);
        v.showAtTop(offset);
        window.resize(420, 300);
        v.resize(420, 300);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
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
};

QTEST_MAIN(TestBookTextView)
#include "tst_booktextview.moc"
