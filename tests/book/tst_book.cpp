// Books, their bookmark files and chapters.

#include "Book.h"
#include "BookIndex.h"
#include "BookmarkRecords.h"
#include "ChapterScanner.h"
#include "FileSizeLimit.h"
#include "TestFiles.h"

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
    ChapterScanner(rule).scan(text, add, [] { return true; });
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

    // A save replaces the file whole, clears a killed save's leftovers; a full disk leaves the old file whole.
    void savesReplaceTheFileWholeOrNotAtAll()
    {
        const QString path = dir->filePath("book.bmk");
        for (const char *name : {"book.bmk.Ab12Cd", "book.bmk.bak", "other.bmk.Ab12Cd"})
            QVERIFY(QFile(dir->filePath(name)).open(QIODevice::WriteOnly));
        QVERIFY(BookmarkFile::save(path, {{1, "a", "b"}, {2, "c", "d"}}));
        const QByteArray before = BookmarkFile::serialize({{7, QString(200, u'文'), QString()}});
        QVERIFY(BookmarkFile::saveBytes(path, before).ok);
        BookmarkFile::SaveResult result;
        {
            const FileSizeLimit disk(100);
            result = BookmarkFile::saveBytes(path, before + before);
        }
        QVERIFY(!result.ok && !result.cannotCreate && !result.error.isEmpty() && readFile(path) == before);
        QCOMPARE(QDir(dir->path()).entryList(QDir::Files, QDir::Name),
                 (QStringList{"book.bmk", "book.bmk.bak", "other.bmk.Ab12Cd"}));
        result = BookmarkFile::saveBytes(dir->filePath("missing/book.bmk"), "x");
        QVERIFY(!result.ok && result.cannotCreate && !result.error.isEmpty());
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
        QVERIFY(!book.open(secret) && book.openError() == Book::NoPermission); // a refused book changes nothing
        QVERIFY(!book.open(dir->filePath("missing.txt")) && book.openError() == Book::NotFound);
        QCOMPARE(book.title(true), QStringLiteral("《a》"));
        QCOMPARE(book.text(), expected);
        QCOMPARE(marks(readFile(bmk)), QStringLiteral("0 （自动保存）"));
        QCOMPARE(book.bookmarks().at(0).summary, expected.left(100).trimmed());
        book.waitForChapters();
        for (const auto &c : QList<QPair<int, int>>{{-1, -1}, {5, 0}, {8, 0}, {12, 0}, {13, 1}, {2000, 1}})
            QCOMPARE(book.chapterIndexAt(c.first), c.second);
        QVERIFY(book.autoSaveBookmark(20) && book.autoSaveBookmark(30));
        for (int offset : {13, -50, 999999}) // at a heading, 13: the summary skips it
            QVERIFY(book.addBookmark(offset, false));
        QCOMPARE(marks(readFile(bmk)),
                 QStringLiteral("30 第2章 风起（自动保存）|13 第2章 风起|-50 |999999 第2章 风起"));
        for (const auto &[at, summary] : {std::pair(1, QString(99, u'风')), {2, expected.left(100).trimmed()}, {3, {}}})
            QCOMPARE(book.bookmarks().at(at).summary, summary);
        QVERIFY(!book.removeBookmark(4) && book.removeBookmark(1));
        QCOMPARE(marks(readFile(bmk)), QStringLiteral("30 第2章 风起（自动保存）|-50 |999999 第2章 风起"));
    }

    void damagedBookmarkFileKeepsItsWholeRecordsAndABackup()
    {
        const QString path = writeFile(dir->filePath("damaged.txt"), "some text");
        QByteArray damaged = BookmarkFile::serialize({{7, "a", "b"}, {8, "c", "d"}, {9, "e", "f"}});
        damaged.chop(1);
        const QString bmk = writeFile(dir->filePath("damaged.bmk"), damaged);
        const QString bak = writeFile(bmk + QStringLiteral(".bak"), "older backup");
        Book book;
        QSignalSpy told(&book, &Book::bookmarksDamaged);
        QVERIFY(book.open(path));
        QCOMPARE(QList<QVariantList>(told), (QList<QVariantList>{{2, bak}}));
        QVERIFY(readFile(bak) == damaged && readFile(bmk) == damaged); // backed up before anything is written
        QVERIFY(book.autoSaveBookmark(4));
        book.flushBookmarks();
        QCOMPARE(marks(readFile(bmk)), QStringLiteral("4 （自动保存）|8 c"));

        writeFile(bmk, QByteArray()); // an empty file is no damage: no backup
        QVERIFY(QFile::remove(bak) && book.open(path) && book.autoSaveBookmark(2));
        QVERIFY(marks(readFile(bmk)) == QStringLiteral("2 （自动保存）") && !QFile::exists(bak));
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
        QSignalSpy moved(&reading, &Book::bookmarksRelocated);
        QVERIFY(reading.open(book) && reading.autoSaveBookmark(50)); // cannot replace the file beside: moves
        reading.clear();
        QVERIFY(fallback.startsWith(data) && QList<QVariantList>(moved) == QList<QVariantList>{{fallback}});
        QCOMPARE(marks(readFile(fallback)), QStringLiteral("50 （自动保存）|20 u"));
        QVERIFY(reading.open(book) && reading.lastReadOffset() == 50); // the newer copy, not the stale one beside
        // Back where the folder is writable, a newer file beside wins again.
        setWritable(dir->path(), true);
        QVERIFY(BookmarkFile::save(beside, {{70, "w", "x"}}));
        QFile newer(beside);
        QVERIFY(newer.open(QIODevice::ReadWrite) &&
                newer.setFileTime(QDateTime::currentDateTime().addSecs(60), QFileDevice::FileModificationTime));
        newer.close();
        QVERIFY(reading.open(book) && reading.lastReadOffset() == 70);

        // Nowhere to save: no success, and the reason.
        QVERIFY(QFile::remove(fallback));
        setWritable(dir->path(), false);
        setWritable(data, false);
        QVERIFY(reading.open(book));
        QSignalSpy failed(&reading, &Book::bookmarkSaveFailed);
        QVERIFY(!reading.addBookmark(5, false) && !reading.lastSaveError().isEmpty());
        QTRY_VERIFY(!failed.isEmpty());
        setWritable(data, true);
    }

    // A long book opened before shows the stretch around the reading place first, then the whole book.
    void aLongBookIsShownBeforeItIsComplete()
    {
        const QString text =
            manyChapters(QStringLiteral("长"), 250000).replace("正文正文", QStringLiteral("正文\r\n正文"));
        const QString path = writeFile(dir->filePath("long.txt"), gbk(text));
        const QString expected = QString(text).remove(QLatin1Char('\r'));
        Book book;
        QVERIFY(book.open(path) && book.isComplete());
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(BookIndex::pathFor(path)), 20000);
        const int place = expected.size() * 3 / 4;
        QVERIFY(book.autoSaveBookmark(place));
        book.clear();
        QSignalSpy completed(&book, &Book::textCompleted);
        QVERIFY(book.open(path) && !book.isComplete());
        QCOMPARE(book.lastReadOffset(), place);
        QCOMPARE(book.length(), expected.size());
        QCOMPARE(book.text().mid(place, 5000), expected.mid(place, 5000));
        QTRY_COMPARE(completed.size(), 1);
        QCOMPARE(book.text(), expected);
        book.waitForChapters();
        QCOMPARE(book.chapterCount(), 250000);

        writeFile(path, gbk(text + QStringLiteral("尾声\n"))); // changed since: the index does not fit
        QVERIFY(book.open(path) && book.isComplete());
        QCOMPARE(book.length(), expected.size() + 3);
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
        QVERIFY(scanner.count(text, QDeadlineTimer(300), &complete) == 0 && !complete);
        QVERIFY(scanner.count(text.left(420), QDeadlineTimer::Forever, &complete) == 0 && complete);
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
        QVERIFY(!ChapterRule::isValidPattern(QString(), &error) && !error.isEmpty());
        QVERIFY(ChapterRule::isValidPattern(QStringLiteral("^\\s*第"), &error) && error.isEmpty());
    }

private:
    QScopedPointer<QTemporaryDir> dir;
};

QTEST_GUILESS_MAIN(TestBook)
#include "tst_book.moc"
