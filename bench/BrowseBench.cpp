// Browsing a ~50 MB novel of about 3,000 chapters. Find dialog: count and
// mark of "的" and of a keyword found once near the end; next and previous
// when the occurrence is at the far end of the book (opening it is
// tavril-bench-find). Contents dialog: opening it on the whole chapter list.
// Budgets: the find dialog's view shares the book's text, never copies it;
// count and mark of "的" under 0.5 s; next and previous under 100 ms; the
// contents dialog under 200 ms.

#include "BenchSupport.h"
#include "Book.h"
#include "BookTextView.h"
#include "ContentsDialog.h"
#include "FindDialog.h"
#include "MessageBoxCloser.h"
#include "configSettings.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>

namespace {

const QString kNearEnd = QStringLiteral("Tavril终章");
const QString kNearStart = QStringLiteral("Tavril序章");

bool verdict(const char *what, double ms, double budget)
{
    const bool ok = ms <= budget;
    std::printf("%-52s %9.1f ms (budget %g ms) %s\n", what, ms, budget, ok ? "ok" : "OVER");
    return ok;
}

QString novel(qint64 bytes)
{
    QString text = bench::generateNovel(bytes, 35);
    // Each once, at the far ends of the book: a search for them walks it all.
    text.insert(text.lastIndexOf(QLatin1Char('\n'), text.size() - text.size() / 100) + 1, kNearEnd);
    text.insert(text.indexOf(QLatin1Char('\n'), text.size() / 100) + 1, kNearStart);
    return text;
}

struct FindRun
{
    explicit FindRun(FindDialog *dialog) : dialog(dialog) {}
    void type(const QString &keyword)
    {
        dialog->findChild<QLineEdit *>(QStringLiteral("et_keyword"))->setText(keyword);
    }
    double click(const char *button)
    {
        auto *target = dialog->findChild<QAbstractButton *>(QLatin1String(button));
        return bench::timeMs([&] { target->click(); });
    }
    QString count() { return dialog->findChild<QLabel *>(QStringLiteral("tv_count"))->text(); }
    BookTextView *view() { return dialog->findChild<BookTextView *>(QStringLiteral("plainTextEdit")); }
    FindDialog *dialog;
};

bool findDialog(const QString &text)
{
    FindDialog dialog(text, 0);
    dialog.show();
    QCoreApplication::processEvents();
    FindRun find(&dialog);
    find.click("rb_from_begin");
    find.type(QStringLiteral("的"));
    const double common = find.click("btn_find");
    std::printf("  \"的\": %s occurrences, %d marked on screen\n", qPrintable(find.count()),
                find.view()->markStarts().size());
    bool ok = verdict("count and mark \"的\"", common, 500);
    ok = verdict("next \"的\"", find.click("btn_next"), 100) && ok;
    ok = verdict("previous \"的\"", find.click("btn_back"), 100) && ok;

    find.type(kNearEnd);
    const double rare = find.click("btn_find");
    std::printf("  \"%s\": %s occurrence\n", qPrintable(kNearEnd), qPrintable(find.count()));
    ok = verdict("count and mark a keyword found once near the end", rare, 500) && ok;
    find.click("rb_from_begin");
    ok = verdict("next from the start to the far end", find.click("btn_next"), 100) && ok;

    find.type(kNearStart);
    find.click("btn_find");
    find.view()->setCursorPosition(text.size()); // as if the user clicked there
    ok = verdict("previous from the end to the far start", find.click("btn_back"), 100) && ok;

    const bool shared = find.view()->text().constData() == text.constData();
    std::printf("%-52s %9d      (budget 0) %s\n", "copies of the text in the view", shared ? 0 : 1,
                shared ? "ok" : "OVER");
    return ok && shared;
}

bool contentsDialog(const QString &path)
{
    Book book;
    if (!book.open(path))
        return false;
    book.waitForChapters();
    const int chapters = book.chapterCount();
    const int current = book.chapter(chapters / 2).offset;
    const double open = bench::medianMs(5, [&] {
        ContentsDialog dialog(book.title(true), &book, current);
        dialog.show();
        QCoreApplication::processEvents();
    });
    std::printf("  %d chapters\n", chapters);
    return verdict("open the contents dialog", open, 200);
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir dir;
    overrideSettingsFile(dir.filePath(QStringLiteral("tavrilconfig.ini")));
    const MessageBoxCloser boxes;

    const qint64 size = argc > 1 ? QByteArray(argv[1]).toLongLong() * 1000 * 1000 : 50 * 1000 * 1000;
    const QString text = novel(size);
    const QString path = dir.filePath(QStringLiteral("novel.txt"));
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(text.toUtf8()) < 0)
            return 2;
    }
    std::printf("novel: %.1f MB, %d characters\n", size / 1e6, text.size());
    bool ok = findDialog(text);
    ok = contentsDialog(path) && ok;
    std::printf("%s\n", ok ? "all budgets met" : "BUDGET MISSED");
    return ok ? 0 : 1;
}
