#include "BookmarkFile.h"

#include "FileSizeLimit.h"

#include <QBuffer>
#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

namespace {

bool parse(QByteArray bytes, QList<Bookmark> *bookmarks)
{
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    return BookmarkFile::read(buffer, bookmarks);
}

QStringList filesIn(const QTemporaryDir &dir)
{
    return QDir(dir.path()).entryList(QDir::Files, QDir::Name);
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestBookmarkFile : public QObject
{
    Q_OBJECT

private slots:
    // A count, then per record the offset and two strings (a length in bytes
    // then UTF-16, FF FF FF FF for a null string), all big-endian.
    void storedBytes_data()
    {
        QTest::addColumn<QList<Bookmark>>("bookmarks");
        QTest::addColumn<QByteArray>("hex");
        QTest::newRow("none") << QList<Bookmark>() << QByteArray("00000000");
        QTest::newRow("title, null summary") << QList<Bookmark>{{5, QStringLiteral("第一章"), QString()}}
                                             << QByteArray("00000001 00000005 00000006 7b2c4e007ae0 ffffffff");
        QTest::newRow("two, empty and null") << QList<Bookmark>{{-1, QString(""), QString()}, {258, "a", "b"}}
                                             << QByteArray("00000002 ffffffff 00000000 ffffffff"
                                                           "00000102 00000002 0061 00000002 0062");
    }
    void storedBytes()
    {
        QFETCH(QList<Bookmark>, bookmarks);
        QFETCH(QByteArray, hex);
        QCOMPARE(BookmarkFile::serialize(bookmarks).toHex(), hex.replace(' ', ""));
        QList<Bookmark> read; // read back whole, null strings and all
        QVERIFY(parse(QByteArray::fromHex(hex), &read));
        QCOMPARE(BookmarkFile::serialize(read).toHex(), hex);
    }

    // Records 1 and 2 (offsets 1 and 2); a damaged file keeps the whole ones
    // before the damage, and an empty file is an empty list, not damage.
    void damagedFiles_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("whole");
        QTest::addColumn<int>("kept");
        const QByteArray good = QByteArray::fromHex("00000002 00000001 00000002 4e00 00000000"
                                                    "00000002 00000002 4e8c ffffffff");
        QTest::newRow("empty") << QByteArray() << true << 0;
        QTest::newRow("one byte cut off") << good.left(good.size() - 1) << false << 1;
        QTest::newRow("second record cut short") << good.left(good.size() - 7) << false << 1;
        QTest::newRow("count cut short") << QByteArray("\x00\x00", 2) << false << 0;
        QTest::newRow("negative count") << QByteArray::fromHex("fffffffe") + good.mid(4) << false << 0;
        QTest::newRow("count beyond the records") << QByteArray::fromHex("7fffffff") + good.mid(4) << false << 2;
        QTest::newRow("odd string length") << QByteArray::fromHex("00000001 00000000 00000003 4e00") << false << 0;
        QTest::newRow("huge string length") << QByteArray::fromHex("00000001 00000000 fffffff0 4e00") << false << 0;
    }
    void damagedFiles()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, whole);
        QFETCH(int, kept);
        QList<Bookmark> read = {Bookmark{9, QStringLiteral("stale"), QString()}};
        QCOMPARE(parse(bytes, &read), whole);
        QCOMPARE(read.size(), kept);
        for (int i = 0; i < kept; ++i)
            QCOMPARE(read.at(i).offset, i + 1);
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

    // A save replaces the file whole and clears the temporary files a killed
    // save left behind, and nothing else.
    void saveReplacesTheFileWhole()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("book.bmk"));
        for (const char *name : {"book.bmk.Ab12Cd", "book.bmk.bak", "book.bmk.notes", "other.bmk.Ab12Cd"})
            QVERIFY(QFile(dir.filePath(QLatin1String(name))).open(QIODevice::WriteOnly));
        QVERIFY(BookmarkFile::save(path, {Bookmark{1, "a", "b"}, Bookmark{2, "c", "d"}}));
        QVERIFY(BookmarkFile::save(path, {Bookmark{7, QString(), QString()}}));
        QCOMPARE(readFile(path).toHex(), QByteArray("0000000100000007ffffffffffffffff"));
        QCOMPARE(filesIn(dir), (QStringList{"book.bmk", "book.bmk.bak", "book.bmk.notes", "other.bmk.Ab12Cd"}));
    }

    // A full disk (a file-size limit) fails the write after the open; a
    // missing folder fails the open. Either way the old file stays whole.
    void aFailedSaveNeverReplacesTheFile()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("book.bmk"));
        const QByteArray before = BookmarkFile::serialize({Bookmark{3, QString(200, QChar(u'文')), QString()}});
        QVERIFY(BookmarkFile::saveBytes(path, before).ok);
        BookmarkFile::SaveResult result;
        {
            const FileSizeLimit limit(100);
            result = BookmarkFile::saveBytes(path, before + before);
        }
        QVERIFY(!result.ok && !result.cannotCreate && !result.error.isEmpty());
        QCOMPARE(readFile(path), before);
        QCOMPARE(filesIn(dir), QStringList{QStringLiteral("book.bmk")});
        result = BookmarkFile::saveBytes(dir.filePath(QStringLiteral("missing/book.bmk")), "x");
        QVERIFY(!result.ok && result.cannotCreate && !result.error.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestBookmarkFile)
#include "tst_bookmarkfile.moc"
