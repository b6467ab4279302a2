#include "BookmarkFile.h"

#include "FileSizeLimit.h"
#include <QBuffer>
#include <QDir>
#include <QTemporaryDir>

#include <QtTest>

namespace {

QByteArray serialize(const QList<Bookmark> &bookmarks)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    BookmarkFile::write(buffer, bookmarks);
    return bytes;
}

bool parse(const QByteArray &bytes, QList<Bookmark> *bookmarks)
{
    QByteArray copy = bytes;
    QBuffer buffer(&copy);
    buffer.open(QIODevice::ReadOnly);
    return BookmarkFile::read(buffer, bookmarks);
}

} // namespace

class TestBookmarkFile : public QObject
{
    Q_OBJECT

private slots:
    void layoutIsByteForByte()
    {
        const QByteArray bytes = serialize({Bookmark{5, QStringLiteral("第一章"), QString()}});
        QCOMPARE(bytes.toHex(' '), QByteArray("00 00 00 01 00 00 00 05 00 00 00 06 7b 2c 4e 00 7a e0 ff ff ff ff"));
        QCOMPARE(serialize({}).toHex(), QByteArray("00000000"));
        QCOMPARE(serialize({Bookmark{-1, QString(""), QString()}}).toHex(' '),
                 QByteArray("00 00 00 01 ff ff ff ff 00 00 00 00 ff ff ff ff"));
    }

    void roundTrip()
    {
        const QList<Bookmark> written = {Bookmark{0, QStringLiteral("第一章（自动保存）"), QStringLiteral("天色将晚")},
                                         Bookmark{1234567, QStringLiteral("第二章"), QStringLiteral("江上起了风")}};
        QList<Bookmark> read;
        QVERIFY(parse(serialize(written), &read));
        QCOMPARE(read.size(), 2);
        QCOMPARE(read.at(1).offset, 1234567);
        QCOMPARE(read.at(0).title, written.at(0).title);
        QCOMPARE(read.at(1).summary, written.at(1).summary);
    }

    void damagedFilesKeepTheWholeRecordsBeforeTheDamage_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("kept");
        const QByteArray good = serialize({Bookmark{1, QStringLiteral("一"), QStringLiteral("二")},
                                           Bookmark{2, QStringLiteral("三"), QStringLiteral("四")}});
        QTest::newRow("one byte cut off") << good.left(good.size() - 1) << 1;
        QTest::newRow("second record cut short") << good.left(good.size() - 3) << 1;
        QTest::newRow("count cut short") << QByteArray("\x00\x00", 2) << 0;
        QTest::newRow("negative count") << QByteArray("\xff\xff\xff\xfe", 4) + good.mid(4) << 0;
        QTest::newRow("count beyond the records") << QByteArray("\x7f\xff\xff\xff", 4) + good.mid(4) << 2;
        QTest::newRow("odd string length") << QByteArray::fromHex("00000001 00000000 00000003 4e00") << 0;
        QTest::newRow("huge string length") << QByteArray::fromHex("00000001 00000000 fffffff0 4e00 ffffffff") << 0;
    }
    void damagedFilesKeepTheWholeRecordsBeforeTheDamage()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, kept);
        QList<Bookmark> read = {Bookmark{9, QStringLiteral("stale"), QString()}};
        QVERIFY(!parse(bytes, &read));
        QCOMPARE(read.size(), kept);
        for (int i = 0; i < kept; ++i)
            QCOMPARE(read.at(i).offset, i + 1);
    }

    void emptyFileIsAnEmptyList()
    {
        QList<Bookmark> read;
        QVERIFY(parse(QByteArray(), &read));
        QVERIFY(read.isEmpty());
    }

    void pathBesideTheBook_data()
    {
        QTest::addColumn<QString>("book");
        QTest::addColumn<QString>("bookmarks");
        QTest::newRow("plain") << "D:/书/三国.txt"
                               << "D:/书/三国.bmk";
        QTest::newRow("upper case") << "三国.TXT"
                                    << "三国.bmk";
        QTest::newRow("other suffix") << "notes.text"
                                      << "notes.text.bmk";
        QTest::newRow("folder named .txt") << "/a.txt/b.txt"
                                           << "/a.txt/b.bmk";
        QTest::newRow("folder named .txt, no suffix") << "/a.txt/notes"
                                                      << "/a.txt/notes.bmk";
        QTest::newRow("twice in the name") << "/x/a.txt.txt"
                                           << "/x/a.bmk.bmk";
        QTest::newRow("inside the name") << "/x/my.txtbook.txt"
                                         << "/x/my.bmkbook.bmk";
        // Never the book itself, which the first save would overwrite.
        QTest::newRow("a book named .bmk") << "/x/story.bmk"
                                           << "/x/story.bmk.bmk";
    }
    void pathBesideTheBook()
    {
        QFETCH(QString, book);
        QFETCH(QString, bookmarks);
        QCOMPARE(BookmarkFile::pathFor(book), bookmarks);
    }

    void saveReplacesTheFileWhole()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("book.bmk"));
        QVERIFY(BookmarkFile::save(path, {Bookmark{1, QStringLiteral("一"), QStringLiteral("二")},
                                          Bookmark{2, QStringLiteral("三"), QStringLiteral("四")}}));
        QVERIFY(BookmarkFile::save(path, {Bookmark{7, QString(), QString()}}));
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), serialize({Bookmark{7, QString(), QString()}}));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("book.bmk")});
    }

    void failedSaveReportsFalse()
    {
        QTemporaryDir dir;
        const BookmarkFile::SaveResult result = BookmarkFile::saveBytes(dir.filePath("missing/book.bmk"), "x");
        QVERIFY(!result.ok && result.cannotCreate && !result.error.isEmpty());
    }

    // A full disk, as a file-size limit: the write fails after the open.
    void aFailedWriteNeverReplacesTheFile()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("book.bmk"));
        QList<Bookmark> three;
        for (int i = 0; i < 3; ++i)
            three << Bookmark{i * 1000, QStringLiteral("第%1章").arg(i), QString(100, QChar(u'文'))};
        QVERIFY(BookmarkFile::save(path, three));
        const QByteArray before = serialize(three);
        BookmarkFile::SaveResult result;
        {
            const FileSizeLimit limit(100);
            result = BookmarkFile::saveBytes(path, serialize(three + three));
        }
        QVERIFY(!result.ok);
        QVERIFY(!result.cannotCreate);
        QVERIFY(!result.error.isEmpty());
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), before);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("book.bmk")});
    }

    void aSaveClearsWhatAKilledSaveLeftBehind()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("book.bmk"));
        for (const char *name : {"book.bmk.Ab12Cd", "book.bmk.bak", "book.bmk.notes", "other.bmk.Ab12Cd"})
            QFile(dir.filePath(QLatin1String(name))).open(QIODevice::WriteOnly);
        QVERIFY(BookmarkFile::save(path, {}));
        QStringList left = QDir(dir.path()).entryList(QDir::Files);
        left.sort();
        QCOMPARE(left, (QStringList{"book.bmk", "book.bmk.bak", "book.bmk.notes", "other.bmk.Ab12Cd"}));
    }

    void debugForm()
    {
        QString out;
        QDebug(&out) << Bookmark{3, QStringLiteral("第一章"), QStringLiteral("他说\"好\"")};
        QCOMPARE(out, QStringLiteral("Bookmark(offset: 3 title: \"第一章\" summary: \"他说\\\"好\\\"\" ) "));
    }

    void knownToTheMetaTypeSystem()
    {
        QVERIFY(QMetaType::type("Bookmark") != QMetaType::UnknownType);
        const QVariant variant = QVariant::fromValue(Bookmark{4, QStringLiteral("t"), QStringLiteral("s")});
        QCOMPARE(variant.value<Bookmark>().offset, 4);
        QCOMPARE(QString(variant.typeName()), QStringLiteral("Bookmark"));
    }
};

QTEST_GUILESS_MAIN(TestBookmarkFile)
#include "tst_bookmarkfile.moc"
