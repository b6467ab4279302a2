#include "Book.h"
#include "BookIndex.h"
#include "FileSizeLimit.h"

#include <QBuffer>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextCodec>
#include <QThread>
#include <QtTest>

#include <unistd.h>

namespace {

QString writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The records of a bookmark file as "offset title|..."; *whole: undamaged.
QString marks(QByteArray bytes, bool *whole = nullptr)
{
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QList<Bookmark> bookmarks;
    const bool read = BookmarkFile::read(buffer, &bookmarks);
    if (whole)
        *whole = read;
    QStringList marks;
    for (const Bookmark &bookmark : bookmarks)
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

    // A count, then per record the offset and two strings (a length in bytes
    // then UTF-16, FF FF FF FF for a null one), all big-endian.
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

    // Records "1 一" and "2 二"; a damaged file keeps the whole ones before
    // the damage, and an empty file is an empty list, not damage.
    void damagedFiles_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("whole");
        QTest::addColumn<QString>("kept");
        const QByteArray good =
            QByteArray::fromHex("00000002 00000001 00000002 4e00 00000000 00000002 00000002 4e8c ffffffff");
        QTest::newRow("whole") << good << true << "1 一|2 二";
        QTest::newRow("empty") << QByteArray() << true << "";
        QTest::newRow("one byte cut off") << good.left(good.size() - 1) << false << "1 一";
        QTest::newRow("second record cut short") << good.left(good.size() - 7) << false << "1 一";
        QTest::newRow("count cut short") << QByteArray("\x00\x00", 2) << false << "";
        QTest::newRow("negative count") << QByteArray::fromHex("fffffffe") + good.mid(4) << false << "";
        QTest::newRow("count beyond the records")
            << QByteArray::fromHex("7fffffff") + good.mid(4) << false << "1 一|2 二";
        QTest::newRow("huge string length") << QByteArray::fromHex("00000001 00000000 fffffff0 4e00") << false << "";
    }
    void damagedFiles()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, whole);
        QFETCH(QString, kept);
        bool read = !whole;
        QCOMPARE(marks(bytes, &read), kept);
        QCOMPARE(read, whole);
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

    // A save replaces the file whole and clears what a killed save left
    // behind; a full disk or a missing folder leaves the old file whole.
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
        QVERIFY(!result.ok && !result.cannotCreate && !result.error.isEmpty());
        QCOMPARE(readFile(path), before);
        QCOMPARE(QDir(dir->path()).entryList(QDir::Files, QDir::Name),
                 (QStringList{"book.bmk", "book.bmk.bak", "other.bmk.Ab12Cd"}));
        result = BookmarkFile::saveBytes(dir->filePath("missing/book.bmk"), "x");
        QVERIFY(!result.ok && result.cannotCreate && !result.error.isEmpty());
    }

    // Line ends become one line feed; bookmarks take the chapter's title and
    // the text after the heading; offsets outside the text are never read.
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
        QVERIFY(!book.open(secret)); // a refused book changes nothing
        QCOMPARE(book.openError(), Book::NoPermission);
        QVERIFY(!book.open(dir->filePath("missing.txt")));
        QCOMPARE(book.openError(), Book::NotFound);
        QCOMPARE(book.title(true), QStringLiteral("《a》"));
        QCOMPARE(book.text(), expected);
        QCOMPARE(marks(readFile(bmk)), QStringLiteral("0 （自动保存）"));
        QCOMPARE(book.bookmarks().at(0).summary, expected.left(100).trimmed());
        book.waitForChapters();
        for (const auto &c : QList<QPair<int, int>>{{-1, -1}, {5, 0}, {8, 0}, {12, 0}, {13, 1}, {2000, 1}})
            QCOMPARE(book.chapterIndexAt(c.first), c.second);
        QVERIFY(book.autoSaveBookmark(20) && book.autoSaveBookmark(30));
        QVERIFY(book.addBookmark(13, false)); // at a heading: the summary skips it
        QVERIFY(book.addBookmark(-50, false));
        QVERIFY(book.addBookmark(999999, false));
        QCOMPARE(marks(readFile(bmk)),
                 QStringLiteral("30 第2章 风起（自动保存）|13 第2章 风起|-50 |999999 第2章 风起"));
        QCOMPARE(book.bookmarks().at(1).summary, QString(99, u'风'));
        QCOMPARE(book.bookmarks().at(2).summary, expected.left(100).trimmed());
        QCOMPARE(book.bookmarks().at(3).summary, QString());
        QVERIFY(!book.removeBookmark(4));
        QVERIFY(book.removeBookmark(1));
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
        QCOMPARE(readFile(bak), damaged); // backed up before anything is written
        QCOMPARE(readFile(bmk), damaged);
        QVERIFY(book.autoSaveBookmark(4));
        book.flushBookmarks();
        QCOMPARE(marks(readFile(bmk)), QStringLiteral("4 （自动保存）|8 c"));

        writeFile(bmk, QByteArray()); // an empty file is no damage: no backup
        QVERIFY(QFile::remove(bak));
        QVERIFY(book.open(path));
        QVERIFY(book.autoSaveBookmark(2));
        QCOMPARE(marks(readFile(bmk)), QStringLiteral("2 （自动保存）"));
        QVERIFY(!QFile::exists(bak));
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
        QVERIFY(reading.open(book));
        QVERIFY(reading.autoSaveBookmark(50)); // cannot replace the file beside: moves with its bookmarks
        reading.clear();
        QCOMPARE(QList<QVariantList>(moved), QList<QVariantList>{{fallback}});
        QVERIFY(fallback.startsWith(data));
        QCOMPARE(marks(readFile(fallback)), QStringLiteral("50 （自动保存）|20 u"));
        QVERIFY(reading.open(book)); // the newer copy, not the stale file beside
        QCOMPARE(reading.lastReadOffset(), 50);
        // Back where the folder is writable, a newer file beside wins again.
        setWritable(dir->path(), true);
        QVERIFY(BookmarkFile::save(beside, {{70, "w", "x"}}));
        QFile newer(beside);
        QVERIFY(newer.open(QIODevice::ReadWrite));
        QVERIFY(newer.setFileTime(QDateTime::currentDateTime().addSecs(60), QFileDevice::FileModificationTime));
        newer.close();
        QVERIFY(reading.open(book));
        QCOMPARE(reading.lastReadOffset(), 70);

        // Nowhere to save: no success, and the reason.
        QVERIFY(QFile::remove(fallback));
        setWritable(dir->path(), false);
        setWritable(data, false);
        QVERIFY(reading.open(book));
        QSignalSpy failed(&reading, &Book::bookmarkSaveFailed);
        QVERIFY(!reading.addBookmark(5, false));
        QVERIFY(!reading.lastSaveError().isEmpty());
        QTRY_VERIFY(!failed.isEmpty());
        setWritable(data, true);
    }

    // A long book opened before shows the stretch around the reading place
    // first; then it is exactly the book read whole.
    void aLongBookIsShownBeforeItIsComplete()
    {
        const QString path = dir->filePath("long.txt");
        QString text = manyChapters(QStringLiteral("长"), 250000);
        text.replace(QStringLiteral("正文正文"), QStringLiteral("正文\r\n正文"));
        writeFile(path, gbk(text));
        QString expected = text;
        expected.remove(QLatin1Char('\r'));
        Book book;
        QVERIFY(book.open(path));
        QVERIFY(book.isComplete());
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

private:
    QScopedPointer<QTemporaryDir> dir;
};

QTEST_GUILESS_MAIN(TestBook)
#include "tst_book.moc"
