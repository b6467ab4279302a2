#include "BookTextLayout.h"

#include <QtTest>

namespace {

const int kPiece = BookTextLayout::kMaxBlock;

QString paragraph(int length)
{
    return QString(length, QChar(0x7532)) + QLatin1Char('\n');
}

} // namespace

class TestBookTextLayout : public QObject
{
    Q_OBJECT

private slots:
    void blocksTileTheText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("empty") << QString();
        QTest::newRow("short paragraphs, last one open") << paragraph(5) + paragraph(0) + QStringLiteral("abc");
        QTest::newRow("ending in a line feed") << paragraph(10) + paragraph(20);
        QTest::newRow("long paragraph ending on a piece boundary") << paragraph(2 * kPiece) + paragraph(7);
        QTest::newRow("exactly one piece long") << paragraph(kPiece - 10) + paragraph(kPiece) + paragraph(kPiece + 1);
        QTest::newRow("without any line feed") << QString(3 * kPiece + 17, QLatin1Char('a'));
        QString pairs = QStringLiteral("x");
        for (int i = 0; i < 2 * kPiece; ++i)
            pairs += QString::fromUtf16(u"\U00020000");
        QTest::newRow("surrogate pairs across boundaries") << pairs;
    }

    // Walking forward from the start gives each block once; looking up any
    // offset, and stepping back, must agree with that walk.
    void blocksTileTheText()
    {
        QFETCH(QString, text);
        BookTextLayout layout;
        layout.setText(text);
        int expected = 0;
        for (int block = 0; block >= 0; block = layout.nextBlock(block)) {
            QCOMPARE(block, expected);
            const int end = layout.blockEnd(block);
            QVERIFY(end >= block && end - block <= kPiece + 1);
            QVERIFY(block == text.size() || !text.at(block).isLowSurrogate() || !text.at(block - 1).isHighSurrogate());
            for (int offset = block; offset < end; ++offset)
                QCOMPARE(layout.blockAt(offset), block);
            if (end == text.size() || text.at(end) == QLatin1Char('\n'))
                QCOMPARE(layout.blockAt(end), block); // a paragraph's end is its last block's
            const int next = layout.nextBlock(block);
            if (next >= 0)
                QCOMPARE(layout.previousBlock(next), block);
            expected = end < text.size() && text.at(end) == QLatin1Char('\n') ? end + 1 : end;
        }
        QVERIFY(expected >= text.size());
    }
};

QTEST_MAIN(TestBookTextLayout)
#include "tst_booktextlayout.moc"
