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

// Traditional prose, for Big5 and for GBK (which holds these characters too).
const QString kTraditional =
    QStringLiteral("　　這一天清晨，天還沒有亮，老張就起來了。他走到院子裡，看了看東邊的天色，心裡想著今天要做的事情。"
                   "昨天晚上下了一場大雨，路上到處都是水，村口的那條小河漲得很高。他的兒子從屋裡出來，問他：「爹，您這"
                   "麼早起來做什麼？」\n"
                   "　　老張說：「我要到城裡去一趟，給你娘買藥。她的病已經好幾天了，總是不見好轉，我心裡很著急。」"
                   "兒子說：「那我跟您一起去吧，路上也好有個照應。」老張想了想，點點頭，說：「也好，你去把車推出來，我"
                   "們吃了飯就走。」\n"
                   "　　兩個人吃過早飯，便推著車出了門。一路上，他們聽見樹上的鳥在叫，看見田裡的農民已經開始工作。"
                   "兒子問：「爹，城裡的醫生真的能治好娘的病嗎？」老張歎了一口氣，說：「誰知道呢？只要還有一點希望，我"
                   "們就不能放棄。」\n"
                   "　　到了城門口，守門的兵攔住他們，問他們從哪裡來，要到哪裡去。老張一一回答了，那兵才讓他們進去。"
                   "城裡的街道很寬，兩邊都是商店，人來人往，非常熱鬧。兒子第一次進城，什麼都覺得新鮮，一會兒看看這個，"
                   "一會兒問問那個。\n");

// Classical prose, full of characters that are rare in modern novels.
const QString kClassical = QStringLiteral(
    "道可道，非常道；名可名，非常名。無名天地之始，有名萬物之母。故常無欲，以觀其妙；常有欲，以觀其徼。"
    "此兩者同出而異名，同謂之玄，玄之又玄，眾妙之門。\n子曰：學而時習之，不亦說乎？有朋自遠方來，不亦樂乎？"
    "人不知而不慍，不亦君子乎？\n");

// Chinese UTF-8 of at least `size` bytes, made of kProse.
QByteArray longUtf8(int size)
{
    QByteArray out;
    while (out.size() < size)
        out += kProse.toUtf8();
    return out;
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

    // Expected: the encoding the bytes were made in. The text is also read
    // back in the encoding named.
    void chosenEncoding_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QString>("encoding");
        QTest::addColumn<QString>("text");
        const QString manyChapters = kTraditional.repeated(200); // past the first sample, into the later ones
        QTest::newRow("Big5") << encode("Big5", kTraditional) << "big5" << kTraditional;
        QTest::newRow("Big5, long") << encode("Big5", manyChapters) << "big5" << manyChapters;
        QTest::newRow("Big5, classical") << encode("Big5", kClassical) << "big5" << kClassical;
        QTest::newRow("Big5, one line") << encode("Big5", kTraditional.left(40)) << "big5" << kTraditional.left(40);
        QTest::newRow("traditional GBK") << encode("GBK", kTraditional) << "gb18030" << kTraditional;
        QTest::newRow("traditional GBK, long") << encode("GBK", manyChapters) << "gb18030" << manyChapters;
        QTest::newRow("classical GBK") << encode("GBK", kClassical) << "gb18030" << kClassical;
        QTest::newRow("simplified GBK") << encode("GBK", kProse) << "gb18030" << kProse;
        QTest::newRow("three-byte GBK") << bytes({0xD6, 0xD0, 0x41}) << "gb18030" << QStringLiteral("中A");
        QTest::newRow("GB18030 four-byte") << bytes({0x81, 0x30, 0x81, 0x30}) << "gb18030" << QString(QChar(0x80));
        QTest::newRow("UTF-16LE") << encode("UTF-16LE", kProse) << "utf-16le" << kProse;
        QTest::newRow("UTF-32BE with mark")
            << bytes({0, 0, 0xFE, 0xFF}) + encode("UTF-32BE", kProse) << "utf-32" << kProse;
    }
    void chosenEncoding()
    {
        QFETCH(QByteArray, data);
        QFETCH(QString, encoding);
        QFETCH(QString, text);
        QCOMPARE(textEncodingName(detectEncoding(data)), encoding);
        QCOMPARE(decodeText(data), text);
        QCOMPARE(decodeText(data, textEncodingFromName(encoding)), text);
    }

    void utf8WithStrayBytes_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QString>("text"); // empty: not read as UTF-8
        const QByteArray half = longUtf8(5000);
        const QString halfText = QString::fromUtf8(half);
        const QString bad(QChar::ReplacementCharacter);
        QTest::newRow("one stray byte") << half + "\xFF" + half << halfText + bad + halfText;
        QTest::newRow("cut character") << half + "\xE4\xB8" + half << halfText + bad + halfText;
        QTest::newRow("overlong pair, 20,000 bytes")
            << half + "\xC0\x80" + half + half + half << halfText + bad + bad + halfText + halfText + halfText;
        QTest::newRow("three in 20,000 bytes") << half + "\xFF" + half + "\xFF" + half + "\xFF" + half << QString();
        QTest::newRow("under 10,000 bytes") << half + "\xFF" << QString();
        // Well-formed multi-byte sequences must be the rule, not the exception.
        QTest::newRow("mostly ASCII") << QByteArray(20000, 'a') + "\xC3\xA9\xFF" << QString();
        const QString code = QString(30000, QLatin1Char('x')) + QStringLiteral("中文注释");
        QTest::newRow("GBK comment in ASCII") << encode("GBK", code) << QString();
    }
    void utf8WithStrayBytes()
    {
        QFETCH(QByteArray, data);
        QFETCH(QString, text);
        const bool utf8 = !text.isEmpty();
        QCOMPARE(detectEncoding(data) == TextEncoding::Utf8, utf8);
        QCOMPARE(decodeText(data), utf8 ? text : referenceDecode(data));
    }

    void explicitEncodings_data()
    {
        QTest::addColumn<QString>("encoding");
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QString>("text");
        QTest::newRow("short utf-8, stray byte") << "UTF-8" << QByteArray("a\xFF\xE4\xB8\xAD") << "a\uFFFD中";
        QTest::newRow("gb18030 euro sign") << "gb18030" << bytes({0x41, 0xA2, 0xE3}) << "A\u20AC";
        QTest::newRow("short big5") << "big5" << encode("Big5", QStringLiteral("臺灣")) << "臺灣";
        QTest::newRow("Hong Kong Big5") << "big5" << bytes({0x87, 0x40}) << "\u43F0";
        QTest::newRow("utf-16be") << "utf-16be" << encode("UTF-16BE", kProse) << kProse;
        QTest::newRow("utf-32 without mark") << "utf-32" << encode("UTF-32LE", kProse) << kProse;
        QTest::newRow("unknown name reads as Auto") << "latin-1" << encode("GBK", kProse) << kProse;
    }
    void explicitEncodings()
    {
        QFETCH(QString, encoding);
        QFETCH(QByteArray, data);
        QFETCH(QString, text);
        QCOMPARE(decodeText(data, textEncodingFromName(encoding)), text);
    }

    void detectedEncodingReadsTheSame()
    {
        QRandomGenerator random(15);
        for (int i = 0; i < 5000; ++i) {
            const QByteArray data = i % 3 == 0 ? randomBytes(random) : awkwardBytes(random);
            const TextEncoding detected = detectEncoding(data);
            // Where Auto reads GBK, an explicit choice reads GB18030, its superset.
            QTextCodec::ConverterState state;
            const QString expected = detected == TextEncoding::Gb18030
                                         ? QTextCodec::codecForName("GB18030")->toUnicode(data, data.size(), &state)
                                         : decodeText(data);
            if (decodeText(data, detected) != expected)
                QFAIL(qPrintable(QStringLiteral("differs on %1").arg(QString::fromLatin1(data.toHex(' ')))));
            QVERIFY(!decodeText(data, TextEncoding(1 + i % 6)).isNull()); // each explicit one
        }
    }

    void lineEnds()
    {
        QString text = QStringLiteral("a\r\nb\rc\r\r\nd\n\re\r");
        normalizeLineEnds(text);
        QCOMPARE(text, QStringLiteral("a\nb\nc\n\nd\n\ne\n"));
        // Without CR nothing is copied.
        const QString plain = kProse;
        QString copy = plain;
        normalizeLineEnds(copy);
        QCOMPARE(copy.constData(), plain.constData());
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
