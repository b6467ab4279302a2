#include "decodeText.h"

#include "Big5Detection.h"
#include "GbkTable.h"

#include <QTextCodec>

#include <algorithm>
#include <cstring>
#include <functional>
#include <memory>

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
qsizetype decodeCleanUtf8(const uchar *src, qsizetype size, char16_t *out)
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

bool isPrivateUse(char16_t c)
{
    return c >= 0xE000 && c <= 0xF8FF;
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

bool hasZeroAt(const QByteArray &bytes, int first, int last)
{
    const char *data = bytes.constData();
    for (int i = first; i <= last; i += 2) {
        if (data[i] == 0)
            return true;
    }
    return false;
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
    const QString clean = decodeFast(bytes, decodeCleanUtf8);
    if (!clean.isNull())
        return clean;
    Utf8Counts counts;
    return decodeFast(bytes, [&](const uchar *src, qsizetype size, char16_t *out) {
        return decodeMendedUtf8(src, size, out, size, &counts);
    });
}

bool isOddCharacter(QChar c)
{
    return c == QChar::ReplacementCharacter || isPrivateUse(c.unicode());
}

int oddCharacters(const QString &text)
{
    return int(std::count_if(text.cbegin(), text.cend(), isOddCharacter));
}

// Qt's "Big5" leaves the Hong Kong additions as private-use characters or
// U+FFFD; "Big5-HKSCS" reads them, so it is taken when it knows more.
QString decodeBig5(const QByteArray &bytes)
{
    QString text = QTextCodec::codecForName("Big5")->toUnicode(bytes);
    const int odd = oddCharacters(text);
    if (QTextCodec *hkscs = odd > 0 ? QTextCodec::codecForName("Big5-HKSCS") : nullptr) {
        QString extended = hkscs->toUnicode(bytes);
        if (oddCharacters(extended) < odd)
            return extended;
    }
    return text;
}

QString readWith(const QByteArray &bytes, TextReading reading)
{
    if (bytes.isEmpty())
        return QString(QLatin1String(""));
    switch (reading) {
    case TextReading::Utf8:
        return decodeAnyUtf8(bytes);
    case TextReading::Gbk:
        return decodeGbk(bytes);
    case TextReading::Gb18030:
        return decodeWith("GB18030", bytes);
    case TextReading::Gb18030Table:
        return decodeGb18030(bytes);
    case TextReading::Big5:
        return decodeBig5(bytes);
    case TextReading::Utf16Le:
        return decodeWith("UTF-16LE", bytes);
    case TextReading::Utf16Be:
        return decodeWith("UTF-16BE", bytes);
    case TextReading::Utf32Le:
        return decodeWith("UTF-32LE", bytes);
    case TextReading::Utf32Be:
        return decodeWith("UTF-32BE", bytes);
    }
    return QString();
}

TextReading utf32Reading(const QByteArray &bytes)
{
    return startsWith(bytes, "\x00\x00\xFE\xFF", 4) ? TextReading::Utf32Be : TextReading::Utf32Le;
}

// Which reading Auto takes.
TextReading chooseReading(const QByteArray &bytes, QString *utf8)
{
    if (startsWith(bytes, "\xFF\xFE\x00\x00", 4) || startsWith(bytes, "\x00\x00\xFE\xFF", 4))
        return utf32Reading(bytes);
    if (startsWith(bytes, "\xFE\xFF", 2))
        return TextReading::Utf16Be;
    if (startsWith(bytes, "\xFF\xFE", 2))
        return TextReading::Utf16Le;
    if (bytes.isEmpty())
        return TextReading::Utf8;
    // The UTF-8 attempt is the decode itself when it succeeds.
    *utf8 = decodeFast(bytes, decodeCleanUtf8);
    if (utf8->isNull())
        *utf8 = decodeMendedUtf8IfRare(bytes);
    if (!utf8->isNull())
        return TextReading::Utf8;
    if (looksLikeGbk(bytes.constData(), bytes.size()))
        return looksLikeBig5(bytes) ? TextReading::Big5 : TextReading::Gbk;
    const int size = bytes.size();
    if (hasZeroAt(bytes, 1, size - 2))
        return TextReading::Utf16Le;
    if (hasZeroAt(bytes, 0, size - 1))
        return TextReading::Utf16Be;
    return TextReading::Gb18030;
}

TextReading readingFor(TextEncoding encoding, const QByteArray &bytes)
{
    switch (encoding) {
    case TextEncoding::Utf8:
        return TextReading::Utf8;
    case TextEncoding::Gb18030:
        return TextReading::Gb18030Table;
    case TextEncoding::Big5:
        return TextReading::Big5;
    case TextEncoding::Utf16Le:
        return TextReading::Utf16Le;
    case TextEncoding::Utf16Be:
        return TextReading::Utf16Be;
    case TextEncoding::Utf32:
        return utf32Reading(bytes);
    case TextEncoding::Auto:
        break;
    }
    return TextReading::Utf8;
}

const struct
{
    TextEncoding encoding;
    const char *name;
} kEncodingNames[] = {
    {TextEncoding::Auto, "auto"},    {TextEncoding::Utf8, "utf-8"},       {TextEncoding::Gb18030, "gb18030"},
    {TextEncoding::Big5, "big5"},    {TextEncoding::Utf16Le, "utf-16le"}, {TextEncoding::Utf16Be, "utf-16be"},
    {TextEncoding::Utf32, "utf-32"},
};

} // namespace

TextEncoding encodingOf(TextReading reading)
{
    switch (reading) {
    case TextReading::Utf8:
        return TextEncoding::Utf8;
    case TextReading::Gbk:
    case TextReading::Gb18030:
    case TextReading::Gb18030Table:
        return TextEncoding::Gb18030;
    case TextReading::Big5:
        return TextEncoding::Big5;
    case TextReading::Utf16Le:
        return TextEncoding::Utf16Le;
    case TextReading::Utf16Be:
        return TextEncoding::Utf16Be;
    case TextReading::Utf32Le:
    case TextReading::Utf32Be:
        return TextEncoding::Utf32;
    }
    return TextEncoding::Utf8;
}

QString textEncodingName(TextEncoding encoding)
{
    for (const auto &entry : kEncodingNames) {
        if (entry.encoding == encoding)
            return QLatin1String(entry.name);
    }
    return QStringLiteral("auto");
}

TextEncoding textEncodingFromName(const QString &name, bool *ok)
{
    for (const auto &entry : kEncodingNames) {
        if (name.compare(QLatin1String(entry.name), Qt::CaseInsensitive) == 0) {
            if (ok)
                *ok = true;
            return entry.encoding;
        }
    }
    if (ok)
        *ok = false;
    return TextEncoding::Auto;
}

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
    return decodeText(bytes, TextEncoding::Auto);
}

QString decodeText(const QByteArray &bytes, TextEncoding encoding, TextEncoding *used, TextReading *reading)
{
    if (encoding == TextEncoding::Big5 && !QTextCodec::codecForName("Big5"))
        encoding = TextEncoding::Auto; // a Qt built without ICU
    if (bytes.size() > MaxDecodableSize) {
        if (used)
            *used = encoding;
        return QString();
    }
    QString utf8;
    const TextReading chosen =
        encoding == TextEncoding::Auto ? chooseReading(bytes, &utf8) : readingFor(encoding, bytes);
    if (used)
        *used = encoding == TextEncoding::Auto ? encodingOf(chosen) : encoding;
    if (reading)
        *reading = chosen;
    return chosen == TextReading::Utf8 && !utf8.isNull() ? utf8 : readWith(bytes, chosen);
}

QString decodeReading(const QByteArray &bytes, TextReading reading)
{
    return bytes.size() > MaxDecodableSize ? QString() : readWith(bytes, reading);
}

TextEncoding detectEncoding(const QByteArray &bytes)
{
    QString utf8;
    return encodingOf(chooseReading(bytes, &utf8));
}

void normalizeLineEnds(QString &text)
{
    const int first = text.indexOf(QLatin1Char('\r'));
    if (first < 0)
        return; // most books: no copy at all
    QChar *data = text.data();
    const int size = text.size();
    int out = first;
    for (int in = first; in < size; ++in) {
        if (data[in].unicode() != u'\r')
            data[out++] = data[in];
        else if (in + 1 >= size || data[in + 1].unicode() != u'\n')
            data[out++] = QLatin1Char('\n');
    }
    text.truncate(out);
}
