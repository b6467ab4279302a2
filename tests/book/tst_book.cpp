// Books, their bookmark files and chapters.

#include "Book.h"
#include "BookIndex.h"
#include "BookmarkRecords.h"
#include "ChapterScanner.h"
#include "FileNameCodec.h"
#include "FileSizeLimit.h"
#include "ReaderFiles.h"

#include <QtTest>

#include <unistd.h>

Q_DECLARE_METATYPE(ChapterRule)

namespace {

// The records of a bookmark file as "offset title|..."; *whole: undamaged.
QString marks(const QByteArray &bytes, bool *whole = nullptr)
{
    QStringList marks;
    for (const Bookmark &bookmark : bookmarkRecords(bytes, whole))
        marks << QStringLiteral("%1 %2").arg(bookmark.offset).arg(bookmark.title);
    return marks.join(QLatin1Char('|'));
}

void setWritable(const QString &path, bool writable)
{
    QFile::setPermissions(path,
                          QFile::ReadOwner | QFile::ExeOwner | (writable ? QFile::WriteOwner : QFile::Permissions()));
}

QByteArray gbk(const QString &text)
{
    return QTextCodec::codecForName("GBK")->fromUnicode(text);
}

QString manyChapters(const QString &name, int count)
{
    QString text;
    for (int i = 0; i < count; ++i)
        text += QStringLiteral("第%1章 %2\n\u3000\u3000正文正文正文正文正文。\n").arg(i + 1).arg(name);
    return text;
}

// The headings found, as "offset:title" joined by " | ".
QString scan(const QString &text, const ChapterRule &rule = ChapterRule())
{
    QStringList found;
    const auto add = [&](const Chapter &c) { found << QStringLiteral("%1:%2").arg(c.offset).arg(c.title); };
    ChapterScanner(rule).scan(text, add, [](int) { return true; });
    return found.join(QStringLiteral(" | "));
}

} // namespace

class TestBook : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY2(geteuid() != 0, "permissions do not bite for root: run through run_unprivileged.sh");
        QStandardPaths::setTestModeEnabled(true);
    }
    void init()
    {
        dir.reset(new QTemporaryDir);
        QDir(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation)).removeRecursively();
    }
    void cleanup() { setWritable(dir->path(), true); }

    // Big-endian count, then per record the offset and two strings (byte length, UTF-16; FFFFFFFF: null).
    void storedBytes()
    {
        const QList<QPair<QList<Bookmark>, QByteArray>> files = {
            {{}, "00000000"},
            {{{5, "第一章", QString()}}, "00000001 00000005 00000006 7b2c4e007ae0 ffffffff"},
            {{{-1, "", QString()}, {258, "a", "b"}},
             "00000002 ffffffff 00000000 ffffffff 00000102 00000002 0061 00000002 0062"}};
        for (const auto &file : files)
            QCOMPARE(BookmarkFile::serialize(file.first).toHex(' '), QByteArray::fromHex(file.second).toHex(' '));
    }

    // Records "1 一", "2 二": damage keeps the whole ones before it; an empty file is no damage.
    void damagedFiles()
    {
        const QByteArray good =
            QByteArray::fromHex("00000002 00000001 00000002 4e00 00000000 00000002 00000002 4e8c ffffffff");
        const QList<std::tuple<const char *, QByteArray, bool, QString>> files = {
            {"whole", good, true, "1 一|2 二"},
            {"empty", QByteArray(), true, ""},
            {"one byte cut off", good.left(good.size() - 1), false, "1 一"},
            {"second record cut short", good.left(good.size() - 7), false, "1 一"},
            {"count cut short", QByteArray("\x00\x00", 2), false, ""},
            {"negative count", QByteArray::fromHex("fffffffe") + good.mid(4), false, ""},
            {"count beyond the records", QByteArray::fromHex("7fffffff") + good.mid(4), false, "1 一|2 二"},
            {"count zeroed", QByteArray(4, 0) + good.mid(4), false, "1 一|2 二"},
            {"a record too many", QByteArray::fromHex("00000001") + good.mid(4), false, "1 一|2 二"},
            {"garbage after the records", good + "xy", false, "1 一|2 二"},
            {"huge string length", QByteArray::fromHex("00000001 00000000 fffffff0 4e00"), false, ""}};
        for (const auto &[name, bytes, whole, kept] : files) {
            bool read = !whole;
            const QString found = marks(bytes, &read);
            QVERIFY2(found == kept && read == whole, qPrintable(name + QStringLiteral(": ") + found));
        }
    }

    // Never the book itself (one named .bmk), which the first save would overwrite.
    void pathBesideTheBook()
    {
        const QList<QStringList> paths = {
            {"D:/书/三国.txt", "D:/书/三国.bmk"},       {"三国.TXT", "三国.bmk"},
            {"notes.text", "notes.text.bmk"},           {"/a.txt/b.txt", "/a.txt/b.bmk"},
            {"/a.txt/notes", "/a.txt/notes.bmk"},       {"/x/a.txt.txt", "/x/a.bmk.bmk"},
            {"/x/my.txtbook.txt", "/x/my.bmkbook.bmk"}, {"/x/story.bmk", "/x/story.bmk.bmk"}};
        for (const QStringList &path : paths)
            QCOMPARE(BookmarkFile::pathFor(path.at(0)), path.at(1));
    }

    // A save replaces the file whole or not at all, and removes only what a killed save of ours left behind.
    void savesReplaceTheFileWholeOrNotAtAll()
    {
        QProcess ended, running;
        ended.start("true", QStringList());
        running.start("sleep", {"30"});
        QVERIFY(ended.waitForStarted());
        QVERIFY(running.waitForStarted());
        const qint64 endedId = ended.processId();
        QVERIFY(ended.waitForFinished());
        const auto leftover = [](const char *name, qint64 owner) {
            return QStringLiteral(".%1.%2-0.tavril-save").arg(QString::fromUtf8(name)).arg(owner);
        };
        QStringList kept = {"book.bmk.backup",
                            "book.bmk.Ab12Cd",
                            "book.bmk.bak",
                            "other.bmk.Ab12Cd",
                            leftover("book.bmk", running.processId()),
                            leftover("[精校]book.bmk", running.processId())};
        for (const QString &name :
             kept + QStringList{leftover("book.bmk", endedId), leftover("[精校]book.bmk", endedId)})
            writeFile(dir->filePath(name), "a user's file, or a save in progress");
        for (const char *name : {"book.bmk", "[精校]book.bmk"})
            QVERIFY(BookmarkFile::save(dir->filePath(name), {{1, "a", "b"}, {2, "c", "d"}}));
        kept << "book.bmk"
             << "[精校]book.bmk";
        kept.sort();
        QCOMPARE(QDir(dir->path()).entryList(QDir::Files | QDir::Hidden, QDir::Name), kept);

        const QString path = dir->filePath("book.bmk");
        const QByteArray before = BookmarkFile::serialize({{7, QString(200, u'文'), QString()}});
        QVERIFY(BookmarkFile::saveBytes(path, before).ok);
        BookmarkFile::SaveResult result;
        {
            const FileSizeLimit disk(100);
            result = BookmarkFile::saveBytes(path, before + before);
        }
        QVERIFY(!result.ok);
        QVERIFY(!result.cannotCreate);
        QVERIFY(!result.error.isEmpty());
        QCOMPARE(readFile(path), before);
        QCOMPARE(QDir(dir->path()).entryList(QDir::Files | QDir::Hidden, QDir::Name), kept);
        result = BookmarkFile::saveBytes(dir->filePath("missing/book.bmk"), "x");
        QVERIFY(!result.ok);
        QVERIFY(result.cannotCreate);
        QVERIFY(!result.error.isEmpty());
        running.kill();
        running.waitForFinished();
    }

    // One line feed per line end; bookmarks take the chapter title, the text after the heading, no read outside.
    void bookmarksFollowTheRules()
    {
        const QString text = QStringLiteral("\u3000\u3000天色将晚。\r\n第1章\r\r第2章 风起\r") + QString(200, u'风');
        const QString expected = QStringLiteral("\u3000\u3000天色将晚。\n第1章\n\n第2章 风起\n") + QString(200, u'风');
        const QString path = writeFile(dir->filePath("a.b.txt"), gbk(text));
        const QString bmk = dir->filePath("a.b.bmk");
        Book book;
        QVERIFY(book.open(path));
        const QString secret = writeFile(dir->filePath("secret.txt"), "secret");
        QFile::setPermissions(secret, QFile::WriteOwner);
        QVERIFY(!book.open(secret));
        QCOMPARE(book.openError(), Book::NoPermission); // a refused book changes nothing
        QVERIFY(!book.open(dir->filePath("missing.txt")));
        QCOMPARE(book.openError(), Book::NotFound);
        QCOMPARE(book.title(true), QStringLiteral("《a》"));
        QCOMPARE(book.text(), expected);
        QCOMPARE(marks(readFile(bmk)), QStringLiteral("0 （自动保存）"));
        QCOMPARE(book.bookmarks().at(0).summary, expected.left(100).trimmed());
        book.waitForChapters();
        for (const auto &c : QList<QPair<int, int>>{{-1, -1}, {5, 0}, {8, 0}, {12, 0}, {13, 1}, {2000, 1}})
            QCOMPARE(book.chapterIndexAt(c.first), c.second);
        QVERIFY(book.autoSaveBookmark(20));
        QVERIFY(book.autoSaveBookmark(30));
        for (int offset : {13, -50, 999999}) // at a heading, 13: the summary skips it
            QVERIFY(book.addBookmark(offset, false));
        QCOMPARE(marks(readFile(bmk)),
                 QStringLiteral("30 第2章 风起（自动保存）|13 第2章 风起|-50 |999999 第2章 风起"));
        for (const auto &[at, summary] : {std::pair(1, QString(99, u'风')), {2, expected.left(100).trimmed()}, {3, {}}})
            QCOMPARE(book.bookmarks().at(at).summary, summary);
        QVERIFY(!book.removeBookmark(4));
        QVERIFY(book.removeBookmark(1));
        QCOMPARE(marks(readFile(bmk)), QStringLiteral("30 第2章 风起（自动保存）|-50 |999999 第2章 风起"));
    }

    // Damage keeps every whole record and a copy of the file, never over an earlier copy; a foreign file is left alone.
    void damagedOrForeignBookmarkFiles_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<int>("kept"); // -1: a foreign file
        const QByteArray three = BookmarkFile::serialize({{7, "a", "b"}, {8, "c", "d"}, {9, "e", "f"}});
        QTest::newRow("cut short") << three.left(three.size() - 1) << 2;
        QTest::newRow("count zeroed") << QByteArray(4, 0) + three.mid(4) << 3;
        QTest::newRow("count only") << QByteArray::fromHex("00000002") << 0;
        QTest::newRow("a novel in UTF-8") << QStringLiteral("第一章 风起\n").repeated(20000).toUtf8() << -1;
        QTest::newRow("a novel in GBK") << gbk(QStringLiteral("第一章 风起\n").repeated(200)) << -1;
        QTest::newRow("English text") << QByteArray("Chapter one\n").repeated(100) << -1;
        QTest::newRow("zeros, then text") << QByteArray(4, 0) + QByteArray("Chapter one\n") << -1;
    }
    void damagedOrForeignBookmarkFiles()
    {
        QFETCH(QByteArray, file);
        QFETCH(int, kept);
        const QString path = writeFile(dir->filePath("story.txt"), "some text");
        const QString bmk = writeFile(dir->filePath("story.bmk"), file);
        const QString bak = writeFile(bmk + ".bak", "an earlier backup");
        Book book;
        QSignalSpy damaged(book.bookmarkStore(), &BookmarkStore::damaged);
        QSignalSpy foreign(book.bookmarkStore(), &BookmarkStore::foreignFileKept);
        QVERIFY(book.open(path));
        QVERIFY(book.autoSaveBookmark(4));
        book.flushBookmarks();
        QCOMPARE(readFile(bak), QByteArray("an earlier backup"));
        const QString fallback = BookmarkFile::fallbackPathFor(path);
        if (kept < 0) {
            QCOMPARE(QList<QVariantList>(foreign), (QList<QVariantList>{{bmk, fallback}}));
            QVERIFY(damaged.isEmpty());
            QCOMPARE(readFile(bmk), file);
            QVERIFY(!QFile::exists(bmk + ".2.bak"));
            QCOMPARE(marks(readFile(fallback)), QStringLiteral("4 （自动保存）"));
            book.clear();
            QVERIFY(book.open(path));
            QCOMPARE(book.lastReadOffset(), 4);
            QCOMPARE(book.bookmarkPath(), fallback);
            return;
        }
        QCOMPARE(QList<QVariantList>(damaged), (QList<QVariantList>{{kept, bmk + ".2.bak"}}));
        QVERIFY(foreign.isEmpty());
        QCOMPARE(readFile(bmk + ".2.bak"), file);
        QCOMPARE(book.bookmarks().size(), qMax(1, kept));
        QCOMPARE(storedOffset(bmk), 4);
    }

    void anEmptyBookmarkFileIsNoDamage()
    {
        const QString path = writeFile(dir->filePath("empty.txt"), "some text");
        const QString bmk = writeFile(dir->filePath("empty.bmk"), QByteArray());
        Book book;
        QSignalSpy damaged(book.bookmarkStore(), &BookmarkStore::damaged);
        QVERIFY(book.open(path));
        QVERIFY(book.autoSaveBookmark(2));
        book.flushBookmarks();
        QCOMPARE(marks(readFile(bmk)), QStringLiteral("2 （自动保存）"));
        QVERIFY(damaged.isEmpty());
    }

    void aReadOnlyFolderKeepsTheBookmarksPerUser()
    {
        const QString book = writeFile(dir->filePath("book.txt"), QByteArray(3000, 'a'));
        const QString beside = dir->filePath("book.bmk");
        QVERIFY(BookmarkFile::save(beside, {{10, "t", "s"}, {20, "u", "v"}}));
        setWritable(dir->path(), false);
        const QString fallback = BookmarkFile::fallbackPathFor(book);
        const QString data = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + "/bookmarks";
        Book reading;
        QSignalSpy moved(reading.bookmarkStore(), &BookmarkStore::relocated);
        QVERIFY(reading.open(book));
        QVERIFY(reading.autoSaveBookmark(50)); // cannot replace the file beside: moves
        reading.clear();
        QVERIFY(fallback.startsWith(data));
        QVERIFY(QList<QVariantList>(moved) == QList<QVariantList>{{fallback}});
        QCOMPARE(marks(readFile(fallback)), QStringLiteral("50 （自动保存）|20 u"));
        // The copy that took over, not the stale file beside, also when both have the same time (FAT's 2 s steps).
        QFile copy(fallback);
        QVERIFY(copy.open(QIODevice::ReadWrite) &&
                copy.setFileTime(QFileInfo(beside).lastModified(), QFileDevice::FileModificationTime));
        copy.close();
        QVERIFY(reading.open(book));
        QCOMPARE(reading.lastReadOffset(), 50);
        // Back where the folder is writable, a file beside written since wins again, in the same second too.
        setWritable(dir->path(), true);
        QVERIFY(BookmarkFile::save(beside, {{70, "w", "x"}}));
        QVERIFY(reading.open(book));
        QCOMPARE(reading.lastReadOffset(), 70);

        // Nowhere to save: no success, and the reason.
        QVERIFY(QFile::remove(fallback));
        setWritable(dir->path(), false);
        setWritable(data, false);
        QVERIFY(reading.open(book));
        QSignalSpy failed(reading.bookmarkStore(), &BookmarkStore::saveFailed);
        QVERIFY(!reading.addBookmark(5, false));
        QVERIFY(!reading.lastSaveError().isEmpty());
        QTRY_VERIFY(!failed.isEmpty());
        setWritable(data, true);
    }

    // Three-way merges as "place bookmarks...": what either side added stays, what either removed goes.
    void mergesKeepWhatEachSideDid_data()
    {
        QTest::addColumn<QString>("base");
        QTest::addColumn<QString>("ours");
        QTest::addColumn<QString>("theirs");
        QTest::addColumn<bool>("oursNewer");
        QTest::addColumn<QString>("merged");
        QTest::newRow("they added") << "0 1"
                                    << "5 1"
                                    << "0 1 2" << true << "5 1 2";
        QTest::newRow("both added, one of them the same") << "0"
                                                          << "0 3 4"
                                                          << "0 4 2" << true << "0 3 4 2";
        QTest::newRow("they removed, we added") << "0 1 2"
                                                << "0 1 2 3"
                                                << "0 2" << true << "0 2 3";
        QTest::newRow("we removed") << "0 1 2"
                                    << "0 2"
                                    << "7 1 2" << false << "7 2";
        QTest::newRow("both moved: ours later") << "0"
                                                << "5"
                                                << "9" << true << "5";
        QTest::newRow("both moved: theirs later") << "0"
                                                  << "5"
                                                  << "9" << false << "9";
        QTest::newRow("only they moved") << "0 1"
                                         << "0 1 3"
                                         << "9 1" << true << "9 1 3";
        QTest::newRow("twins stay twins") << "0 1 1"
                                          << "0 1 1"
                                          << "0 1 1 1" << true << "0 1 1 1";
        QTest::newRow("their file was new") << ""
                                            << "4 1"
                                            << "6 2" << true << "4 1 2";
    }
    void mergesKeepWhatEachSideDid()
    {
        QFETCH(QString, base);
        QFETCH(QString, ours);
        QFETCH(QString, theirs);
        QFETCH(bool, oursNewer);
        QFETCH(QString, merged);
        const auto list = [](const QString &offsets) {
            QList<Bookmark> bookmarks;
            for (const QString &offset : offsets.split(QLatin1Char(' '), Qt::SkipEmptyParts))
                bookmarks << Bookmark{offset.toInt(), QString(), QString()};
            return bookmarks;
        };
        QStringList offsets;
        for (const Bookmark &bookmark : BookmarkStore::merge(list(base), list(ours), list(theirs), oursNewer))
            offsets << QString::number(bookmark.offset);
        QCOMPARE(offsets.join(QLatin1Char(' ')), merged);
    }

    // Two readers of one book (two portable copies): neither undoes what the other saved.
    void twoReadersOfOneBookKeepEachOthersBookmarks()
    {
        const QString path = writeFile(dir->filePath("shared.txt"), QByteArray(9000, 'a'));
        const QString bmk = dir->filePath("shared.bmk");
        Book a, b;
        QVERIFY(a.open(path));
        QVERIFY(b.open(path));
        QSignalSpy merged(b.bookmarkStore(), &BookmarkStore::changed);
        QVERIFY(a.addBookmark(100, false));
        QVERIFY(b.autoSaveBookmark(500));
        b.flushBookmarks();
        QCOMPARE(marks(readFile(bmk)), QStringLiteral("500 （自动保存）|100 "));
        QCOMPARE(merged.size(), 1);
        QCOMPARE(b.bookmarks().size(), 2);
        QVERIFY(b.removeBookmark(1));
        QVERIFY(a.autoSaveBookmark(600));
        a.flushBookmarks();
        QCOMPARE(marks(readFile(bmk)), QStringLiteral("600 （自动保存）"));
    }

    // A damaged index, field by field: the book still opens whole and right, and the index is made again.
    void aDamagedIndexIsMadeAgain_data()
    {
        QTest::addColumn<int>("at");
        QTest::addColumn<int>("bits");
        // magic 0, version 4, size 6, time 14, fingerprint 22 (length) and 26, encodings 46 and 47, count 48,
        // checkpoints (byte, character) from 52, 12 bytes each, then a digest of 20 bytes.
        const QList<std::tuple<const char *, int, int>> fields = {{"magic", 0, 0x01},
                                                                  {"version", 5, 0x04},
                                                                  {"size", 8, 0x40},
                                                                  {"time", 20, 0x01},
                                                                  {"fingerprint length", 24, 0x80},
                                                                  {"fingerprint", 30, 0x01},
                                                                  {"encoding asked", 46, 0x07},
                                                                  {"encoding read", 47, 0x20},
                                                                  {"count, high", 48, 0x10},
                                                                  {"count, low", 51, 0x01},
                                                                  {"a checkpoint's byte", 66, 0x10},
                                                                  {"a checkpoint's character", 72, 0x40},
                                                                  {"a checkpoint's character, low", 75, 0x04},
                                                                  {"the last checkpoint's byte", -26, 0x01},
                                                                  {"the last checkpoint's character", -22, 0x40},
                                                                  {"the digest", -3, 0x01}};
        for (const auto &[name, at, bits] : fields)
            QTest::newRow(name) << at << bits;
    }
    void aDamagedIndexIsMadeAgain()
    {
        QFETCH(int, at);
        QFETCH(int, bits);
        static const QString text = manyChapters(QStringLiteral("长"), 250000);
        const QString path = dir->filePath("long.txt");
        if (!QFile::exists(path))
            writeFile(path, gbk(text));
        const QString cache = BookIndex::pathFor(path);
        Book book;
        if (!QFile::exists(cache)) {
            QVERIFY(book.open(path));
            QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(cache), 20000);
        }
        const QByteArray good = readFile(cache);
        QByteArray damaged = good;
        damaged[at < 0 ? damaged.size() + at : at] = char(damaged.at(at < 0 ? damaged.size() + at : at) ^ bits);
        writeFile(cache, damaged);
        BookmarkFile::save(BookmarkFile::pathFor(path), {{text.size() / 2, QString(), QString()}});
        QVERIFY(book.open(path));
        book.waitForText();
        QCOMPARE(book.text().size(), text.size());
        QCOMPARE(book.text().mid(text.size() / 2, 3000), text.mid(text.size() / 2, 3000));
        QTRY_VERIFY_WITH_TIMEOUT(readFile(cache) == good, 20000);
    }

    // Edited in place to the same size and time, between the samples of its fingerprint: when the whole text
    // comes, the page keeps its words; the index is made again.
    void aBookEditedInPlaceKeepsItsWords()
    {
        const QString text = manyChapters(QStringLiteral("改"), 250000);
        const QString path = writeFile(dir->filePath("edited.txt"), gbk(text));
        Book book;
        QVERIFY(book.open(path));
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(BookIndex::pathFor(path)), 20000);
        const int place = text.size() * 3 / 4;
        QVERIFY(book.autoSaveBookmark(place));
        book.clear();
        const QDateTime time = QFileInfo(path).lastModified();
        QByteArray bytes = gbk(text);
        const int between = (bytes.size() - 4096) / 30; // halfway to the second sample
        const int line = bytes.indexOf(gbk(QStringLiteral("正文")), between);
        bytes.replace(line, 4, "abcd"); // two characters become four, in as many bytes
        QFile file(writeFile(path, bytes));
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(file.setFileTime(time, QFileDevice::FileModificationTime));
        file.close();
        QVERIFY(book.open(path));
        QVERIFY(!book.isComplete());
        const QString shown = book.text().mid(place, 20);
        book.waitForText();
        QCOMPARE(book.carriedPlace(place), place + 2);
        QCOMPARE(book.text().mid(place + 2, 20), shown);
        QVERIFY(book.open(path)); // the stale index is not used again
        book.waitForText();
        QCOMPARE(book.carriedPlace(place), place);
    }

    void theIndexCacheKeepsTheMostRecentBooks()
    {
        QByteArray bytes("a\n");
        for (int i = 0; i < BookIndex::MostBooks + 5; ++i) {
            const QString path = writeFile(dir->filePath(QStringLiteral("tiny%1.txt").arg(i)), bytes);
            QVERIFY(BookIndex::build(bytes, "a\n", TextReading::Utf8, TextEncoding::Auto, QFileInfo(path)).save(path));
        }
        const QString folder = QFileInfo(BookIndex::pathFor(dir->filePath("tiny0.txt"))).absolutePath();
        QCOMPARE(QDir(folder).entryList({"*.idx"}, QDir::Files).size(), BookIndex::MostBooks);
    }

    // A user's pattern that backtracks on every line stops in its time; the chapters found so far stay, and it says so.
    void aSlowChapterRuleStopsInTime()
    {
        const QString text = QStringLiteral("第一章 开始\n") + (QString(40, QLatin1Char('a')) + "b\n").repeated(4000);
        const QString path = writeFile(dir->filePath("slow.txt"), text.toUtf8());
        Book book;
        book.setCustomRuleBudget(300);
        QVERIFY(book.open(path));
        book.waitForChapters();
        QSignalSpy tooSlow(&book, &Book::chapterRuleTooSlow);
        QElapsedTimer clock;
        clock.start();
        book.setChapterRule(ChapterRule::custom(QStringLiteral("^(a|aa)+$|^第")));
        QTRY_COMPARE_WITH_TIMEOUT(tooSlow.size(), 1, 5000);
        QVERIFY(clock.elapsed() < 3000);
        QCOMPARE(tooSlow.first().first().toInt(), 1);
        QCOMPARE(book.chapter(0).title, QStringLiteral("第一章 开始"));
    }

    // A name that is not UTF-8 (GBK from a zip): opened, its bookmarks beside it under the same bytes, shown in GBK.
    void aNameThatIsNotUtf8()
    {
        FileNameCodec::install();
        const QByteArray raw = QFile::encodeName(dir->path()) + "/" + gbk(QStringLiteral("斗罗大陆"));
        const QString path = QFile::decodeName(raw + ".txt");
        QVERIFY(FileNameCodec::hasStrayBytes(path));
        writeFile(path, "some text");
        Book book;
        QVERIFY(book.open(path));
        QVERIFY(book.autoSaveBookmark(3));
        book.flushBookmarks();
        QCOMPARE(storedOffset(QFile::decodeName(raw + ".bmk")), 3);
        QCOMPARE(book.title(), QStringLiteral("斗罗大陆"));
        QCOMPARE(FileNameCodec::fromStored(FileNameCodec::toStored(path)), path);
        QVERIFY(!FileNameCodec::toStored(path).contains(QChar(0xDC80 + 0xB6)));
    }

    // A long book shows its start first when new, the stretch around the reading place when opened before,
    // then the whole book.
    void aLongBookIsShownBeforeItIsComplete()
    {
        const QString text =
            manyChapters(QStringLiteral("长"), 250000).replace("正文正文", QStringLiteral("正文\r\n正文"));
        const QString path = writeFile(dir->filePath("long.txt"), gbk(text));
        const QString expected = QString(text).remove(QLatin1Char('\r'));
        Book book;
        QVERIFY(book.open(path));
        QVERIFY(!book.isComplete());
        QCOMPARE(book.text(), expected.left(book.length()));
        QVERIFY(book.length() > 10000);
        book.waitForText();
        QCOMPARE(book.text(), expected);
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(BookIndex::pathFor(path)), 20000);
        const int place = expected.size() * 3 / 4;
        QVERIFY(book.autoSaveBookmark(place));
        book.clear();
        QSignalSpy completed(&book, &Book::textCompleted);
        QVERIFY(book.open(path));
        QVERIFY(!book.isComplete());
        QCOMPARE(book.lastReadOffset(), place);
        QCOMPARE(book.length(), expected.size());
        QCOMPARE(book.text().mid(place, 5000), expected.mid(place, 5000));
        QTRY_COMPARE(completed.size(), 1);
        QCOMPARE(book.text(), expected);
        book.waitForChapters();
        QCOMPARE(book.chapterCount(), 250000);

        writeFile(path, gbk(text + QStringLiteral("尾声\n"))); // changed since: the index does not fit
        QVERIFY(book.open(path));
        QVERIFY(book.isComplete());
        QCOMPARE(book.length(), expected.size() + 3);
    }

    // The encoding guessed from a new book's start gives way to the one the whole file shows.
    void aWrongGuessFromTheStartIsMended()
    {
        const QString tail = QStringLiteral("第二章 终于\n中文在这里才出现。\n");
        const QString path =
            writeFile(dir->filePath("ascii-first.txt"), QByteArray("plain ascii line\n").repeated(600000) + gbk(tail));
        Book book;
        QSignalSpy changed(&book, &Book::textChanged);
        QVERIFY(book.open(path));
        QCOMPARE(book.textEncoding(), TextEncoding::Utf8);
        QTRY_COMPARE_WITH_TIMEOUT(changed.size(), 1, 20000);
        QCOMPARE(book.textEncoding(), TextEncoding::Gb18030);
        QVERIFY(book.text().endsWith(tail));
        QCOMPARE(book.lastReadOffset(), 0);
    }

    // Saves go to the disk in the background; the book's end writes the last.
    void aBookClosedRightAfterAMoveKeepsTheMove()
    {
        const QString path = writeFile(dir->filePath("quick.txt"), QByteArray(9000, 'a'));
        {
            Book book;
            QVERIFY(book.open(path));
            for (int offset = 1; offset <= 200; ++offset)
                book.autoSaveBookmark(offset * 40); // faster than any disk
        }
        QCOMPARE(marks(readFile(dir->filePath("quick.bmk"))), QStringLiteral("8000 （自动保存）"));
    }

    void plainlyBinaryFilesAreTold()
    {
        const QString chinese = QStringLiteral("第一章 一二三\n\u3000\u3000天色将晚，江上起了风。\n");
        QByteArray le, be; // UTF-16 without a mark
        for (const QChar c : chinese) {
            le.append(char(c.cell())).append(char(c.row()));
            be.append(char(c.row())).append(char(c.cell()));
        }
        for (const QByteArray &text : {le, be, gbk(chinese), QByteArray()})
            QVERIFY(!Book::looksBinary(writeFile(dir->filePath("text"), text)));
        for (const QByteArray &binary :
             {QByteArray::fromHex("7f454c460201010000000000"), QByteArray::fromHex("89504e470d0a1a0a0000000d49484452"),
              QByteArray("text\0\0\0\0more text", 17)})
            QVERIFY(Book::looksBinary(writeFile(dir->filePath("binary"), binary)));
    }

    // The file is read, not mapped: one cut short while read is no SIGBUS.
    void aFileCutShortWhileOpeningIsSurvived()
    {
        const QString path = dir->filePath("shrinking.txt");
        const QByteArray bytes = gbk(manyChapters(QStringLiteral("戊"), 300000));
        for (int round = 0; round < 3; ++round) {
            writeFile(path, bytes);
            QScopedPointer<QThread> cutter(QThread::create([path, round] {
                QThread::msleep(1 + 3 * round);
                ::truncate(QFile::encodeName(path).constData(), 1000);
            }));
            cutter->start();
            Book().open(path);
            cutter->wait();
        }
    }

    // A parse cut short by a new rule, another book or its end: the newest list.
    void aParseInterruptedKeepsOnlyTheNewList()
    {
        QString text;
        for (int i = 0; i < 20000; ++i)
            text += QStringLiteral("第%1章 甲\n第%1节课下课后，\n").arg(i + 1);
        const QString first = writeFile(dir->filePath("first.txt"), text.toUtf8());
        const QString second = writeFile(dir->filePath("second.txt"), QStringLiteral("第1章\n").toUtf8());
        for (int round = 0; round < 3; ++round) {
            Book book;
            QVERIFY(book.open(first));
            QTest::qWait(round);
            book.setChapterRule(ChapterRule::strict());
            book.waitForChapters();
            QCOMPARE(book.chapter(19999).title + book.chapter(20000).title, QStringLiteral("第20000章 甲"));
            book.setChapterRule(ChapterRule());
            QTest::qWait(round);
            QVERIFY(book.open(second));
            book.waitForChapters();
            QCOMPARE(book.chapterCount(), 1);
            QVERIFY(Book().open(first)); // destroyed during its parse
        }
    }

    void headings_data()
    {
        QTest::addColumn<ChapterRule>("rule");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("found");
        const QString title16 = QStringLiteral("第一百 ") + QString(16, QChar(u'风'));
        const QString title17 = title16 + QStringLiteral("a");
        const auto row = [](const ChapterRule &rule, const char *name, const QString &text, const QString &found) {
            QTest::newRow(name) << rule << text << found;
        };
        const ChapterRule standard;
        row(standard, "U+3000 indent", "\u3000\u3000第一章 风起云涌\n", "2:第一章 风起云涌");
        row(standard, "U+00A0 indent and title space", "\u00a0第一百\u00a0风\n", "1:第一百\u00a0风");
        row(standard, "digits, spaces", "第12回\n第 一 百 章\n第十\t卷 终局",
            "0:第12回 | 5:第 一 百 章 | 13:第十\t卷 终局");
        row(standard, "unit runs into text", "第十章完了，他说", "0:第十章完了，他说");
        row(standard, "16 word characters", title16, "0:" + title16);
        row(standard, "longer title, whole line", title17, "0:" + title17);
        row(standard, "one per line", "开头\n第二节\n\n  第三节 \u2029第四节", "3:第二节 | 10:第三节 | 15:第四节");
        // 第 inside a line (U+2028 ends none), no number, unit or title, unknown numerals, other headings, blanks.
        row(standard, "no headings",
            "正文第一章\n在第一章里\n开头\u2028第二节\n他说第\n一章\n第章\n第一百 \n第一百\n第五 ，\n第两章\n第壹章\n"
            "序章\nChapter 1\n楔子\n \n\u3000\n",
            "");
        const ChapterRule strict = ChapterRule::strict();
        row(strict, "strict: indented", "正文\n\u3000\u3000第一章 风起云涌\n", "5:第一章 风起云涌");
        row(strict, "strict: U+00A0 first", "正文\n\u00a0第八集 \n", "4:第八集");
        row(strict, "strict: two headings", "楔子\n\u3000尾声", "0:楔子 | 4:尾声");
        // Custom: anywhere in a line unless anchored; invalid or empty: Standard.
        row(ChapterRule::custom("^\\s*卷[一二三]"), "custom: anchored", "卷一 开始\n正文\n 卷二\n说卷三",
            "0:卷一 开始 | 10:卷二");
        row(ChapterRule::custom("节"), "custom: anywhere", "这一节很好\n别的", "0:这一节很好");
        row(ChapterRule::custom("^\\s第"), "custom: Unicode space", "\u3000第一\n第二", "1:第一");
        row(ChapterRule::custom("^chapter"), "custom: case matters", "Chapter 1\nchapter 2", "10:chapter 2");
        row(ChapterRule::custom("^"), "custom: all but blank lines", "a\n\n \u3000\nb\u2029c", "0:a | 6:b | 8:c");
        row(ChapterRule::custom("("), "custom: invalid", "第一章\n(", "0:第一章");
        row(ChapterRule::custom(""), "custom: empty", "第一章\nx", "0:第一章");
    }
    void headings()
    {
        QFETCH(ChapterRule, rule);
        QFETCH(QString, text);
        QFETCH(QString, found);
        QCOMPARE(scan(text, rule), found);
    }

    // Strict: each line alone, after a first line, a heading or prose.
    void strictRule()
    {
        const QString long40 = QStringLiteral("第一章 ") + QString(36, QChar(u'风'));
        const auto lines = [](const char *joined, const QString &last) {
            return (QString::fromUtf8(joined) + QLatin1Char('|') + last).split(QLatin1Char('|'));
        };
        for (const QString &line :
             lines("第１２章|第两百章|第壹佰集|第一萬〇一章|第一百二十三 标题|第12回：大闹天宫|第5节.夜|第三幕·终|"
                   "第二部—归来|第八集、重逢|第 12 篇|Chapter 12|CHAPTER 7: The End|Chapter12|序章|番外一 重逢|"
                   "尾声：归来|后记",
                   long40))
            QCOMPARE(scan("正文\n" + line + "\n", ChapterRule::strict()), "3:" + line);
        for (const QString &line :
             lines("第六回合时，子曰：学而时习之。|第三节课开始了|第十回合时，他倒下了|第十章完了，他说|在第一章里|"
                   "前言不搭后语的他|尾声渐渐消失在风里|序章开始的时候|chapter 1|第章|第五 ，",
                   long40 + "风"))
            QCOMPARE(scan("正文\n" + line + "\n", ChapterRule::strict()), QString());
    }

    // The reader's long-standing pattern spans titles of up to 16 word characters.
    void standardPatternSpan()
    {
        const QRegExp pattern(ChapterScanner::pattern());
        for (int length : {15, 16, 17})
            QCOMPARE(pattern.exactMatch(QStringLiteral("第一百 ") + QString(length, QChar(u'风'))), length < 17);
    }

    // Exponential backtracking on every line: PCRE's match limit cuts each line short, the count stops in time.
    void catastrophicPatternStillEnds()
    {
        const QString text = (QString(40, QLatin1Char('a')) + QStringLiteral("b\n")).repeated(2000);
        ChapterScanner scanner(ChapterRule::custom(QStringLiteral("^(a|aa)+$")));
        bool complete = true;
        QCOMPARE(scanner.count(text, QDeadlineTimer(300), &complete), 0);
        QVERIFY(!complete);
        QCOMPARE(scanner.count(text.left(420), QDeadlineTimer::Forever, &complete), 0);
        QVERIFY(complete);
    }

    // What the settings file holds, read back as "name pattern".
    void ruleFromName()
    {
        const QList<QStringList> stored = {{"standard", "", "standard "},   {"strict", "", "strict "},
                                           {"custom", "^卷", "custom ^卷"}, {"custom", "第(", "standard "},
                                           {"custom", "", "standard "},     {"loose", "", "standard "}};
        for (const QStringList &s : stored) {
            const ChapterRule rule = ChapterRule::fromName(s.at(0), s.at(1));
            QCOMPARE(rule.name() + QLatin1Char(' ') + rule.pattern(), s.at(2));
        }
    }

    void invalidPatternsSayWhy()
    {
        QString error;
        int offset = -1;
        QVERIFY(!ChapterRule::isValidPattern(QStringLiteral("第(章"), &error, &offset));
        QCOMPARE(error + QLatin1Char('@') + QString::number(offset),
                 QRegularExpression(QStringLiteral("(")).errorString() + QStringLiteral("@3")); // Qt's own words
        QVERIFY(!ChapterRule::isValidPattern(QString(), &error));
        QVERIFY(!error.isEmpty());
        QVERIFY(ChapterRule::isValidPattern(QStringLiteral("^\\s*第"), &error));
        QVERIFY(error.isEmpty());
    }

private:
    QScopedPointer<QTemporaryDir> dir;
};

QTEST_GUILESS_MAIN(TestBook)
#include "tst_book.moc"
