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
