// tavril-inspect: looks at books the way the reader does, from a terminal.
//   tavril-inspect decode FILE          the text as the reader holds it, as UTF-8
//   tavril-inspect chapters FILE        offset, tab, title per chapter
//   tavril-inspect open FILE            opens as the reader does; the automatic bookmark's offset
//   tavril-inspect bookmarks FILE.bmk   offset, tab, title, tab, summary per record, or "damaged"

#include "Book.h"
#include "BookmarkFile.h"
#include "decodeText.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <cstdio>

namespace
{

int fail(const QString &message)
{
    std::fprintf(stderr, "tavril-inspect: %s\n", qPrintable(message));
    return 2;
}

int usage()
{
    return fail(QStringLiteral("usage: tavril-inspect decode|chapters|open FILE, or bookmarks FILE.bmk"));
}

bool readFile(const QString &path, QByteArray *bytes, QString *error)
{
    QFile file(path);
    if (!file.exists()) {
        *error = QStringLiteral("no such file: %1").arg(path);
        return false;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot read %1: %2").arg(path, file.errorString());
        return false;
    }
    *bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        *error = QStringLiteral("cannot read %1: %2").arg(path, file.errorString());
        return false;
    }
    return true;
}

int decode(const QString &path)
{
    QByteArray bytes;
    QString error;
    if (!readFile(path, &bytes, &error))
        return fail(error);
    QString text = decodeText(bytes);
    text.remove(QLatin1Char('\r'));
    const QByteArray utf8 = text.toUtf8();
    std::fwrite(utf8.constData(), 1, size_t(utf8.size()), stdout);
    return std::fflush(stdout) == 0 ? 0 : 2;
}

void printLine(const QString &line)
{
    const QByteArray utf8 = line.toUtf8();
    std::fwrite(utf8.constData(), 1, size_t(utf8.size()), stdout);
    std::fputc('\n', stdout);
}

// One line per field list: tabs and line feeds inside a field would break it.
QString field(QString text)
{
    return text.replace(QLatin1Char('\t'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
}

bool openBook(Book &book, const QString &path, QString *error)
{
    const QFileInfo info(path);
    if (!info.exists()) {
        *error = QStringLiteral("no such file: %1").arg(path);
        return false;
    }
    if (!book.open(path)) {
        *error = QStringLiteral("cannot open %1").arg(path);
        return false;
    }
    return true;
}

int chapters(const QString &path)
{
    Book book;
    QString error;
    if (!openBook(book, path, &error))
        return fail(error);
    book.waitForChapters();
    for (const Chapter &chapter : book.chapters())
        printLine(QString::number(chapter.offset) + QLatin1Char('\t') + chapter.title);
    return 0;
}

int open(const QString &path)
{
    Book book;
    QString error;
    if (!openBook(book, path, &error))
        return fail(error);
    printLine(QString::number(book.lastReadOffset()));
    return 0;
}

int bookmarks(const QString &path)
{
    QFile file(path);
    if (!file.exists())
        return fail(QStringLiteral("no such file: %1").arg(path));
    if (!file.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("cannot read %1: %2").arg(path, file.errorString()));
    QList<Bookmark> list;
    if (!BookmarkFile::read(file, &list)) {
        printLine(QStringLiteral("damaged"));
        return 0;
    }
    for (const Bookmark &bookmark : list)
        printLine(
            QStringLiteral("%1\t%2\t%3").arg(bookmark.offset).arg(field(bookmark.title), field(bookmark.summary)));
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.size() != 2)
        return usage();
    const QString &command = args.at(0);
    if (command == QLatin1String("decode"))
        return decode(args.at(1));
    if (command == QLatin1String("chapters"))
        return chapters(args.at(1));
    if (command == QLatin1String("open"))
        return open(args.at(1));
    if (command == QLatin1String("bookmarks"))
        return bookmarks(args.at(1));
    return usage();
}
