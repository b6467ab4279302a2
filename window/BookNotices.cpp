#include "BookNotices.h"

#include "Book.h"
#include "FileNameCodec.h"
#include "Prompter.h"
#include "ReaderConfig.h"

#include <QDir>
#include <QWidget>

namespace {

QString shown(const QString &path)
{
    return QDir::toNativeSeparators(FileNameCodec::displayed(path));
}

} // namespace

BookNotices::BookNotices(Book *book, ReaderConfig *config, QWidget *window)
    : QObject(window), book(book), config(config), window(window)
{
    BookmarkStore *store = book->bookmarkStore();
    // Queued: a box must not open in the middle of the book's own work.
    const auto queued = Qt::QueuedConnection;
    connect(
        store, &BookmarkStore::saveFailed, this,
        [this](const QString &reason) {
            if (toldSaveFailures.contains(this->book->path()))
                return;
            toldSaveFailures.insert(this->book->path());
            tell(tr("无法保存%1的阅读位置和书签：%2\n以后每次翻页时会再试。").arg(this->book->title(true), reason));
        },
        queued);
    connect(
        store, &BookmarkStore::foreignFileKept, this,
        [this](const QString &foreign, const QString &path) {
            tellOnce(
                QStringLiteral("foreignBookmarkFile"), this->book->path(),
                tr("“%1”不是书签文件，阅读器不会改动它。\n这本书的书签保存在：\n%2").arg(shown(foreign), shown(path)));
        },
        queued);
    connect(
        store, &BookmarkStore::relocated, this,
        [this](const QString &path) {
            tellOnce(QStringLiteral("readOnlyFolder"), this->book->path(),
                     tr("书所在的文件夹无法写入，书签保存在：\n%1").arg(shown(path)));
        },
        queued);
    connect(
        store, &BookmarkStore::damaged, this,
        [this](int kept, const QString &backup) {
            const QString first = tr("书签文件已损坏，保留了其中完好的 %n 条书签。", nullptr, kept);
            tell(backup.isEmpty() ? first + QLatin1Char('\n') + tr("损坏的文件无法备份，因此不会被覆盖。")
                                  : first + QLatin1Char('\n') + tr("损坏的文件已备份为：\n%1").arg(shown(backup)));
        },
        queued);
    connect(
        book, &Book::chapterRuleTooSlow, this,
        [this](int found) {
            tell(tr("自定义的章节规则太慢，已停止查找章节（找到了前 %1 章）。请在设置中把规则改得简单些。").arg(found));
        },
        queued);
}

void BookNotices::tellOnce(const QString &notice, const QString &path, const QString &text)
{
    if (config->wasTold(notice, path))
        return;
    config->rememberTold(notice, path);
    tell(text);
}

void BookNotices::tell(const QString &text)
{
    Prompter::current()->information(window, text);
}
