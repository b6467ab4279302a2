#include "BookText.h"

#include <QFile>
#include <QFileInfo>
#include <QtConcurrent>

#ifdef Q_OS_LINUX
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif

namespace {

// The largest file a QString can hold the text of (one character per byte
// at worst).
const qint64 kLargest = qint64(1) << 30;

// Background reading yields to everything else: it must not slow down the
// window coming up, nor the page it shows. The lowest share rather than idle
// time only, which a busy machine might never give, while a page turn may
// be waiting for it.
template <typename Work> auto runWhenIdle(Work work)
{
    return QtConcurrent::run([work] {
#ifdef Q_OS_LINUX
        setpriority(PRIO_PROCESS, pid_t(syscall(SYS_gettid)), 19);
#endif
        return work();
    });
}

} // namespace

BookText BookText::read(const QString &path, TextEncoding requested)
{
    BookText result;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        result.error = Unreadable;
        return result;
    }
    // Read, never mapped: a file cut short by another program while it is
    // mapped would kill the reader with SIGBUS.
    QByteArray bytes = file.read(kLargest + 1);
    if (file.error() != QFileDevice::NoError || bytes.size() > kLargest) {
        result.error = bytes.size() > kLargest ? TooLarge : Unreadable;
        return result;
    }
    file.close();
    result.text = decodeText(bytes, requested, &result.encoding, &result.reading);
    if (result.text.isNull() && !bytes.isEmpty()) {
        result.error = TooLarge; // more characters than a string can hold
        return result;
    }
    normalizeLineEnds(result.text);
    return result;
}

namespace {

// Where the last line of `bytes` in `encoding` ends: no character is cut.
int lineEndCut(const QByteArray &bytes, TextEncoding encoding)
{
    const int unit = encoding == TextEncoding::Utf32                                          ? 4
                     : encoding == TextEncoding::Utf16Le || encoding == TextEncoding::Utf16Be ? 2
                                                                                              : 1;
    for (int at = bytes.lastIndexOf('\n'); at >= 0; at = bytes.lastIndexOf('\n', at - 1)) {
        // The line feed's own unit: its byte first (little-endian) or last.
        const bool big =
            encoding == TextEncoding::Utf16Be || (encoding == TextEncoding::Utf32 && bytes.startsWith("\0\0\xFE\xFF"));
        const int unitStart = big ? at - (unit - 1) : at;
        if (unitStart >= 0 && unitStart % unit == 0)
            return unitStart + unit;
    }
    return bytes.size() - bytes.size() % unit;
}

} // namespace

BookText BookText::readStart(const QString &path, TextEncoding requested, int bytes)
{
    BookText result;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        result.error = Unreadable;
        return result;
    }
    QByteArray start = file.read(bytes);
    if (file.error() != QFileDevice::NoError) {
        result.error = Unreadable;
        return result;
    }
    if (!file.atEnd()) {
        const TextEncoding guess = requested == TextEncoding::Auto ? detectEncoding(start) : requested;
        start.truncate(lineEndCut(start, guess));
    }
    result.text = decodeText(start, requested, &result.encoding, &result.reading);
    normalizeLineEnds(result.text);
    return result;
}

QString BookText::readStretch(const QString &path, TextReading reading, const BookIndex::Stretch &stretch)
{
    QFile file(path);
    const qint64 length = stretch.to.byte - stretch.from.byte;
    if (length <= 0 || length > kLargest || !file.open(QIODevice::ReadOnly) || !file.seek(stretch.from.byte))
        return QString();
    const QByteArray bytes = file.read(length);
    if (bytes.size() != length)
        return QString();
    QString text = decodeReading(bytes, reading);
    normalizeLineEnds(text);
    return text.size() == stretch.to.character - stretch.from.character ? text : QString();
}

namespace {

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.read(kLargest + 1) : QByteArray();
}

QString readingOf(const QByteArray &bytes, TextReading reading)
{
    QString text = decodeReading(bytes, reading);
    normalizeLineEnds(text);
    return text;
}

// The byte in [from, to] before which `bytes` from `from` read as exactly
// the characters `wanted`, and from which they read on as `after`: a
// bisection on the count, then a look at the neighbours, since a sequence
// cut at the end may read as one more character (or none), and a line end
// of two bytes as one character either way.
qint64 startOfCharacter(const QByteArray &bytes, TextReading reading, qint64 from, qint64 to, const QString &wanted,
                        const QString &after)
{
    const auto count = [&](qint64 end) { return readingOf(bytes.mid(int(from), int(end - from)), reading).size(); };
    qint64 low = from;
    qint64 high = to;
    while (low < high) {
        const qint64 middle = low + (high - low) / 2;
        if (count(middle) >= wanted.size())
            high = middle;
        else
            low = middle + 1;
    }
    for (qint64 at = qMax(from, low - 4); at <= qMin(to, low + 8); ++at) {
        if (readingOf(bytes.mid(int(from), int(at - from)), reading) == wanted &&
            readingOf(bytes.mid(int(at), 4 * after.size()), reading).startsWith(after))
            return at;
    }
    return low;
}

} // namespace

qint64 BookText::byteOffsetOf(const QString &path, TextReading reading, int position)
{
    const QByteArray bytes = readAll(path);
    if (bytes.isEmpty())
        return bytes.isNull() ? -1 : 0;
    // Stretches that end at line starts read on their own as they read in
    // the whole; the one holding the place is searched byte by byte.
    const qint64 step = 256 << 10;
    qint64 byte = 0;
    int characters = 0;
    while (true) {
        const qint64 next = BookIndex::lineStartFrom(bytes, byte + step, reading);
        const QString part = readingOf(bytes.mid(int(byte), int(next - byte)), reading);
        if (characters + part.size() >= position || next >= bytes.size())
            return startOfCharacter(bytes, reading, byte, next, part.left(qMax(0, position - characters)),
                                    part.mid(qMax(0, position - characters), 2));
        characters += part.size();
        byte = next;
    }
}

int BookText::characterOffsetOf(const QString &path, TextReading reading, qint64 byte)
{
    const QByteArray bytes = readAll(path);
    return readingOf(bytes.left(int(qBound<qint64>(0, byte, bytes.size()))), reading).size();
}

QFuture<BookText> BookText::readLater(const QString &path, TextEncoding requested)
{
    return runWhenIdle([path, requested] { return read(path, requested); });
}

void BookText::indexLater(const QString &path, TextEncoding requested)
{
    runWhenIdle([path, requested] {
        const QFileInfo info(path);
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return false;
        const QByteArray bytes = file.read(kLargest + 1);
        TextEncoding used = requested;
        TextReading reading = TextReading::Utf8;
        QString text = decodeText(bytes, requested, &used, &reading);
        normalizeLineEnds(text);
        // Made from what the file held when it was stat'ed; a file changed
        // meanwhile gets an index that does not fit it, and is read whole.
        return BookIndex::build(bytes, text, reading, requested, info).save(path);
    });
}
