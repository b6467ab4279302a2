#include "Book.h"
#include "BookIndex.h"
#include "BookmarkFile.h"
#include "FileSizeLimit.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextCodec>
#include <QThread>
#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

namespace {

QString writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
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

QList<Bookmark> bookmarksIn(const QString &path)
{
    QFile file(path);
    QList<Bookmark> bookmarks;
    if (file.open(QIODevice::ReadOnly))
        BookmarkFile::read(file, &bookmarks);
    return bookmarks;
}

// A text with chapter headings at the given offsets, filler elsewhere.
QString textWithChaptersAt(const QList<int> &offsets, int length)
{
    QString text(length, QChar(u'文'));
    for (int i = 0; i < offsets.size(); ++i) {
        const QString heading = QStringLiteral("第%1章\n").arg(i + 1);
        if (offsets.at(i) > 0)
            text[offsets.at(i) - 1] = QLatin1Char('\n');
        text.replace(offsets.at(i), heading.size(), heading);
    }
    return text;
}

QString titles(const Book &book)
{
    QStringList titles;
    for (const Chapter &chapter : book.chapters())
        titles << chapter.title;
    return titles.join(QLatin1Char('|'));
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
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void init() { QVERIFY(dir.isValid()); }

    void opensAGbkBookAndCreatesItsBookmarkFile()
    {
        const QString text =
            QStringLiteral("\u3000\u3000天色将晚，江上起了风。\r\n第一章 风起\r\n") + QString(150, QChar(u'风'));
        const QString path =
            writeFile(dir.filePath(QStringLiteral("a.b.txt")), QTextCodec::codecForName("GBK")->fromUnicode(text));
        Book book;
        QVERIFY(book.open(path));
        QVERIFY(book.hasText());
        QCOMPARE(book.title(), QStringLiteral("a"));
        QCOMPARE(book.title(true), QStringLiteral("《a》"));
        QString expected = text;
        expected.remove(QLatin1Char('\r'));
        QCOMPARE(book.text(), expected);
        QCOMPARE(book.length(), expected.size());

        const QList<Bookmark> stored = bookmarksIn(dir.filePath(QStringLiteral("a.b.bmk")));
        QCOMPARE(stored.size(), 1);
        QCOMPARE(stored.at(0).offset, 0);
        QCOMPARE(stored.at(0).title, QStringLiteral("（自动保存）"));
        QCOMPARE(stored.at(0).summary, expected.left(100).trimmed());
        book.waitForChapters();
        QCOMPARE(book.chapterCount(), 1);
        QCOMPARE(book.chapter(0).title, QStringLiteral("第一章 风起"));
    }

    void failedOpensChangeNothing()
    {
        Book book;
        QVERIFY(book.open(writeFile(dir.filePath(QStringLiteral("first.txt")), "first book")));
        QVERIFY(!book.open(dir.filePath(QStringLiteral("missing.txt"))));
        QVERIFY(!book.open(dir.path()));
        // Too large to hold: refused before a byte is read (a sparse file).
        QFile huge(dir.filePath(QStringLiteral("huge.txt")));
        QVERIFY(huge.open(QIODevice::WriteOnly));
        QVERIFY(huge.resize(Book::MaxFileSize + 1));
        huge.close();
        QVERIFY(!book.open(huge.fileName()));
        QCOMPARE(book.text(), QStringLiteral("first book"));
        QCOMPARE(book.title(), QStringLiteral("first"));
        QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("huge.bmk"))));
    }

    void emptyFileOpensWithoutText()
    {
        Book book;
        QVERIFY(book.open(writeFile(dir.filePath(QStringLiteral("empty.txt")), QByteArray())));
        QVERIFY(!book.hasText());
        QCOMPARE(book.lastReadOffset(), 0);
    }

    void chapterLookups()
    {
        Book book;
        QVERIFY(book.open(
            writeFile(dir.filePath(QStringLiteral("three.txt")), textWithChaptersAt({10, 500, 900}, 1200).toUtf8())));
        book.waitForChapters();
        QCOMPARE(book.chapterCount(), 3);
        QCOMPARE(book.chapter(1).offset, 500);
        const QList<QPair<int, int>> cases = {{5, 0}, {10, 0}, {499, 0}, {500, 1}, {2000, 2}, {-1, -1}};
        for (const auto &c : cases)
            QCOMPARE(book.chapterIndexAt(c.first), c.second);
        QVERIFY(!book.chapterAt(-1).valid);
        QCOMPARE(book.chapterAt(600).title, QStringLiteral("第2章"));
        QVERIFY(!book.chapter(3).valid);
        QVERIFY(!book.chapter(-1).valid);
        QCOMPARE(book.chapter(3).offset, 0);
    }

    void bookmarksFollowTheRules()
    {
        Book book;
        const QString path =
            writeFile(dir.filePath(QStringLiteral("marks.txt")), textWithChaptersAt({10, 500, 900}, 1200).toUtf8());
        const QString bmk = dir.filePath(QStringLiteral("marks.bmk"));
        QVERIFY(book.open(path));
        book.waitForChapters();

        QVERIFY(book.autoSaveBookmark(520));
        QVERIFY(book.autoSaveBookmark(530));
        book.flushBookmarks();
        QList<Bookmark> stored = bookmarksIn(bmk);
        QCOMPARE(stored.size(), 1);
        QCOMPARE(stored.at(0).offset, 530);
        QCOMPARE(stored.at(0).title, QStringLiteral("第2章（自动保存）"));

        QVERIFY(book.addBookmark(500, false)); // at a heading: the summary skips it
        QVERIFY(book.addBookmark(3, false));   // before the first chapter
        stored = bookmarksIn(bmk);
        QCOMPARE(stored.size(), 3);
        QCOMPARE(stored.at(1).title, QStringLiteral("第2章"));
        QCOMPARE(stored.at(1).summary, book.text().mid(503, 100).trimmed());
        QCOMPARE(stored.at(2).title, QStringLiteral("第1章"));

        const QByteArray before = readFile(bmk);
        QVERIFY(!book.removeBookmark(3));
        QCOMPARE(readFile(bmk), before);
        QVERIFY(book.removeBookmark(1));
        QCOMPARE(bookmarksIn(bmk).size(), 2);
        QCOMPARE(bookmarksIn(bmk).at(1).offset, 3);

        Book again;
        QVERIFY(again.open(path));
        QCOMPARE(again.lastReadOffset(), 530);
    }

    void offsetsOutsideTheTextAreKeptButNeverRead()
    {
        const QString path = writeFile(dir.filePath(QStringLiteral("short.txt")), "short text");
        BookmarkFile::save(dir.filePath(QStringLiteral("short.bmk")),
                           {Bookmark{999999, QString(), QString()}, Bookmark{-50, QString(), QString()}});
        Book book;
        QVERIFY(book.open(path));
        QCOMPARE(book.lastReadOffset(), 999999);
        QVERIFY(book.addBookmark(-50, false));
        QVERIFY(book.addBookmark(999999, false));
        QCOMPARE(book.bookmarks().at(2).summary, QStringLiteral("short text"));
        QCOMPARE(book.bookmarks().at(3).summary, QString());
        QCOMPARE(bookmarksIn(dir.filePath(QStringLiteral("short.bmk"))).at(1).offset, -50);
    }

    void damagedBookmarkFileKeepsItsWholeRecordsAndABackup()
    {
        const QString path = writeFile(dir.filePath(QStringLiteral("damaged.txt")), "some text");
        const QList<Bookmark> three = {Bookmark{7, "a", "b"}, Bookmark{8, "c", "d"}, Bookmark{9, "e", "f"}};
        QByteArray damaged = BookmarkFile::serialize(three);
        damaged.chop(1);
        const QString bmk = writeFile(dir.filePath(QStringLiteral("damaged.bmk")), damaged);
        writeFile(bmk + QStringLiteral(".bak"), "older backup");
        Book book;
        QSignalSpy told(&book, &Book::bookmarksDamaged);
        QVERIFY(book.open(path));
        QCOMPARE(book.bookmarks().size(), 2);
        QCOMPARE(book.lastReadOffset(), 7);
        QCOMPARE(told.size(), 1);
        QCOMPARE(told.at(0).at(0).toInt(), 2);
        QCOMPARE(told.at(0).at(1).toString(), bmk + QStringLiteral(".bak"));
        QCOMPARE(readFile(bmk + QStringLiteral(".bak")), damaged); // backed up before anything is written
        QCOMPARE(readFile(bmk), damaged);
        QVERIFY(book.autoSaveBookmark(4));
        book.flushBookmarks();
        QCOMPARE(bookmarksIn(bmk).size(), 2);
        QCOMPARE(bookmarksIn(bmk).at(1).offset, 8);
        QVERIFY(book.autoSaveBookmark(5));
        QCOMPARE(readFile(bmk + QStringLiteral(".bak")), damaged);
    }

    void aFailedSaveKeepsTheFileAndIsTriedAgain()
    {
        const QString path =
            writeFile(dir.filePath(QStringLiteral("full.txt")), textWithChaptersAt({10}, 5000).toUtf8());
        Book book;
        QVERIFY(book.open(path));
        for (int i = 1; i <= 3; ++i)
            QVERIFY(book.addBookmark(i * 100, false));
        const QString bmk = dir.filePath(QStringLiteral("full.bmk"));
        const QByteArray before = readFile(bmk);
        QSignalSpy failed(&book, &Book::bookmarkSaveFailed);
        {
            const FileSizeLimit disk(64);
            QVERIFY(book.autoSaveBookmark(2000)); // queued: the failure is told when it happens
            book.flushBookmarks();
            QVERIFY(!book.lastSaveError().isEmpty());
            QVERIFY(!book.addBookmark(2100, false));
        }
        QTRY_COMPARE(failed.size(), 2);
        QCOMPARE(readFile(bmk), before);
        QVERIFY(book.autoSaveBookmark(2200)); // room again: the next move saves everything
        book.flushBookmarks();
        QCOMPARE(bookmarksIn(bmk).size(), 5);
        QCOMPARE(bookmarksIn(bmk).at(0).offset, 2200);
    }

    // A long book opened before shows its page from the stretch around the
    // reading place; the rest is read in the background, and then the book is
    // exactly the one read whole.
    void aLongBookIsShownBeforeItIsComplete()
    {
        const QString path = dir.filePath(QStringLiteral("long.txt"));
        QString text = manyChapters(QStringLiteral("长"), 250000);
        text.replace(QStringLiteral("正文正文"), QStringLiteral("正文\r\n正文")); // line ends made one
        writeFile(path, QTextCodec::codecForName("GBK")->fromUnicode(text));
        QString expected = text;
        expected.remove(QLatin1Char('\r'));
        {
            Book first;
            QVERIFY(first.open(path));
            QVERIFY(first.isComplete());
            QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(BookIndex::pathFor(path)), 20000);
            QVERIFY(first.autoSaveBookmark(expected.size() * 3 / 4));
        }
        Book book;
        QSignalSpy completed(&book, &Book::textCompleted);
        QVERIFY(book.open(path));
        QVERIFY(!book.isComplete());
        const int place = book.lastReadOffset();
        QCOMPARE(place, expected.size() * 3 / 4);
        QCOMPARE(book.length(), expected.size());
        QCOMPARE(book.text().mid(place, 5000), expected.mid(place, 5000));
        QTRY_COMPARE(completed.size(), 1);
        QVERIFY(book.isComplete());
        QCOMPARE(book.text(), expected);
        book.waitForChapters();
        QCOMPARE(book.chapterCount(), 250000);

        // Changed since: the index does not fit, and the book is read whole.
        writeFile(path, QTextCodec::codecForName("GBK")->fromUnicode(text + QStringLiteral("尾声\n")));
        Book changed;
        QVERIFY(changed.open(path));
        QVERIFY(changed.isComplete());
        QCOMPARE(changed.length(), expected.size() + 3);
    }

    void aBookClosedRightAfterAMoveKeepsTheMove()
    {
        const QString path =
            writeFile(dir.filePath(QStringLiteral("quick.txt")), textWithChaptersAt({10}, 9000).toUtf8());
        {
            Book book;
            QVERIFY(book.open(path));
            for (int offset = 1; offset <= 200; ++offset)
                book.autoSaveBookmark(offset * 40); // faster than any disk
        }
        QCOMPARE(bookmarksIn(dir.filePath(QStringLiteral("quick.bmk"))).at(0).offset, 8000);
    }

    void nothingIsWrittenForAClosedBook()
    {
        const QString path = writeFile(dir.filePath(QStringLiteral("closed.txt")), "closed book");
        const QString bmk = dir.filePath(QStringLiteral("closed.bmk"));
        Book never;
        QVERIFY(!never.addBookmark(0, false));
        QVERIFY(!QFile::exists(QStringLiteral(".bmk")));
        Book book;
        QVERIFY(book.open(path));
        const quint64 serial = book.serial();
        const QByteArray before = readFile(bmk);
        book.clear();
        QVERIFY(book.serial() != serial);
        QVERIFY(!book.isOpen());
        QVERIFY(!book.addBookmark(3, false));
        QVERIFY(!book.autoSaveBookmark(3));
        QVERIFY(!book.removeBookmark(0));
        QCOMPARE(readFile(bmk), before);
    }

    void aBookNamedBmkIsNeverOverwritten()
    {
        const QString path = writeFile(dir.filePath(QStringLiteral("story.bmk")), "a story, not bookmarks");
        Book book;
        QVERIFY(book.open(path));
        QVERIFY(book.autoSaveBookmark(3));
        book.flushBookmarks();
        QCOMPARE(readFile(path), QByteArray("a story, not bookmarks"));
        QCOMPARE(bookmarksIn(path + QStringLiteral(".bmk")).at(0).offset, 3);
    }

    void checkSaysWhyAFileCannotBeABook()
    {
        QCOMPARE(Book::check(dir.filePath(QStringLiteral("nowhere.txt"))), Book::NotFound);
        QCOMPARE(Book::check(dir.path()), Book::IsFolder);
        const QString fifo = dir.filePath(QStringLiteral("pipe.txt"));
        QVERIFY(mkfifo(QFile::encodeName(fifo).constData(), 0600) == 0);
        QCOMPARE(Book::check(fifo), Book::NotRegular);
        Book book;
        QVERIFY(!book.open(fifo)); // refused without blocking on the pipe
        QCOMPARE(book.openError(), Book::NotRegular);
        QCOMPARE(Book::check(writeFile(dir.filePath(QStringLiteral("fine.txt")), "fine")), Book::NoError);
    }

    void plainlyBinaryFilesAreTold_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("binary");
        const QString chinese = QStringLiteral("第一章 一二三\n\u3000\u3000天色将晚，江上起了风。\n");
        QTest::newRow("executable") << QByteArray("\x7F"
                                                  "ELF\x02\x01\x01\0\0\0\0\0",
                                                  12)
                                    << true;
        QTest::newRow("image") << QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16) << true;
        QTest::newRow("zeros in text") << QByteArray("text\0\0\0\0more text", 17) << true;
        QByteArray le(reinterpret_cast<const char *>(chinese.utf16()), chinese.size() * 2);
        QTest::newRow("UTF-16LE without a mark") << le << false;
        QByteArray be(le.size(), '\0');
        for (int i = 0; i + 1 < le.size(); i += 2) {
            be[i] = le.at(i + 1);
            be[i + 1] = le.at(i);
        }
        QTest::newRow("UTF-16BE without a mark") << be << false;
        QTest::newRow("GBK") << QTextCodec::codecForName("GBK")->fromUnicode(chinese) << false;
        QTest::newRow("empty") << QByteArray() << false;
    }
    void plainlyBinaryFilesAreTold()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, binary);
        QCOMPARE(Book::looksBinary(writeFile(dir.filePath(QStringLiteral("sniffed")), bytes)), binary);
    }

    // The file is read, not mapped: a file cut short while it is being read
    // must not kill the reader (SIGBUS).
    void aFileCutShortWhileOpeningIsSurvived()
    {
        const QString path = dir.filePath(QStringLiteral("shrinking.txt"));
        writeFile(path, QTextCodec::codecForName("GBK")->fromUnicode(manyChapters(QStringLiteral("戊"), 300000)));
        for (int round = 0; round < 3; ++round) {
            QThread *cutter = QThread::create([path, round] {
                QThread::msleep(1 + 3 * round);
                ::truncate(QFile::encodeName(path).constData(), 1000);
            });
            cutter->start();
            Book book;
            book.open(path);
            cutter->wait();
            delete cutter;
            writeFile(path, QTextCodec::codecForName("GBK")->fromUnicode(manyChapters(QStringLiteral("戊"), 300000)));
        }
    }

    void emptyBookmarkFileIsNoDamage()
    {
        const QString path = writeFile(dir.filePath(QStringLiteral("zero.txt")), "some text");
        const QString bmk = writeFile(dir.filePath(QStringLiteral("zero.bmk")), QByteArray());
        Book book;
        QVERIFY(book.open(path));
        QVERIFY(book.bookmarks().isEmpty());
        QVERIFY(book.autoSaveBookmark(2));
        QVERIFY(!QFile::exists(bmk + QStringLiteral(".bak")));
        QCOMPARE(bookmarksIn(bmk).size(), 1);
    }

    void bookmarkFileStaysBesideABookInAFolderNamedTxt()
    {
        const QString path = writeFile(dir.filePath(QStringLiteral("a.txt/b.txt")), "text");
        Book book;
        QVERIFY(book.open(path));
        QVERIFY(QFile::exists(dir.filePath(QStringLiteral("a.txt/b.bmk"))));
    }

    void lineEndsOfEveryKindBreakLines()
    {
        // Old Mac files end lines with a lone CR; CR LF stays one break.
        const QString path =
            writeFile(dir.filePath(QStringLiteral("mac.txt")), QStringLiteral("第一章\r正文\r\n第二章\r\r尾").toUtf8());
        Book book;
        QVERIFY(book.open(path));
        QCOMPARE(book.text(), QStringLiteral("第一章\n正文\n第二章\n\n尾"));
        book.waitForChapters();
        QCOMPARE(book.chapterCount(), 2);
        QCOMPARE(book.chapter(1).offset, 7);
    }

    void opensInTheEncodingAskedFor()
    {
        const QString traditional =
            QStringLiteral("老張說：「我要到城裡去一趟，給你娘買藥。她的病已經好幾天了，總是不見好轉。」");
        const QByteArray big5 = QTextCodec::codecForName("Big5")->fromUnicode(traditional);
        const QString path = writeFile(dir.filePath(QStringLiteral("big5.txt")), big5);
        Book book;
        QVERIFY(book.open(path));
        QCOMPARE(book.textEncoding(), TextEncoding::Big5);
        QCOMPARE(book.text(), traditional);
        QVERIFY(book.open(path, TextEncoding::Gb18030));
        QCOMPARE(book.textEncoding(), TextEncoding::Gb18030);
        QCOMPARE(book.text(), QTextCodec::codecForName("GB18030")->toUnicode(big5));
    }

    void changingTheRuleParsesAgain()
    {
        const QString text =
            QStringLiteral("楔子\n第一章 风起\n\u3000\u3000第六回合时，子曰：学而时习之。\n第二章 云涌\n");
        const QString path = writeFile(dir.filePath(QStringLiteral("rules.txt")), text.toUtf8());
        Book book;
        QVERIFY(book.open(path));
        book.waitForChapters();
        QCOMPARE(titles(book), QStringLiteral("第一章 风起|第六回合时，子曰：学而时习之。|第二章 云涌"));

        QSignalSpy ready(&book, &Book::chaptersReady);
        book.setChapterRule(ChapterRule::strict());
        QCOMPARE(book.chapterRule(), ChapterRule::strict());
        QVERIFY(ready.wait());
        QCOMPARE(titles(book), QStringLiteral("楔子|第一章 风起|第二章 云涌"));
        QCOMPARE(book.chapter(1).offset, 3);

        book.setChapterRule(ChapterRule::custom(QStringLiteral("第(")));
        QCOMPARE(book.chapterRule(), ChapterRule()); // never applied
        QVERIFY(ready.wait());
        QCOMPARE(book.chapterCount(), 3);

        Book closed;
        closed.setChapterRule(ChapterRule::strict());
        QVERIFY(closed.open(path)); // the rule holds for books opened later
        closed.waitForChapters();
        QCOMPARE(closed.chapterCount(), 3);
    }

    void changingTheRuleDuringAParseKeepsOnlyTheNewList()
    {
        QString text;
        for (int i = 0; i < 20000; ++i)
            text += QStringLiteral("第%1章 甲\n第%1节课下课后，\n").arg(i + 1);
        const QString path = writeFile(dir.filePath(QStringLiteral("long.txt")), text.toUtf8());
        for (int round = 0; round < 3; ++round) {
            Book book;
            QVERIFY(book.open(path));
            QTest::qWait(round);
            book.setChapterRule(ChapterRule::strict());
            book.waitForChapters();
            QCOMPARE(book.chapterCount(), 20000);
            QCOMPARE(book.chapter(19999).title, QStringLiteral("第20000章 甲"));
        }
    }

    void secondOpenDuringAParseKeepsOnlyItsChapters()
    {
        const QString first =
            writeFile(dir.filePath(QStringLiteral("first.txt")), manyChapters(QStringLiteral("甲"), 20000).toUtf8());
        const QString second =
            writeFile(dir.filePath(QStringLiteral("second.txt")), manyChapters(QStringLiteral("乙"), 50).toUtf8());
        for (int round = 0; round < 5; ++round) {
            Book book;
            QVERIFY(book.open(first));
            QTest::qWait(round); // stop the first parse at different points
            QVERIFY(book.open(second));
            book.waitForChapters();
            const QList<Chapter> chapters = book.chapters();
            QCOMPARE(chapters.size(), 50);
            for (const Chapter &c : chapters)
                QVERIFY(c.title.endsWith(QStringLiteral("乙")));
        }
    }

    void readersSeeAGrowingListDuringTheParse()
    {
        const QString path =
            writeFile(dir.filePath(QStringLiteral("growing.txt")), manyChapters(QStringLiteral("丙"), 30000).toUtf8());
        Book book;
        QVERIFY(book.open(path));
        int last = 0;
        while (book.isParsing()) {
            const int count = book.chapterCount();
            QVERIFY(count >= last);
            last = count;
            if (count > 0)
                QVERIFY(book.chapter(count - 1).valid);
            book.chapterAt(count * 10);
        }
        book.waitForChapters();
        QCOMPARE(book.chapterCount(), 30000);
    }

    void destroyingDuringAParseIsSafe()
    {
        const QString path =
            writeFile(dir.filePath(QStringLiteral("big.txt")), manyChapters(QStringLiteral("丁"), 30000).toUtf8());
        auto *book = new Book;
        QVERIFY(book->open(path));
        QVERIFY(book->isParsing());
        delete book;
        Book closed;
        QVERIFY(closed.open(path));
        closed.clear();
        QCOMPARE(closed.chapterCount(), 0);
        QVERIFY(!closed.hasText());
        QVERIFY(closed.bookmarks().isEmpty());
    }

private:
    QTemporaryDir dir;
};

QTEST_GUILESS_MAIN(TestBook)
#include "tst_book.moc"
