#include "BookText.h"

#include <QFile>
#include <QFileInfo>
#include <QTextCodec>
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

const char *codecName(TextEncoding encoding, const QByteArray &bytes)
{
    switch (encoding) {
    case TextEncoding::Gb18030:
        return "GB18030";
    case TextEncoding::Big5:
        return "Big5";
    case TextEncoding::Utf16Le:
        return "UTF-16LE";
    case TextEncoding::Utf16Be:
        return "UTF-16BE";
    case TextEncoding::Utf32:
        return bytes.startsWith(QByteArray("\x00\x00\xFE\xFF", 4)) ? "UTF-32BE" : "UTF-32LE";
    default:
        return "UTF-8";
    }
}

int unitOf(TextEncoding encoding)
{
    switch (encoding) {
    case TextEncoding::Utf16Le:
    case TextEncoding::Utf16Be:
        return 2;
    case TextEncoding::Utf32:
        return 4;
    default:
        return 1;
    }
}

// Carriage returns the text no longer holds, in `bytes` before `end`. No
// multi-byte character of the 8-bit encodings holds a 0D byte.
int carriageReturns(const QByteArray &bytes, int end, TextEncoding encoding)
{
    const int unit = unitOf(encoding);
    const int at = encoding == TextEncoding::Utf16Be ? 1 : 0;
    int count = 0;
    for (int i = 0; i + unit <= qMin(end, bytes.size()); i += unit) {
        if (bytes.at(i + at) != '\r')
            continue;
        bool alone = true;
        for (int k = 0; k < unit; ++k)
            alone = alone && (k == at || bytes.at(i + k) == 0);
        count += alone;
    }
    return count;
}

} // namespace

int BookText::translateOffset(const QString &path, const QString &text, TextEncoding encoding, int position,
                              TextEncoding other)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return position;
    const QByteArray bytes = file.read(kLargest + 1);
    QTextCodec *codec = QTextCodec::codecForName(codecName(encoding, bytes));
    QTextEncoder encoder(codec, QTextCodec::IgnoreHeader);
    const int unit = unitOf(encoding);
    const bool marked = bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF") ||
                        bytes.startsWith(QByteArray("\x00\x00\xFE\xFF", 4));
    const int mark = bytes.startsWith("\xEF\xBB\xBF") ? 3 : marked ? unit : 0;
    // The bytes before the place: the text before it encoded again, and the
    // carriage returns that reading dropped.
    const int encoded = mark + encoder.fromUnicode(text.left(position)).size();
    int end = encoded;
    for (int round = 0; round < 4; ++round)
        end = encoded + unit * carriageReturns(bytes, end, encoding);
    QString before = decodeText(bytes.left(end), other);
    normalizeLineEnds(before);
    return before.size();
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
