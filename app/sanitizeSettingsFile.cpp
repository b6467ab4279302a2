#include "sanitizeSettingsFile.h"

#include <QDataStream>
#include <QFile>
#include <QList>
#include <QMetaType>
#include <QSaveFile>

namespace {

const char kVariant[] = "@Variant(";

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Undoes QSettings' ini escaping of a value (\0, octal, \x with any number of
// hex digits, the C letters, \\ and \"); false for what QSettings would not write.
bool unescape(const QByteArray &escaped, QByteArray *bytes)
{
    static const QByteArray letters("abfnrtv");
    static const char values[] = {'\a', '\b', '\f', '\n', '\r', '\t', '\v'};
    for (int i = 0; i < escaped.size(); ++i) {
        const char c = escaped.at(i);
        if (c != '\\') {
            bytes->append(c);
            continue;
        }
        if (++i >= escaped.size())
            return false;
        const char e = escaped.at(i);
        if (letters.contains(e)) {
            bytes->append(values[letters.indexOf(e)]);
        } else if (e == '\\' || e == '"' || e == '\'' || e == '?') {
            bytes->append(e);
        } else if (e == 'x' || (e >= '0' && e <= '7')) {
            const bool hex = e == 'x';
            uint value = hex ? 0 : uint(e - '0');
            while (i + 1 < escaped.size()) {
                const int digit =
                    hex ? hexValue(escaped.at(i + 1))
                        : (escaped.at(i + 1) >= '0' && escaped.at(i + 1) <= '7' ? escaped.at(i + 1) - '0' : -1);
                if (digit < 0)
                    break;
                value = value * (hex ? 16 : 8) + uint(digit);
                if (value > 0xFFFF)
                    return false;
                ++i;
            }
            if (value > 0xFF)
                return false;
            bytes->append(char(value));
        } else {
            return false;
        }
    }
    return true;
}

bool stringListFits(QDataStream &in, qint64 remaining)
{
    quint32 count = 0;
    in >> count;
    if (in.status() != QDataStream::Ok || count > remaining / 4)
        return false;
    for (quint32 i = 0; i < count; ++i) {
        QString item;
        in >> item; // read in bounded steps by Qt
        if (in.status() != QDataStream::Ok)
            return false;
    }
    return true;
}

// The value types the reader writes (colours, fonts, rectangles, ...), whose
// loading allocates nothing by a count from the file; string lists checked.
bool isSafeVariant(const QByteArray &bytes)
{
    QDataStream in(bytes);
    in.setVersion(QDataStream::Qt_4_0); // as QSettings reads them
    quint32 type = 0;
    in >> type;
    if (in.status() != QDataStream::Ok)
        return false;
    switch (type) {
    case QMetaType::QStringList:
        return stringListFits(in, bytes.size() - 4);
    case QMetaType::Bool:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Double:
    case QMetaType::QString:
    case QMetaType::QByteArray:
    case QMetaType::QRect:
    case QMetaType::QRectF:
    case QMetaType::QSize:
    case QMetaType::QPoint:
    case QMetaType::QFont:
    case QMetaType::QColor:
    case QMetaType::QKeySequence:
        return true;
    default:
        return false;
    }
}

bool isSafeLine(const QByteArray &line)
{
    const int equals = line.indexOf('=');
    if (equals < 0 || line.startsWith('[') || line.startsWith(';'))
        return true;
    QByteArray value = line.mid(equals + 1).trimmed();
    if (value.startsWith('"') && value.endsWith('"') && value.size() >= 2)
        value = value.mid(1, value.size() - 2);
    if (!value.startsWith(kVariant))
        return true;
    if (!value.endsWith(')'))
        return false;
    QByteArray bytes;
    const int start = int(sizeof(kVariant)) - 1;
    return unescape(value.mid(start, value.size() - start - 1), &bytes) && isSafeVariant(bytes);
}

} // namespace

int sanitizeSettingsFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray contents = file.readAll();
    file.close();
    if (!contents.contains(kVariant))
        return 0;
    const QList<QByteArray> lines = contents.split('\n');
    QByteArray kept;
    int removed = 0;
    for (int i = 0; i < lines.size(); ++i) {
        if (!isSafeLine(lines.at(i))) {
            ++removed;
            continue;
        }
        kept += lines.at(i);
        if (i + 1 < lines.size())
            kept += '\n';
    }
    if (removed == 0)
        return 0;
    QSaveFile out(path);
    if (out.open(QIODevice::WriteOnly) && out.write(kept) == kept.size() && out.flush())
        out.commit();
    return removed;
}
