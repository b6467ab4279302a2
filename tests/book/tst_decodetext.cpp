#include "decodeText.h"

#include <QtTest>

namespace {

const QString kProse =
    QStringLiteral("第一章 风起云涌\n\u3000\u3000天色将晚，江上起了风。老渔夫收起网，回头望了一眼远处的山影，"
                   "低声说：“今夜怕是不太平。”\n\u3000\u3000他的孙女笑道：“爷爷又在吓人了！”ABC 123, ok.\n");

// Traditional prose, for Big5 and for GBK (which holds these characters too).
const QString kTraditional =
    QStringLiteral("　　老張說：「我要到城裡去一趟，給你娘買藥。她的病已經好幾天了，總是不見好轉，我心裡很著急。」"
                   "兒子說：「那我跟您一起去吧，路上也好有個照應。」老張想了想，點點頭，說：「也好，你去把車推出來，我"
                   "們吃了飯就走。」\n");

// The text in Qt's codec of that name, without a byte-order mark.
QByteArray encode(const char *codec, const QString &text)
{
    QTextCodec::ConverterState state(QTextCodec::IgnoreHeader);
    return QTextCodec::codecForName(codec)->fromUnicode(text.constData(), text.size(), &state);
}

QByteArray hex(const char *digits)
{
    return QByteArray::fromHex(digits);
}

} // namespace

class TestDecodeText : public QObject
{
    Q_OBJECT

private slots:
    // Bytes, encoding asked for, text read (null: not compared), encoding used.
    void decodes_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QString>("asked");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("used");
        const auto row = [](const char *name, const QByteArray &data, const QString &text, const char *used,
                            const char *asked = "auto") { QTest::newRow(name) << data << asked << text << used; };
        const QString crlf = QString(kProse).replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
        row("UTF-32LE mark", hex("fffe0000") + encode("UTF-32LE", kProse), kProse, "utf-32");
        row("UTF-32BE mark", hex("0000feff") + encode("UTF-32BE", kProse), kProse, "utf-32");
        row("UTF-16LE mark", hex("fffe") + encode("UTF-16LE", kProse), kProse, "utf-16le");
        row("UTF-16BE mark", hex("feff") + encode("UTF-16BE", kProse), kProse, "utf-16be");
        row("UTF-8 mark, CR LF kept", hex("efbbbf") + crlf.toUtf8(), crlf, "utf-8");
        row("empty", QByteArray(), "", "utf-8");
        row("UTF-16 mark alone", hex("fffe"), "", "utf-16le");
        row("UTF-8 mark alone", hex("efbbbf"), "", "utf-8");
        row("NUL in ASCII", QByteArray("a\0b", 3), QString::fromUtf16(u"a\0b", 3), "utf-8");
        // Where the fast UTF-8 reading must agree with Qt's codec.
        row("noncharacter", "a\xEF\xBF\xBE", "a\uFFFE", "utf-8");
        row("supplementary", "a\xF0\x9F\x98\x80z", "a\U0001F600z", "utf-8");
        row("unfinished at the end", "ab\xE4\xB8", "ab", "utf-8");
        row("unfinished, bad second byte", "a\xE0\x80", "a", "utf-8");
        row("second mark kept", "\xEF\xBB\xBF\xEF\xBB\xBFz", QChar(0xFEFF) + QStringLiteral("z"), "utf-8");
        row("mark then unfinished", "\xEF\xBB\xBF\xE4", "", "utf-8");
        row("中 is UTF-8 before GBK", "\xE4\xB8\xAD", "中", "utf-8");
        row("C0 at the end", "a\xC0", "a", "gb18030");
        row("overlong", "a\xC0\x80z", "a\u7EAEz", "gb18030");
        row("surrogate", "a\xED\xA0\x80z", "a\u980E\uFFFDz", "gb18030");
        row("beyond 10FFFF", "a\xF4\x90\x80\x80", "a\u9B6B\uFFFD\uFFFD", "gb18030");
        row("lone continuation", "a\x80z", "a\uFFFDz", "gb18030");
        row("GBK lead at the end", "\xD6\xD0\xB9", "中", "gb18030");
        // GBK, GB18030 and Big5.
        row("GBK", encode("GBK", kProse), kProse, "gb18030");
        row("three-byte GBK", "\xD6\xD0\x41", "中A", "gb18030");
        row("GB18030 four-byte", hex("81308130"), "\u0080", "gb18030");
        row("GB18030 four-byte, then prose", hex("81308130") + encode("GB18030", kProse), "\u0080" + kProse, "gb18030");
        const QString beyondGbk = kProse + QStringLiteral("\u00e9\u0080 \U0001F600 \u20ac");
        row("GB18030 beyond GBK", encode("GB18030", beyondGbk), beyondGbk, "gb18030");
        const QString manyChapters = kTraditional.repeated(800); // past the first sample, into the later ones
        row("Big5", encode("Big5", kTraditional), kTraditional, "big5");
        row("Big5, long", encode("Big5", manyChapters), manyChapters, "big5");
        row("Big5, one line", encode("Big5", kTraditional.left(40)), kTraditional.left(40), "big5");
        row("traditional GBK", encode("GBK", kTraditional), kTraditional, "gb18030");
        // UTF-16 without a mark: by where the 00 bytes are.
        row("UTF-16LE", encode("UTF-16LE", kProse), kProse, "utf-16le");
        row("UTF-16BE", encode("UTF-16BE", QStringLiteral("中文 测试\n")), "中文 测试\n", "utf-16be");
        row("NUL at an even index only", hex("80410042"), "\u8041B", "utf-16be");
        // UTF-8 with rare stray bytes: one in 10,000 bytes, ten good multi-byte each.
        QByteArray half;
        while (half.size() < 5000)
            half += kProse.toUtf8();
        const QString halfText = QString::fromUtf8(half);
        row("one stray byte", half + "\xFF" + half, halfText + "\uFFFD" + halfText, "utf-8");
        row("cut character", half + "\xE4\xB8" + half, halfText + "\uFFFD" + halfText, "utf-8");
        row("overlong pair, 20,000 bytes", half + "\xC0\x80" + half + half + half,
            halfText + "\uFFFD\uFFFD" + halfText + halfText + halfText, "utf-8");
        row("three in 20,000 bytes", half + "\xFF" + half + "\xFF" + half + "\xFF" + half, QString(), "gb18030");
        row("under 10,000 bytes", half + "\xFF", QString(), "gb18030");
        const QByteArray ascii(10000, 'a');
        row("five multi-byte for one stray", ascii + QByteArray("\xC3\xA9").repeated(5) + "\xFF" + ascii, QString(),
            "gb18030");
        const QString code = QString(30000, QLatin1Char('x')) + QStringLiteral("中文注释");
        row("GBK comment in ASCII", encode("GBK", code), code, "gb18030");
        // Asked for.
        row("UTF-8 asked, stray byte", "a\xFF\xE4\xB8\xAD", "a\uFFFD中", "utf-8", "UTF-8");
        row("GB18030 asked, euro sign", "\x41\xA2\xE3", "A\u20AC", "gb18030", "gb18030");
        row("Hong Kong Big5", "\x87\x40", "\u43F0", "big5", "big5");
        row("UTF-16BE asked", encode("UTF-16BE", kProse), kProse, "utf-16be", "utf-16be");
        row("UTF-32 asked, no mark", encode("UTF-32LE", kProse), kProse, "utf-32", "utf-32");
        row("unknown name reads as Auto", encode("GBK", kProse), kProse, "gb18030", "latin-1");
    }
    void decodes()
    {
        QFETCH(QByteArray, data);
        QFETCH(QString, asked);
        QFETCH(QString, text);
        QFETCH(QString, used);
        TextEncoding encoding = TextEncoding::Auto;
        const QString read = decodeText(data, textEncodingFromName(asked), &encoding);
        QCOMPARE(textEncodingName(encoding), used);
        if (!text.isNull()) {
            QCOMPARE(read, text);
            QCOMPARE(decodeText(data, encoding), text); // the choice named reads the same
        }
        if (asked == QLatin1String("auto")) {
            QCOMPARE(decodeText(data), read);
            QCOMPARE(detectEncoding(data), encoding);
        }
    }

    // GBK pairs run from 8140 to FEFE, among ASCII; a lone lead byte may end the text.
    void looksLikeGbk()
    {
        const auto gbkLike = [](const QByteArray &bytes) { return ::looksLikeGbk(bytes.constData(), bytes.size()); };
        QVERIFY(gbkLike(encode("GBK", kProse)));
        for (const char *yes : {"8140", "41fefe", "d6d0b9", "d6d041"})
            QVERIFY2(gbkLike(hex(yes)), yes);
        // Nothing but ASCII, a NUL, pairs below and above, GB18030's four bytes, a lone lead byte, UTF-16 中\n文.
        for (const char *no : {"", "6869", "d6d00061", "d6d0813f", "d6d0feff", "81308130", "d6", "2d4e0a008765"})
            QVERIFY2(!gbkLike(hex(no)), no);
    }

    void lineEnds()
    {
        QString text = QStringLiteral("a\r\nb\rc\r\r\nd\n\re\r");
        normalizeLineEnds(text);
        QCOMPARE(text, QStringLiteral("a\nb\nc\n\nd\n\ne\n"));
    }

    // A long book of any character GBK and UTF-8 hold reads back as written.
    void longBooksReadBack()
    {
        QRandomGenerator random(7);
        QString text;
        for (int i = 0; i < 20000; ++i)
            text +=
                random.bounded(10) < 7 ? QChar(0x4E00 + random.bounded(0x51A6)) : QChar(0x20 + random.bounded(0x5F));
        QCOMPARE(decodeText(encode("GBK", text)), text);
        QCOMPARE(decodeText(text.toUtf8()), text);
    }
};

QTEST_GUILESS_MAIN(TestDecodeText)
#include "tst_decodetext.moc"
