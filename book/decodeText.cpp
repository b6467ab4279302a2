#include "decodeText.h"

#include "Big5Detection.h"
#include "FastDecoding.h"

#include <QTextCodec>

#include <algorithm>
#include <cstring>
#include <functional>
#include <memory>

namespace {

bool startsWith(const QByteArray &bytes, const char *mark, int length)
{
    return bytes.size() >= length && std::memcmp(bytes.constData(), mark, size_t(length)) == 0;
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
    *utf8 = decodeCleanUtf8(bytes);
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
