#include "BookIndex.h"
#include "CleanText.h"
#include "KeywordSearch.h"
#include "Prompter.h"
#include "Reader.h"
#include "ReaderConfig.h"
#include "ReaderFiles.h"
#include "RulesDialog.h"

#include <QtTest>
#include <QtWidgets>

namespace {

struct AnsweringPrompter : Prompter
{
    void information(QWidget *, const QString &text) override { told << text; }
    void warning(QWidget *, const QString &text) override { told << text; }
    QString openFileName(QWidget *, const QString &, const QString &, const QString &) override { return file; }
    QString saveFileName(QWidget *, const QString &, const QString &, const QString &) override { return file; }
    QStringList told;
    QString file;
};

ReplaceRule rule(const QString &name, const QString &pattern, bool regex = false, const QString &replacement = {})
{
    ReplaceRule made;
    made.name = name;
    made.pattern = pattern;
    made.isRegex = regex;
    made.replacement = replacement;
    return made;
}

// A traditional novel with an advert line in each chapter.
QString traditional(int chapters)
{
    QString text;
    for (int i = 1; i <= chapters; ++i)
        text +=
            QStringLiteral("第%1章 開始\n　　這是測試，軟體很好。\n請記住本站域名 www.example.com\n　　他們說話了。\n")
                .arg(i);
    return text;
}

} // namespace

class TestCleanText : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    ReaderConfig *config = nullptr;
    Reader *reader = nullptr;
    CleanText *clean = nullptr;

private slots:
    void init()
    {
        QFile::remove(iniPath());
        QFile::remove(CleanText::storePath());
        config = new ReaderConfig;
        reader = new Reader(config);
        reader->setPageRect(QRect(0, 0, 400, 300));
        clean = new CleanText(reader->session(), config);
    }
    void cleanup()
    {
        delete clean;
        delete reader;
        delete config;
    }

    // Rules and a script change what is shown, never what is stored: the place keeps its words,
    // the bookmark file its bytes, and the bookmarks are titled in the shown script.
    void aTransformChangesNothingStored()
    {
        const QString path = writeFile(dir.filePath("store.txt"), traditional(40).toUtf8());
        ReadingSession *session = reader->session();
        QVERIFY(session->openBook(path));
        const QString decoded = session->book()->text();
        const int place = decoded.indexOf(QStringLiteral("他們說話了"), decoded.size() / 2);
        session->jumpTo(place);
        QVERIFY(session->addBookmark());
        session->book()->flushBookmarks();
        const QByteArray stored = readFile(session->book()->bookmarkPath());

        clean->setRules({rule("广告", "請記住本站域名\\s*\\S+\\n", true)});
        config->setValue("clean/script", 1);
        const Book *book = session->book();
        QVERIFY(!book->text().contains(QStringLiteral("本站")));
        QCOMPARE(book->text().mid(session->position(), 5), QStringLiteral("他们说话了"));
        QTRY_COMPARE(book->bookmarks().at(1).title, QStringLiteral("第21章 开始"));
        QCOMPARE(book->decodedOffset(session->position()), place);

        config->setValue("clean/script", 0);
        clean->setRules({});
        QCOMPARE(session->position(), place);
        session->book()->flushBookmarks();
        QCOMPARE(readFile(session->book()->bookmarkPath()), stored);
    }

    // Shown in simplified, found as typed in either script, at the shown places.
    void findMatchesEitherScript()
    {
        config->setValue("clean/script", 1);
        const QString path = writeFile(dir.filePath("find.txt"), traditional(3).toUtf8());
        QVERIFY(reader->session()->openBook(path));
        const Book *book = reader->book();
        QVERIFY(book->foldsForSearch());
        const QString folded = book->foldedForSearch(book->text());
        KeywordSearch search(folded);
        for (const QString &typed : {QStringLiteral("軟體很好"), QStringLiteral("软体很好")}) {
            search.reset(book->foldedForSearch(typed));
            const int found = search.next(0);
            QCOMPARE(book->text().mid(found, 4), QStringLiteral("软体很好"));
            QCOMPARE(search.markAll(), 3);
        }
    }

    // A rule that backtracks without end on a long book is switched off, named, and the others still apply.
    void aRunawayRuleIsSwitchedOffAndNamed()
    {
        AnsweringPrompter told;
        QSignalSpy messages(clean, &CleanText::message);
        clean->setRuleBudget(300);
        clean->setRules({rule("失控", "(a|aa)+$", true), rule("改字", "軟體", false, "软件")});
        const QString path =
            writeFile(dir.filePath("runaway.txt"), (QByteArray("a").repeated(4000) + "b\n軟體\n").repeated(300));
        QVERIFY(reader->session()->openBook(path));
        QTRY_COMPARE_WITH_TIMEOUT(messages.size(), 1, 10000);
        QVERIFY(messages.at(0).at(0).toString().contains(QStringLiteral("失控")));
        QVERIFY(!clean->rules().at(0).enabled);
        QVERIFY(clean->rules().at(1).enabled);
        QVERIFY(reader->book()->text().contains(QStringLiteral("软件")));
    }

    // A long book shows its cleaned start when new, the cleaned stretch around its place when opened before,
    // before the whole is read and shaped; the place keeps its words.
    void aLongBookShowsItsCleanedPlaceFirst()
    {
        clean->setRules({rule("广告", "請記住本站域名 www.example.com\n")});
        config->setValue("clean/script", 1);
        const QString text = traditional(120000);
        const QString path = writeFile(dir.filePath("long.txt"), text.toUtf8());
        Book *book = reader->book();
        QVERIFY(reader->session()->openBook(path));
        QVERIFY(!book->isComplete());
        QVERIFY(
            book->text().startsWith(QStringLiteral("第1章 开始\n　　这是测试，软体很好。\n　　他们说话了。\n第2章")));
        book->waitForText();
        QCOMPARE(book->length(), text.size() - 120000 * 24);
        QVERIFY(book->text().endsWith(QStringLiteral("第120000章 开始\n　　这是测试，软体很好。\n　　他们说话了。\n")));
        const int place = book->text().indexOf(QStringLiteral("第90000章"));
        reader->session()->jumpTo(place);
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(BookIndex::pathFor(path)), 20000);
        reader->session()->closeBook();
        QVERIFY(reader->session()->openBook(path));
        QVERIFY(!book->isComplete());
        QCOMPARE(book->text().mid(reader->session()->position(), 15), QStringLiteral("第90000章 开始\n　　这是"));
        book->waitForText();
        QCOMPARE(book->text().mid(reader->session()->position(), 15), QStringLiteral("第90000章 开始\n　　这是"));
    }

    // Rules come in from a shared file (a broken entry told by its number), the preview counts on the
    // open book, OK stores them.
    void theRulesDialogImportsPreviewsAndStores()
    {
        const QString path = writeFile(dir.filePath("dialog.txt"), traditional(7).toUtf8());
        QVERIFY(reader->session()->openBook(path));
        auto *prompter = new AnsweringPrompter;
        Prompter::install(prompter);
        prompter->file = writeFile(dir.filePath("shared.json"),
                                   R"([{"name":"去广告","pattern":"請記住本站域名","isEnabled":true,"custom":1},
                                       {"name":"坏的"}, {"name":"他们","pattern":"他們","replacement":"他们"}])");
        {
            RulesDialog dialog(clean, reader->book());
            dialog.findChild<QPushButton *>("btn_rule_import")->click();
            QCOMPARE(dialog.rules().size(), 2);
            QVERIFY(prompter->told.last().contains(QStringLiteral("第 2 条")));
            dialog.findChild<QListWidget *>("lw_rules")->setCurrentRow(0);
            dialog.waitForPreview();
            QCOMPARE(dialog.findChild<QLabel *>("lb_rule_count")->text(), QStringLiteral("本书中有 7 处"));
            dialog.accept();
        }
        QCOMPARE(clean->rules().size(), 2);
        QVERIFY(!reader->book()->text().contains(QStringLiteral("請記住本站域名")));
        prompter->file = dir.filePath("out.json");
        {
            RulesDialog dialog(clean, reader->book());
            dialog.findChild<QPushButton *>("btn_rule_export")->click();
        }
        const QJsonArray exported = QJsonDocument::fromJson(readFile(prompter->file)).array();
        QCOMPARE(exported.size(), 2);
        QCOMPARE(exported.at(0).toObject().value("custom").toInt(), 1); // what other apps keep comes back
        Prompter::install(nullptr);
        delete prompter;
    }
};

QTEST_MAIN(TestCleanText)
#include "tst_cleantext.moc"
