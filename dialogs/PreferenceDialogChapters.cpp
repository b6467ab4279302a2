// The chapter rule on the general tab of the preference dialog: standard,
// strict, or the user's own pattern, with how many chapters it finds in the
// open book.

#include "PreferenceDialog.h"
#include "ui_PreferenceDialog.h"

#include "Book.h"
#include "ChapterRule.h"
#include "ReaderConfig.h"

#include <QDeadlineTimer>

namespace {

const struct
{
    const char *name;
    const char *text;
} kRules[] = {
    {"standard", QT_TRANSLATE_NOOP("PreferenceDialog", "标准")},
    {"strict", QT_TRANSLATE_NOOP("PreferenceDialog", "严格")},
    {"custom", QT_TRANSLATE_NOOP("PreferenceDialog", "自定义")},
};
// A preview of a pattern on a long book stops here and says so.
const int kPreviewTime = 200;

} // namespace

void PreferenceDialog::setPreviewBook(Book *book)
{
    previewBook = book;
    showChapterPreview();
}

void PreferenceDialog::loadChapterRule()
{
    if (ui->cbb_chapter_rule->count() == 0) {
        for (const auto &rule : kRules)
            ui->cbb_chapter_rule->addItem(tr(rule.text), QString::fromLatin1(rule.name));
    }
    ui->cbb_chapter_rule->setCurrentIndex(ui->cbb_chapter_rule->findData(config->chapterRuleName()));
    ui->et_chapter_pattern->setText(config->chapterPattern());
    ui->et_chapter_pattern->setEnabled(config->chapterRuleName() == QLatin1String("custom"));
    showChapterPreview();
}

void PreferenceDialog::on_cbb_chapter_rule_activated(int index)
{
    const QString name = ui->cbb_chapter_rule->itemData(index).toString();
    ui->et_chapter_pattern->setEnabled(name == QLatin1String("custom"));
    applyChapterRule();
}

void PreferenceDialog::on_et_chapter_pattern_textChanged(const QString &)
{
    showChapterPreview();
}

void PreferenceDialog::on_et_chapter_pattern_editingFinished()
{
    applyChapterRule();
}

// A pattern that does not compile, or that would take longer than the
// scan allows on the open book, is never applied: the book keeps the rule it
// has, and the line under the field says what is wrong.
void PreferenceDialog::applyChapterRule()
{
    const QString name = ui->cbb_chapter_rule->currentData().toString();
    const QString pattern = ui->et_chapter_pattern->text();
    if (!showChapterPreview())
        return;
    if (name != config->chapterRuleName() || pattern != config->chapterPattern())
        config->setChapterRule(name, pattern);
}

bool PreferenceDialog::showChapterPreview()
{
    const QString name = ui->cbb_chapter_rule->currentData().toString();
    const QString pattern = ui->et_chapter_pattern->text();
    QString error;
    int at = 0;
    if (name == QLatin1String("custom") && !ChapterRule::isValidPattern(pattern, &error, &at)) {
        ui->lb_chapter_preview->setText(pattern.isEmpty()
                                            ? tr("请输入正则表达式")
                                            : tr("正则表达式有误（第 %1 个字符）：%2").arg(at + 1).arg(error));
        return false;
    }
    if (!previewBook || !previewBook->hasText()) {
        ui->lb_chapter_preview->clear();
        return true;
    }
    bool complete = true;
    int scanned = 0;
    const int count = previewBook->countChapters(ChapterRule::fromName(name, pattern), QDeadlineTimer(kPreviewTime),
                                                 &complete, &scanned);
    // What the preview covered in its time tells what the whole book takes.
    const double wholeTime = complete ? 0 : double(kPreviewTime) * previewBook->length() / qMax(1, scanned);
    if (name == QLatin1String("custom") && wholeTime > Book::CustomRuleBudget) {
        ui->lb_chapter_preview->setText(
            tr("这个规则太慢：查找全书的章节约需 %1 秒，没有采用。请把它改得简单些。").arg(qRound(wholeTime / 1000)));
        return false;
    }
    ui->lb_chapter_preview->setText(complete ? tr("在当前的书中找到 %1 章").arg(count)
                                             : tr("在当前的书中已找到 %1 章以上").arg(count));
    return true;
}
