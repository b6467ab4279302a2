#include "FastDecoding.h"

#include "GbkTable.h"

#include <QTextCodec>

#include <cstring>

// Qt's UTF-8 and GBK codecs are general and slow on a 50 MB novel, and the
// UTF-8 attempt on a GBK book would build a whole string only to throw it
// away. The fast paths here produce exactly what the codecs produce, and
// hand anything unusual back to the codecs.

namespace {

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

// Runs of ASCII go eight bytes at a time.
void copyAsciiRun(const uchar *&p, const uchar *end, char16_t *&o)
{
    while (end - p >= 8) {
        quint64 chunk;
        std::memcpy(&chunk, p, 8);
        if (chunk & 0x8080808080808080ULL)
            return;
        for (int i = 0; i < 8; ++i)
            o[i] = p[i];
        o += 8;
        p += 8;
    }
}

// Decodes well-formed UTF-8 into `out` (room for one QChar per byte). Returns
// the number of QChars written, or -1 at the first sequence Qt's codec counts
// as invalid. Like the codec with a converter state, it drops one leading
// byte-order mark and an incomplete sequence at the very end.
qsizetype cleanUtf8(const uchar *src, qsizetype size, char16_t *out)
{
    const uchar *p = src;
    const uchar *const end = src + size;
    if (size >= 3 && p[0] == 0xEF && p[1] == 0xBB && p[2] == 0xBF)
        p += 3;
    char16_t *o = out;
    while (p < end) {
        copyAsciiRun(p, end, o);
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

// Length of the well-formed sequence at `p` (its code point in *cp), or minus
// the length of the longest start of one found there: that maximal subpart
// becomes one U+FFFD, as Unicode recommends.
int utf8Sequence(const uchar *p, const uchar *end, uint *cp)
{
    const uchar lead = *p;
    if (lead < 0x80) {
        *cp = lead;
        return 1;
    }
    if (lead < 0xC2 || lead > 0xF4)
        return -1;
    int need = lead < 0xE0 ? 1 : lead < 0xF0 ? 2 : 3;
    *cp = lead & (0x3F >> need);
    // The second byte's range also rules out overlong forms, surrogates and
    // code points past 10FFFF.
    uchar low = lead == 0xE0 ? 0xA0 : lead == 0xF0 ? 0x90 : 0x80;
    uchar high = lead == 0xED ? 0x9F : lead == 0xF4 ? 0x8F : 0xBF;
    for (int i = 1; i <= need; ++i) {
        if (end - p <= i || p[i] < low || p[i] > high)
            return -i;
        *cp = (*cp << 6) | (p[i] & 0x3F);
        low = 0x80;
        high = 0xBF;
    }
    return need + 1;
}

struct Utf8Counts
{
    qsizetype invalid = 0;
    qsizetype multiByte = 0;
};

// Decodes UTF-8 with each ill-formed sequence as one U+FFFD, dropping one
// leading byte-order mark. Gives up (-1) after `maxInvalid` such sequences.
qsizetype decodeMendedUtf8(const uchar *src, qsizetype size, char16_t *out, qsizetype maxInvalid, Utf8Counts *counts)
{
    const uchar *p = src;
    const uchar *const end = src + size;
    if (size >= 3 && p[0] == 0xEF && p[1] == 0xBB && p[2] == 0xBF)
        p += 3;
    char16_t *o = out;
    while (p < end) {
        copyAsciiRun(p, end, o);
        if (p >= end)
            break;
        uint cp;
        const int length = utf8Sequence(p, end, &cp);
        if (length < 0) {
            if (++counts->invalid > maxInvalid)
                return -1;
            *o++ = char16_t(QChar::ReplacementCharacter);
            p -= length;
            continue;
        }
        if (cp >= 0x10000) {
            *o++ = char16_t(0xD800 + ((cp - 0x10000) >> 10));
            *o++ = char16_t(0xDC00 + (cp & 0x3FF));
        } else {
            *o++ = char16_t(cp);
        }
        counts->multiByte += length > 1;
        p += length;
    }
    return o - out;
}

// Decodes ASCII and table pairs into `out`; -1 when anything else turns up.
// For GB18030 a pair GBK leaves as a private-use character turns up too:
// GB18030 has a real character there (A2E3 is the euro sign).
template <bool AsGb18030> qsizetype decodePlainGbk(const uchar *src, qsizetype size, char16_t *out)
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
        if (c == 0 || (AsGb18030 && isPrivateUse(c)))
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

} // namespace

bool isPrivateUse(char16_t c)
{
    return c >= 0xE000 && c <= 0xF8FF;
}

QString decodeCleanUtf8(const QByteArray &bytes)
{
    return decodeFast(bytes, cleanUtf8);
}

QString decodeWith(const char *codecName, const QByteArray &bytes)
{
    QTextCodec::ConverterState state;
    return QTextCodec::codecForName(codecName)->toUnicode(bytes.constData(), bytes.size(), &state);
}

QString decodeGbk(const QByteArray &bytes)
{
    QString gbk = decodeFast(bytes, decodePlainGbk<false>);
    return gbk.isNull() ? QTextCodec::codecForName("GBK")->toUnicode(bytes) : gbk;
}

QString decodeGb18030(const QByteArray &bytes)
{
    QString text = decodeFast(bytes, decodePlainGbk<true>);
    return text.isNull() ? decodeWith("GB18030", bytes) : text;
}

// UTF-8 that is clean but for a rare stray byte: at most one ill-formed
// sequence in 10,000 bytes, and ten well-formed multi-byte ones for each.
// GBK text cannot pass: where a GBK pair happens to be well-formed UTF-8,
// its neighbours are not, so it meets an ill-formed sequence every few bytes.
QString decodeMendedUtf8IfRare(const QByteArray &bytes)
{
    const qsizetype allowed = bytes.size() / 10000;
    if (allowed == 0)
        return QString();
    Utf8Counts counts;
    QString text = decodeFast(bytes, [&](const uchar *src, qsizetype size, char16_t *out) {
        return decodeMendedUtf8(src, size, out, allowed, &counts);
    });
    return counts.multiByte >= 10 * counts.invalid ? text : QString();
}

QString decodeAnyUtf8(const QByteArray &bytes)
{
    const QString clean = decodeFast(bytes, cleanUtf8);
    if (!clean.isNull())
        return clean;
    Utf8Counts counts;
    return decodeFast(bytes, [&](const uchar *src, qsizetype size, char16_t *out) {
        return decodeMendedUtf8(src, size, out, size, &counts);
    });
}
