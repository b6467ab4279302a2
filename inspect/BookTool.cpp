// tavril-inspect: looks at books the way the reader does, from a terminal.
//   tavril-inspect decode [--encoding NAME] FILE
//                                       the text as the reader holds it, as UTF-8
//   tavril-inspect detect FILE          the encoding the reader would choose
//   tavril-inspect chapters [--rule standard|strict] [--pattern REGEX] FILE
//                                       offset, tab, title per chapter
//   tavril-inspect open FILE            opens as the reader does; the automatic bookmark's offset
//   tavril-inspect bookmarks FILE.bmk   offset, tab, title, tab, summary per record; a damaged
//                                       file ends in "damaged" and exits 1
//   tavril-inspect layout FILE WIDTH HEIGHT [FONT-FAMILY POINT-SIZE]
//                                       the first page's line counts and its length
//   tavril-inspect show [--script simplified|traditional|taiwan|hongkong] [--rules FILE.json]
//                       [--tidy blank,indent,join] BOOK
//                                       the text exactly as the reader shows it, as UTF-8

#include "Book.h"
#include "BookmarkFile.h"
#include "Reader.h"
#include "ReaderConfig.h"
#include "ShowCommand.h"
#include "configSettings.h"
#include "decodeText.h"
#include "takeOption.h"

#include <QApplication>
#include <QTemporaryDir>

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <cstdio>

namespace {

int fail(const QString &message)
{
    std::fprintf(stderr, "tavril-inspect: %s\n", qPrintable(message));
    return 2;
}

int usage()
{
    return fail(QStringLiteral("usage: tavril-inspect decode [--encoding NAME] FILE, detect FILE, "
                               "chapters [--rule standard|strict] [--pattern REGEX] FILE, open FILE, "
                               "bookmarks FILE.bmk, layout FILE WIDTH HEIGHT [FONT-FAMILY POINT-SIZE], or show "
                               "[--script NAME] [--rules FILE.json] [--tidy blank,indent,join] BOOK"));
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

void printLine(const QString &line)
{
    const QByteArray utf8 = line.toUtf8();
    std::fwrite(utf8.constData(), 1, size_t(utf8.size()), stdout);
    std::fputc('\n', stdout);
}

int decode(QStringList args)
{
    QString name = QStringLiteral("auto");
    if (!takeOption(args, QStringLiteral("--encoding"), &name) || args.size() != 1)
        return usage();
    bool known = false;
    const TextEncoding encoding = textEncodingFromName(name, &known);
    if (!known)
        return fail(QStringLiteral("unknown encoding: %1 (auto, utf-8, gb18030, big5, utf-16le, utf-16be or utf-32)")
                        .arg(name));
    QByteArray bytes;
    QString error;
    if (!readFile(args.first(), &bytes, &error))
        return fail(error);
    QString text = decodeText(bytes, encoding);
    normalizeLineEnds(text);
    const QByteArray utf8 = text.toUtf8();
    std::fwrite(utf8.constData(), 1, size_t(utf8.size()), stdout);
    return std::fflush(stdout) == 0 ? 0 : 2;
}

int detect(const QString &path)
{
    QByteArray bytes;
    QString error;
    if (!readFile(path, &bytes, &error))
        return fail(error);
    printLine(textEncodingName(detectEncoding(bytes)));
    return 0;
}

// The rule asked for on the command line; false (with a message printed)
// when it cannot be used.
bool chapterRuleFrom(QStringList &args, ChapterRule *rule, int *status)
{
    QString name;
    QString pattern;
    const bool hasPattern = args.contains(QStringLiteral("--pattern"));
    if (!takeOption(args, QStringLiteral("--rule"), &name) ||
        !takeOption(args, QStringLiteral("--pattern"), &pattern) || args.size() != 1 ||
        (hasPattern && !name.isEmpty() && name != QLatin1String("custom"))) {
        *status = usage();
        return false;
    }
    if (hasPattern || name == QLatin1String("custom")) {
        QString error;
        int offset = 0;
        if (!ChapterRule::isValidPattern(pattern, &error, &offset)) {
            *status = fail(QStringLiteral("invalid pattern at offset %1: %2").arg(offset).arg(error));
            return false;
        }
        *rule = ChapterRule::custom(pattern);
        return true;
    }
    if (name.isEmpty() || name == QLatin1String("standard") || name == QLatin1String("strict")) {
        *rule = ChapterRule::fromName(name);
        return true;
    }
    *status = fail(QStringLiteral("unknown rule: %1 (standard, strict or custom)").arg(name));
    return false;
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
    // A long book opened before comes first as the stretch around its
    // reading place; every command here is about the whole book.
    book.waitForText();
    return true;
}

int chapters(QStringList args)
{
    ChapterRule rule;
    int status = 0;
    if (!chapterRuleFrom(args, &rule, &status))
        return status;
    Book book;
    book.setChapterRule(rule);
    QString error;
    if (!openBook(book, args.first(), &error))
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
    file.close();
    QList<Bookmark> list;
    const BookmarkFile::Content content = BookmarkFile::read(path, &list);
    if (content == BookmarkFile::Foreign) {
        printLine(QStringLiteral("not a bookmark file"));
        return 1;
    }
    // The records that survive damage are what the reader keeps.
    for (const Bookmark &bookmark : list)
        printLine(
            QStringLiteral("%1\t%2\t%3").arg(bookmark.offset).arg(field(bookmark.title), field(bookmark.summary)));
    if (content != BookmarkFile::Whole) {
        printLine(QStringLiteral("damaged"));
        return 1;
    }
    return 0;
}

int layout(const QStringList &args)
{
    bool ok = true;
    const int width = args.value(2).toInt(&ok);
    bool ok2 = true;
    const int height = args.value(3).toInt(&ok2);
    int points = 0;
    bool ok3 = true;
    if (args.size() == 6)
        points = args.at(5).toInt(&ok3);
    if (!ok || !ok2 || !ok3 || width < 0 || height < 0 || points < 0 || (args.size() != 4 && args.size() != 6))
        return usage();
    QByteArray bytes;
    QString error;
    if (!readFile(args.at(1), &bytes, &error))
        return fail(error);
    QString text = decodeText(bytes);
    normalizeLineEnds(text);

    // The layout uses the reader's defaults (and the font asked for), never
    // the reader's own settings file.
    QTemporaryDir scratch;
    overrideSettingsFile(scratch.filePath(QStringLiteral("tavrilconfig.ini")));
    ReaderConfig config;
    if (args.size() == 6)
        config.setFont(QFont(args.at(4), points));
    Reader reader(&config);
    reader.setPageRect(QRect(0, 0, width, height));
    const int length = reader.layoutPage(text, 0, INT_MAX, true);
    QStringList counts;
    for (int count : reader.lines())
        counts << QString::number(count);
    printLine(QStringLiteral("lines %1").arg(counts.join(QLatin1Char(' '))));
    printLine(QStringLiteral("length %1").arg(length));
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    const bool needsFonts = argc > 1 && QByteArray(argv[1]) == "layout";
    if (needsFonts && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen"); // measuring needs no screen
    QScopedPointer<QCoreApplication> app(needsFonts ? new QApplication(argc, argv) : new QCoreApplication(argc, argv));
    const QStringList args = app->arguments().mid(1);
    if (needsFonts)
        return layout(args);
    const QString command = args.value(0);
    if (command == QLatin1String("decode"))
        return decode(args.mid(1));
    if (command == QLatin1String("chapters"))
        return chapters(args.mid(1));
    if (command == QLatin1String("show"))
        return showCommand(args.mid(1));
    if (args.size() != 2)
        return usage();
    if (command == QLatin1String("detect"))
        return detect(args.at(1));
    if (command == QLatin1String("open"))
        return open(args.at(1));
    if (command == QLatin1String("bookmarks"))
        return bookmarks(args.at(1));
    return usage();
}
