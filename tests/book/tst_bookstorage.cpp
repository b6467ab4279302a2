// Where the bookmarks go when the folder beside the book cannot be written.
// Run as an unprivileged user, so that permissions bite.

#include "Book.h"
#include "BookmarkFile.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
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

void setWritable(const QString &path, bool writable)
{
    QFile::setPermissions(path,
                          QFile::ReadOwner | QFile::ExeOwner | (writable ? QFile::WriteOwner : QFile::Permissions()));
}

} // namespace

class TestBookStorage : public QObject
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
        folder.reset(new QTemporaryDir);
        QDir(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation)).removeRecursively();
    }
    void cleanup() { setWritable(folder->path(), true); }

    void aReadOnlyFolderKeepsTheBookmarksPerUser()
    {
        const QString book = writeFile(folder->filePath("book.txt"), QByteArray(3000, 'a'));
        setWritable(folder->path(), false);
        const QString fallback = BookmarkFile::fallbackPathFor(book);
        QVERIFY(fallback.startsWith(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation)));
        {
            Book reading;
            QSignalSpy moved(&reading, &Book::bookmarksRelocated);
            QVERIFY(reading.open(book));
            QCOMPARE(moved.size(), 1);
            QCOMPARE(moved.at(0).at(0).toString(), fallback);
            QVERIFY(reading.autoSaveBookmark(50));
            QVERIFY(reading.addBookmark(60, false));
            QCOMPARE(reading.bookmarkPath(), fallback);
        }
        QVERIFY(!QFile::exists(folder->filePath("book.bmk")));
        Book again;
        QVERIFY(again.open(book));
        QCOMPARE(again.lastReadOffset(), 50);
        QCOMPARE(again.bookmarks().size(), 2);
    }

    void aFileBesideThatCannotBeReplacedMovesOnWithItsBookmarks()
    {
        const QString book = writeFile(folder->filePath("old.txt"), QByteArray(3000, 'a'));
        QVERIFY(BookmarkFile::save(folder->filePath("old.bmk"), {Bookmark{10, "t", "s"}, Bookmark{20, "u", "v"}}));
        setWritable(folder->path(), false);
        {
            Book reading;
            QVERIFY(reading.open(book));
            QCOMPARE(reading.lastReadOffset(), 10);
            QVERIFY(reading.autoSaveBookmark(70));
        }
        Book again;
        QVERIFY(again.open(book));
        QCOMPARE(again.lastReadOffset(), 70); // the newer copy, not the stale file beside
        QCOMPARE(again.bookmarks().size(), 2);

        // Writable again and written there since: the file beside wins.
        setWritable(folder->path(), true);
        QTest::qWait(1100); // modification times of whole seconds on some file systems
        QVERIFY(BookmarkFile::save(folder->filePath("old.bmk"), {Bookmark{90, "t", "s"}}));
        Book third;
        QVERIFY(third.open(book));
        QCOMPARE(third.lastReadOffset(), 90);
    }

    void nowhereToSaveIsNoSuccess()
    {
        const QString book = writeFile(folder->filePath("lost.txt"), QByteArray(3000, 'a'));
        setWritable(folder->path(), false);
        const QString data = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
        QVERIFY(QDir().mkpath(data));
        setWritable(data, false);
        Book reading;
        QSignalSpy failed(&reading, &Book::bookmarkSaveFailed);
        QVERIFY(reading.open(book));
        QVERIFY(!reading.addBookmark(5, false));
        QTRY_VERIFY(failed.size() >= 1);
        QVERIFY(!reading.lastSaveError().isEmpty());
        setWritable(data, true);
    }

    void anUnreadableBookSaysSo()
    {
        const QString book = writeFile(folder->filePath("secret.txt"), "secret");
        QFile::setPermissions(book, QFile::WriteOwner);
        QCOMPARE(Book::check(book), Book::NoPermission);
        Book reading;
        QVERIFY(!reading.open(book));
        QCOMPARE(reading.openError(), Book::NoPermission);
    }

private:
    QScopedPointer<QTemporaryDir> folder;
};

QTEST_GUILESS_MAIN(TestBookStorage)
#include "tst_bookstorage.moc"
