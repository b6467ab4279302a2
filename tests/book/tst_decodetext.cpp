#include "decodeText.h"

#include <QRandomGenerator>
#include <QTextCodec>
#include <QtTest>

namespace {

const QString kProse =
    QStringLiteral("第一章 风起云涌\n\u3000\u3000天色将晚，江上起了风。老渔夫收起网，回头望了一眼远处的山影，"
                   "低声说：“今夜怕是不太平。”\n\u3000\u3000他的孙女笑道：“爷爷又在吓人了！”ABC 123, ok.\n");

// Without a byte-order mark: Qt's UTF-16 and UTF-32 encoders would add one.
QByteArray encode(const char *codec, const QString &text)
{
    QTextCodec::ConverterState state(QTextCodec::IgnoreHeader);
    return QTextCodec::codecForName(codec)->fromUnicode(text.constData(), text.size(), &state);
}

QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray out;
    for (int v : values)
        out.append(char(v));
    return out;
}

// The decoding procedure written out plainly with Qt's codecs, to hold the
// fast decoder to exactly the same results.
QString referenceDecode(const QByteArray &data)
{
    auto withState = [&](const char *name) {
        QTextCodec::ConverterState state;
        return QTextCodec::codecForName(name)->toUnicode(data.constData(), data.size(), &state);
    };
    if (data.startsWith(QByteArray("\xFF\xFE\x00\x00", 4)))
        return withState("UTF-32LE");
    if (data.startsWith(QByteArray("\x00\x00\xFE\xFF", 4)))
        return withState("UTF-32BE");
    if (data.startsWith("\xFE\xFF"))
        return withState("UTF-16BE");
    if (data.startsWith("\xFF\xFE"))
        return withState("UTF-16LE");
    QTextCodec::ConverterState state;
    const QString utf8 = QTextCodec::codecForName("UTF-8")->toUnicode(data.constData(), data.size(), &state);
    if (state.invalidChars == 0)
        return utf8;
    if (looksLikeGbk(data.constData(), data.size()))
        return QTextCodec::codecForName("GBK")->toUnicode(data);
    for (int i = 1; i <= data.size() - 2; i += 2) {
        if (data.at(i) == 0)
            return withState("UTF-16LE");
    }
    for (int i = 0; i < data.size(); i += 2) {
        if (data.at(i) == 0)
            return withState("UTF-16BE");
    }
    return withState("GB18030");
}

// Bytes that wander between encodings: valid and broken UTF-8 of every
// length, GBK pairs, NULs, marks and unfinished sequences.
QByteArray awkwardBytes(QRandomGenerator &random)
{
    static const QByteArray pieces[] = {
        "a",
        "\n",
        "\r\n",
        QByteArray("\0", 1),
        "\xEF\xBB\xBF",
        "\xC3\xA9",
        "\xE4\xB8\xAD",
        "\xF0\x9F\x98\x80",
        "\xC0\x80",
        "\xED\xA0\x80",
        "\xF4\x90\x80\x80",
        "\x80",
        "\xE4\xB8",
        "\xF0\x9F",
        "\xC2",
        "\xD6\xD0",
        "\xB9\xFA",
        "\x81\x30\x81\x30",
        "\xFF",
        "\xFE",
        "\xA1\xA1",
        "\xEF\xBF\xBE",
        "\xF5",
        "\xE0\x80",
    };
    const int count = int(sizeof(pieces) / sizeof(pieces[0]));
    QByteArray out;
    const int n = random.bounded(12);
    const bool utf8Heavy = random.bounded(2) == 0;
    for (int i = 0; i < n; ++i) {
        if (utf8Heavy && random.bounded(4) != 0)
            out += pieces[random.bounded(8)];
        else
            out += pieces[random.bounded(count)];
    }
    return out;
}

QByteArray randomBytes(QRandomGenerator &random)
{
    QByteArray out(random.bounded(40), '\0');
    for (char &c : out)
        c = char(random.bounded(256));
    return out;
}

} // namespace

class TestDecodeText : public QObject
{
    Q_OBJECT

private slots:
    void byteOrderMarks_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::newRow("UTF-32LE") << bytes({0xFF, 0xFE, 0, 0}) + encode("UTF-32LE", kProse);
        QTest::newRow("UTF-32BE") << bytes({0, 0, 0xFE, 0xFF}) + encode("UTF-32BE", kProse);
        QTest::newRow("UTF-16LE") << bytes({0xFF, 0xFE}) + encode("UTF-16LE", kProse);
        QTest::newRow("UTF-16BE") << bytes({0xFE, 0xFF}) + encode("UTF-16BE", kProse);
        QTest::newRow("UTF-8 with mark") << bytes({0xEF, 0xBB, 0xBF}) + kProse.toUtf8();
        QTest::newRow("UTF-8") << kProse.toUtf8();
        QTest::newRow("GBK") << encode("GBK", kProse);
    }
    void byteOrderMarks()
    {
        QFETCH(QByteArray, data);
        QCOMPARE(decodeText(data), kProse);
    }

    void utf8WithCrLfKeepsTheCarriageReturns()
    {
        QString crlf = kProse;
        crlf.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
        QCOMPARE(decodeText(bytes({0xEF, 0xBB, 0xBF}) + crlf.toUtf8()), crlf);
    }

    void gb18030FourByteSequences()
    {
        QCOMPARE(decodeText(bytes({0x81, 0x30, 0x81, 0x30})), QString(QChar(0x80)));
        const QString prose = kProse + QStringLiteral("\u00e9\u0080 \U0001F600 \u20ac");
        const QByteArray data = encode("GB18030", prose);
        QCOMPARE(decodeText(data), referenceDecode(data));
        QCOMPARE(decodeText(bytes({0x81, 0x30, 0x81, 0x30}) + encode("GB18030", kProse)),
                 QString(QChar(0x80)) + kProse);
    }

    void utf16WithoutMark()
    {
        const QString ascii = QStringLiteral("plain ascii\n");
        QString withNuls;
        for (QChar c : ascii)
            withNuls += QString(c) + QChar(0);
        QCOMPARE(decodeText(encode("UTF-16LE", ascii)), withNuls);
        QCOMPARE(decodeText(encode("UTF-16LE", kProse)), kProse);
        // Without a mark, big-endian text is found only when no code unit ends
        // in a 00 byte (一 is 4E 00): here it reads as the chain says.
        const QByteArray be = encode("UTF-16BE", kProse);
        QCOMPARE(decodeText(be), referenceDecode(be));
        QCOMPARE(decodeText(encode("UTF-16BE", QStringLiteral("中文 测试\n"))), QStringLiteral("中文 测试\n"));
    }

    void tinyInputs()
    {
        QCOMPARE(decodeText(QByteArray("a")), QStringLiteral("a"));
        QVERIFY(decodeText(QByteArray()).isEmpty());
        QVERIFY(decodeText(bytes({0xEF, 0xBB, 0xBF})).isEmpty());
        QVERIFY(decodeText(bytes({0xFF, 0xFE})).isEmpty());
        QVERIFY(decodeText(bytes({0xFE, 0xFF})).isEmpty());
        QVERIFY(decodeText(bytes({0xFF, 0xFE, 0, 0})).isEmpty());
        QCOMPARE(decodeText(QByteArray("a\0b", 3)), QString::fromUtf16(u"a\0b", 3));
    }

    void validUtf8WinsOverGbk()
    {
        // 中 in UTF-8 (E4 B8 AD) is also a GBK pair plus a byte; UTF-8 comes first.
        QCOMPARE(decodeText(QByteArray("\xE4\xB8\xAD")), QStringLiteral("中"));
    }

    void utf8EdgeSequencesMatchTheCodec_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::newRow("noncharacter") << QByteArray("a\xEF\xBF\xBE");
        QTest::newRow("supplementary") << QByteArray("a\xF0\x9F\x98\x80z");
        QTest::newRow("unfinished at end") << QByteArray("ab\xE4\xB8");
        QTest::newRow("unfinished bad second byte at end") << QByteArray("a\xE0\x80");
        QTest::newRow("C0 at end") << QByteArray("a\xC0");
        QTest::newRow("F5 at end") << QByteArray("a\xF5");
        QTest::newRow("overlong") << QByteArray("a\xC0\x80z");
        QTest::newRow("surrogate") << QByteArray("a\xED\xA0\x80z");
        QTest::newRow("beyond 10FFFF") << QByteArray("a\xF4\x90\x80\x80");
        QTest::newRow("second mark kept") << QByteArray("\xEF\xBB\xBF\xEF\xBB\xBFz");
        QTest::newRow("lone continuation") << QByteArray("a\x80z");
        QTest::newRow("mark then unfinished") << QByteArray("\xEF\xBB\xBF\xE4");
        QTest::newRow("GBK lead at end") << QByteArray("\xD6\xD0\xB9");
    }
    void utf8EdgeSequencesMatchTheCodec()
    {
        QFETCH(QByteArray, data);
        QCOMPARE(decodeText(data), referenceDecode(data));
    }

    void looksLikeGbk_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<bool>("expected");
        QTest::newRow("GBK prose") << encode("GBK", kProse) << true;
        QTest::newRow("pure ASCII") << QByteArray("hello") << false;
        QTest::newRow("empty") << QByteArray() << false;
        QTest::newRow("NUL") << QByteArray("\xD6\xD0\0a", 4) << false;
        QTest::newRow("pair below 8140") << bytes({0x81, 0x30, 0x81, 0x30}) << false;
        QTest::newRow("pair above FEFE") << bytes({0xFE, 0xFF}) << false;
        QTest::newRow("pair 8235 passes") << bytes({0x82, 0x35}) << true;
        QTest::newRow("lead byte at the end passes") << bytes({0xD6, 0xD0, 0xB9}) << true;
        QTest::newRow("single lead byte") << bytes({0xD6}) << false;
        QTest::newRow("UTF-16LE line feed") << encode("UTF-16LE", QStringLiteral("中\n文")) << false;
    }
    void looksLikeGbk()
    {
        QFETCH(QByteArray, data);
        QFETCH(bool, expected);
        QCOMPARE(::looksLikeGbk(data.constData(), data.size()), expected);
    }

    void fallbackChainOrder()
    {
        // Not UTF-8, not GBK (pair below 8140), a NUL at an odd index: UTF-16LE.
        const QByteArray le = encode("UTF-16LE", QStringLiteral("中文\n测试"));
        QCOMPARE(decodeText(le), QStringLiteral("中文\n测试"));
        // The only NUL at an even index: UTF-16BE.
        const QByteArray be = bytes({0x80, 0x41, 0x00, 0x42});
        QCOMPARE(decodeText(be), referenceDecode(be));
        QCOMPARE(decodeText(be).size(), 2);
    }

    void matchesTheCodecsOnAwkwardInput()
    {
        QRandomGenerator random(42);
        for (int i = 0; i < 20000; ++i) {
            const QByteArray data = i % 3 == 0 ? randomBytes(random) : awkwardBytes(random);
            const QString expected = referenceDecode(data);
            const QString actual = decodeText(data);
            if (actual != expected)
                QFAIL(qPrintable(QStringLiteral("differs on %1").arg(QString::fromLatin1(data.toHex(' ')))));
        }
    }

    void matchesTheCodecsOnLongGbkAndUtf8()
    {
        QRandomGenerator random(7);
        QString text;
        for (int i = 0; i < 20000; ++i) {
            const uint pick = random.bounded(10);
            text += pick < 7 ? QChar(0x4E00 + random.bounded(0x51A5)) : QChar(0x20 + random.bounded(0x5F));
        }
        const QByteArray gbk = encode("GBK", text);
        QCOMPARE(decodeText(gbk), referenceDecode(gbk));
        QCOMPARE(decodeText(text.toUtf8()), text);
        // A GBK book with one byte the table does not know still decodes as the codec does.
        QByteArray damaged = gbk;
        damaged[damaged.size() / 2] = char(0xFF);
        QCOMPARE(decodeText(damaged), referenceDecode(damaged));
    }
};

QTEST_GUILESS_MAIN(TestDecodeText)
#include "tst_decodetext.moc"
