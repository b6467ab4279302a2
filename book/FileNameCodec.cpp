#include "FileNameCodec.h"

#include <QFile>
#include <QTextCodec>

#include <algorithm>
#include <cstring>

namespace {

const char16_t kFirstEscape = 0xDC80; // byte 0x80
const char16_t kLastEscape = 0xDCFF;  // byte 0xFF
const char kStoredPrefix[] = "tavril-bytes:";

bool isEscape(char16_t unit)
{
    return unit >= kFirstEscape && unit <= kLastEscape;
}

// The length of the UTF-8 sequence starting at `p` (at most `left` bytes),
// 0 when it is not a whole, valid one.
int sequenceLength(const uchar *p, int left)
{
    const uchar lead = p[0];
    int length = 0;
    uint code = 0;
    if (lead < 0x80)
        return 1;
    if (lead >= 0xC2 && lead <= 0xDF)
        length = 2, code = lead & 0x1F;
    else if (lead >= 0xE0 && lead <= 0xEF)
        length = 3, code = lead & 0x0F;
    else if (lead >= 0xF0 && lead <= 0xF4)
        length = 4, code = lead & 0x07;
    else
        return 0;
    if (left < length)
        return -1; // may be cut short by the buffer
    for (int i = 1; i < length; ++i) {
        if ((p[i] & 0xC0) != 0x80)
            return 0;
        code = (code << 6) | (p[i] & 0x3F);
    }
    const bool overlong = (length == 3 && code < 0x800) || (length == 4 && code < 0x10000);
    const bool surrogate = code >= 0xD800 && code <= 0xDFFF;
    return overlong || surrogate || code > 0x10FFFF ? 0 : length;
}

class EscapingUtf8Codec : public QTextCodec
{
public:
    QByteArray name() const override { return QByteArrayLiteral("UTF-8 with escaped bytes"); }
    int mibEnum() const override { return -4711; }

protected:
    QString convertToUnicode(const char *in, int length, ConverterState *state) const override
    {
        // A sequence cut by the end of one call waits in the state for the next.
        QByteArray bytes;
        if (state && state->remainingChars > 0) {
            bytes = QByteArray(reinterpret_cast<const char *>(&state->state_data[0]), state->remainingChars);
            state->remainingChars = 0;
        }
        bytes.append(in, length);
        const uchar *p = reinterpret_cast<const uchar *>(bytes.constData());
        const int size = bytes.size();
        QString out;
        out.reserve(size);
        for (int i = 0; i < size;) {
            const int n = sequenceLength(p + i, size - i);
            if (n == -1 && state) {
                state->remainingChars = size - i;
                std::memcpy(&state->state_data[0], p + i, size_t(size - i));
                break;
            }
            if (n <= 0) {
                out.append(QChar(char16_t(0xDC00 + p[i])));
                ++i;
                continue;
            }
            out.append(QString::fromUtf8(reinterpret_cast<const char *>(p + i), n));
            i += n;
        }
        return out;
    }

    QByteArray convertFromUnicode(const QChar *in, int length, ConverterState *) const override
    {
        QByteArray out;
        out.reserve(length * 3);
        int start = 0;
        for (int i = 0; i <= length; ++i) {
            if (i < length && !isEscape(in[i].unicode()))
                continue;
            out.append(QString::fromRawData(in + start, i - start).toUtf8());
            if (i < length)
                out.append(char(in[i].unicode() - 0xDC00));
            start = i + 1;
        }
        return out;
    }
};

} // namespace

void FileNameCodec::install()
{
    QTextCodec *locale = QTextCodec::codecForLocale();
    if (locale && locale->mibEnum() == 106)                   // UTF-8
        QTextCodec::setCodecForLocale(new EscapingUtf8Codec); // kept by Qt's codec list
}

bool FileNameCodec::hasStrayBytes(const QString &path)
{
    return std::any_of(path.cbegin(), path.cend(), [](QChar c) { return isEscape(c.unicode()); });
}

QString FileNameCodec::displayed(const QString &path)
{
    if (!hasStrayBytes(path))
        return path;
    QTextCodec::ConverterState state;
    const QByteArray bytes = QFile::encodeName(path);
    const QString shown = QTextCodec::codecForName("GB18030")->toUnicode(bytes.constData(), bytes.size(), &state);
    if (state.invalidChars == 0)
        return shown;
    QString replaced = path;
    for (QChar &c : replaced) {
        if (isEscape(c.unicode()))
            c = QChar::ReplacementCharacter;
    }
    return replaced;
}

QString FileNameCodec::toStored(const QString &path)
{
    if (!hasStrayBytes(path))
        return path;
    return QLatin1String(kStoredPrefix) + QString::fromLatin1(QFile::encodeName(path).toPercentEncoding("/"));
}

QString FileNameCodec::fromStored(const QString &stored)
{
    if (!stored.startsWith(QLatin1String(kStoredPrefix)))
        return stored;
    return QFile::decodeName(QByteArray::fromPercentEncoding(stored.mid(int(sizeof kStoredPrefix - 1)).toLatin1()));
}
