#include "decodeText.h"

#include <QTextCodec>

#include <cstring>
#include <memory>
#include <mutex>

// Qt's UTF-8 and GBK codecs are general and slow on a 50 MB novel, and the
// UTF-8 attempt on a GBK book would build a whole string only to throw it
// away. The fast paths below produce exactly what the codecs produce, and
// hand anything unusual back to the codecs.

namespace {

QString decodeWith(const char *codecName, const QByteArray &bytes)
{
    QTextCodec::ConverterState state;
    return QTextCodec::codecForName(codecName)->toUnicode(bytes.constData(), bytes.size(), &state);
}

bool startsWith(const QByteArray &bytes, const char *mark, int length)
{
    return bytes.size() >= length && std::memcmp(bytes.constData(), mark, size_t(length)) == 0;
}

bool isContinuation(uchar byte)
{
    return (byte & 0xC0) == 0x80;
}

bool allContinuations(const uchar *from, const uchar *end)
{
    for (; from < end; ++from) {
        if (!isContinuation(*from))
            return false;
    }
    return true;
}

// Decodes well-formed UTF-8 into `out` (room for one QChar per byte). Returns
// the number of QChars written, or -1 at the first sequence Qt's codec counts
// as invalid. Like the codec with a converter state, it drops one leading
// byte-order mark and an incomplete sequence at the very end.
qsizetype decodeCleanUtf8(const uchar *src, qsizetype size, char16_t *out)
{
    const uchar *p = src;
    const uchar *const end = src + size;
    if (size >= 3 && p[0] == 0xEF && p[1] == 0xBB && p[2] == 0xBF)
        p += 3;
    char16_t *o = out;
    while (p < end) {
        // Runs of ASCII go eight bytes at a time.
        while (end - p >= 8) {
            quint64 chunk;
            std::memcpy(&chunk, p, 8);
            if (chunk & 0x8080808080808080ULL)
                break;
            for (int i = 0; i < 8; ++i)
                o[i] = p[i];
            o += 8;
            p += 8;
        }
        if (p >= end)
            break;
        const uchar lead = *p;
        if (lead < 0x80) {
            *o++ = lead;
            ++p;
            continue;
        }
        int need;
        uint cp;
        uint least;
        if (lead < 0xC2)
            return -1;
        if (lead < 0xE0) {
            need = 1, cp = lead & 0x1F, least = 0x80;
        } else if (lead < 0xF0) {
            need = 2, cp = lead & 0x0F, least = 0x800;
        } else if (lead < 0xF5) {
            need = 3, cp = lead & 0x07, least = 0x10000;
        } else {
            return -1;
        }
        if (end - p <= need) {
            // Only an unfinished sequence at the very end passes silently.
            if (allContinuations(p + 1, end))
                break;
            return -1;
        }
        for (int i = 1; i <= need; ++i) {
            if (!isContinuation(p[i]))
                return -1;
            cp = (cp << 6) | (p[i] & 0x3F);
        }
        if (cp < least || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            return -1;
        if (cp >= 0x10000) {
            *o++ = char16_t(0xD800 + ((cp - 0x10000) >> 10));
            *o++ = char16_t(0xDC00 + (cp & 0x3FF));
        } else {
            *o++ = char16_t(cp);
        }
        p += need + 1;
    }
    return o - out;
}

// GBK pair -> character, taken once from Qt's own GBK codec so both agree.
// 0 marks a pair that does not decode to exactly one ordinary character.
class GbkTable
{
public:
    static const GbkTable &instance()
    {
        static GbkTable table;
        return table;
    }
    char16_t at(uint pair) const { return map[pair]; }

private:
    GbkTable() : map(new char16_t[0x10000]())
    {
        QTextCodec *codec = QTextCodec::codecForName("GBK");
        char pair[2];
        for (uint lead = 0x81; lead <= 0xFE; ++lead) {
            for (uint trail = 0x40; trail <= 0xFE; ++trail) {
                pair[0] = char(lead);
                pair[1] = char(trail);
                const QString decoded = codec->toUnicode(pair, 2);
                if (decoded.size() == 1 && decoded.at(0) != QChar::ReplacementCharacter)
                    map[(lead << 8) | trail] = decoded.at(0).unicode();
            }
        }
    }
    std::unique_ptr<char16_t[]> map;
};

// Decodes ASCII and table pairs into `out`; -1 when anything else turns up.
qsizetype decodePlainGbk(const uchar *src, qsizetype size, char16_t *out)
{
    const GbkTable &table = GbkTable::instance();
    const uchar *p = src;
    const uchar *const end = src + size;
    char16_t *o = out;
    while (p < end) {
        if (*p < 0x80) {
            *o++ = *p++;
            continue;
        }
        if (end - p < 2)
            return -1;
        const char16_t c = table.at((uint(p[0]) << 8) | p[1]);
        if (c == 0)
            return -1;
        *o++ = c;
        p += 2;
    }
    return o - out;
}

// Runs a fast decoder into a string sized for the worst case (a QChar per
// byte); a null string when the decoder gives up.
template <typename Decoder> QString decodeFast(const QByteArray &bytes, Decoder decoder)
{
    QString text(bytes.size(), Qt::Uninitialized);
    const qsizetype length = decoder(reinterpret_cast<const uchar *>(bytes.constData()), bytes.size(),
                                     reinterpret_cast<char16_t *>(text.data()));
    if (length < 0)
        return QString();
    text.resize(int(length));
    text.squeeze();
    return text;
}

bool hasZeroAt(const QByteArray &bytes, int first, int last)
{
    const char *data = bytes.constData();
    for (int i = first; i <= last; i += 2) {
        if (data[i] == 0)
            return true;
    }
    return false;
}

} // namespace

bool looksLikeGbk(const char *data, int length)
{
    const uchar *bytes = reinterpret_cast<const uchar *>(data);
    bool sawPair = false;
    int i = 0;
    while (i < length - 1) {
        const uchar byte = bytes[i];
        if (byte == 0)
            return false;
        if (byte < 0x80) {
            ++i;
            continue;
        }
        const uint pair = (uint(byte) << 8) | bytes[i + 1];
        if (pair < 0x8140 || pair > 0xFEFE)
            return false;
        sawPair = true;
        i += 2;
    }
    return sawPair;
}

QString decodeText(const QByteArray &bytes)
{
    if (bytes.size() > MaxDecodableSize)
        return QString();
    if (startsWith(bytes, "\xFF\xFE\x00\x00", 4))
        return decodeWith("UTF-32LE", bytes);
    if (startsWith(bytes, "\x00\x00\xFE\xFF", 4))
        return decodeWith("UTF-32BE", bytes);
    if (startsWith(bytes, "\xFE\xFF", 2))
        return decodeWith("UTF-16BE", bytes);
    if (startsWith(bytes, "\xFF\xFE", 2))
        return decodeWith("UTF-16LE", bytes);

    if (bytes.isEmpty())
        return QString(QLatin1String(""));
    QString utf8 = decodeFast(bytes, decodeCleanUtf8);
    if (!utf8.isNull())
        return utf8;

    if (looksLikeGbk(bytes.constData(), bytes.size())) {
        QString gbk = decodeFast(bytes, decodePlainGbk);
        if (!gbk.isNull())
            return gbk;
        return QTextCodec::codecForName("GBK")->toUnicode(bytes);
    }
    const int size = bytes.size();
    if (hasZeroAt(bytes, 1, size - 2))
        return decodeWith("UTF-16LE", bytes);
    if (hasZeroAt(bytes, 0, size - 1))
        return decodeWith("UTF-16BE", bytes);
    return decodeWith("GB18030", bytes);
}
