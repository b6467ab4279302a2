#include "KeywordSearch.h"

#include <QRandomGenerator>
#include <QtTest>

class TestKeywordSearch : public QObject
{
    Q_OBJECT

private slots:
    void agreesWithQStringEverywhere_data()
    {
        QTest::addColumn<QString>("keyword");
        for (const char16_t *keyword :
             {u"k", u"KS", u"\u03c3\u03c2", u"\u7684k", u"s\u7684", u"\U00010400", u"a\U00010428"})
            QTest::newRow(qPrintable(QString::fromUtf16(keyword))) << QString::fromUtf16(keyword);
    }

    // Letters whose case variants are not plain ASCII pairs (Kelvin sign,
    // long s, final sigma), a character without case and surrogate pairs.
    void agreesWithQStringEverywhere()
    {
        QFETCH(QString, keyword);
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
        search.reset(keyword);
        int found = 0;
        for (int at = 0; at <= text.size() + 1; ++at) {
            const int next = text.indexOf(keyword, at, Qt::CaseInsensitive);
            QCOMPARE(search.next(at), next);
            const int before = qMin(at, text.size()) - 1;
            QCOMPARE(search.previous(at), at > 0 ? text.lastIndexOf(keyword, before, Qt::CaseInsensitive) : -1);
            found += next == at;
        }
        QVERIFY(found > 0);
        search.reset(QString());
        QCOMPARE(search.next(0), -1);
        QCOMPARE(search.previous(10), -1);
        QCOMPARE(search.markAll(), 0);
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
        QTest::newRow("four equal letters") << QStringLiteral("aaaa") << QStringLiteral("aa");
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
            for (int start : counted) {
                if (start + keyword.size() > window.first && start < window.second)
                    expected << start;
            }
            QCOMPARE(search.marksIn(window.first, window.second), expected);
        }
        search.mark(1); // one shown by next or previous joins them
        QVERIFY(search.marksIn(0, 3).contains(1));
        search.reset(keyword);
        QVERIFY(search.marksIn(0, text.size()).isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestKeywordSearch)
#include "tst_keywordsearch.moc"
