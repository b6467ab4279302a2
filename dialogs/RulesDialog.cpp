#include "RulesDialog.h"
#include "ui_RulesDialog.h"

#include "Book.h"
#include "CleanText.h"
#include "Prompter.h"
#include "RuleFile.h"
#include "RuleTransform.h"

#include <QFile>
#include <QSaveFile>
#include <QtConcurrent>

namespace {
const int kExamples = 5;
const int kPreviewBudget = 2000; // ms: a preview that takes longer says so
const qint64 kLargestRuleFile = 16 << 20;
} // namespace

RulesDialog::RulesDialog(CleanText *clean, const Book *book, QWidget *parent)
    : QDialog(parent), clean(clean), book(book), ui(new Ui::RulesDialog), rules_(clean->rules())
{
    ui->setupUi(this);
    ui->cbb_rule_scope->addItems({tr("正文"), tr("标题"), tr("正文和标题")});
    ui->cb_rule_this_book->setEnabled(book->isOpen());
    previewDelay.setSingleShot(true);
    previewDelay.setInterval(300);
    connect(&previewDelay, &QTimer::timeout, this, &RulesDialog::startPreview);
    connect(&preview, &QFutureWatcher<RulePreview>::finished, this, &RulesDialog::showPreview);
    connect(ui->lw_rules, &QListWidget::currentRowChanged, this, &RulesDialog::showRule);
    connect(ui->lw_rules, &QListWidget::itemChanged, this, [this](QListWidgetItem *item) {
        const int row = ui->lw_rules->row(item);
        if (!loading && row >= 0 && row < rules_.size())
            rules_[row].enabled = item->checkState() == Qt::Checked;
    });
    for (QLineEdit *edit : {ui->et_rule_name, ui->et_rule_pattern, ui->et_rule_replacement})
        connect(edit, &QLineEdit::textEdited, this, &RulesDialog::editRule);
    connect(ui->cbb_rule_scope, QOverload<int>::of(&QComboBox::activated), this, &RulesDialog::editRule);
    connect(ui->cb_rule_regex, &QCheckBox::clicked, this, &RulesDialog::editRule);
    connect(ui->cb_rule_this_book, &QCheckBox::clicked, this, &RulesDialog::editRule);
    connect(ui->btn_rule_add, &QPushButton::clicked, this, [this] {
        ReplaceRule rule;
        rule.name = tr("新规则");
        rules_ << rule;
        fillList();
        ui->lw_rules->setCurrentRow(rules_.size() - 1);
        ui->et_rule_pattern->setFocus();
    });
    connect(ui->btn_rule_remove, &QPushButton::clicked, this, [this] {
        const int row = ui->lw_rules->currentRow();
        if (row < 0 || row >= rules_.size())
            return;
        rules_.removeAt(row);
        fillList();
        ui->lw_rules->setCurrentRow(qMin(row, rules_.size() - 1));
    });
    connect(ui->btn_rule_up, &QPushButton::clicked, this, [this] { move(-1); });
    connect(ui->btn_rule_down, &QPushButton::clicked, this, [this] { move(1); });
    connect(ui->btn_rule_import, &QPushButton::clicked, this, &RulesDialog::importRules);
    connect(ui->btn_rule_export, &QPushButton::clicked, this, &RulesDialog::exportRules);
    fillList();
    ui->lw_rules->setCurrentRow(rules_.isEmpty() ? -1 : 0);
    showRule(ui->lw_rules->currentRow());
}

RulesDialog::~RulesDialog()
{
    if (stopPreview)
        stopPreview->store(true);
    preview.waitForFinished();
}

void RulesDialog::fillList()
{
    loading = true;
    ui->lw_rules->clear();
    for (const ReplaceRule &rule : rules_) {
        auto *item = new QListWidgetItem(rule.displayName(), ui->lw_rules);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(rule.enabled ? Qt::Checked : Qt::Unchecked);
    }
    loading = false;
}

void RulesDialog::showRule(int row)
{
    const bool valid = row >= 0 && row < rules_.size();
    for (QWidget *field : {static_cast<QWidget *>(ui->et_rule_name), static_cast<QWidget *>(ui->et_rule_pattern),
                           static_cast<QWidget *>(ui->et_rule_replacement), static_cast<QWidget *>(ui->cbb_rule_scope),
                           static_cast<QWidget *>(ui->cb_rule_regex)})
        field->setEnabled(valid);
    const ReplaceRule rule = valid ? rules_.at(row) : ReplaceRule();
    ui->et_rule_name->setText(rule.name);
    ui->et_rule_pattern->setText(rule.pattern);
    ui->et_rule_replacement->setText(rule.replacement);
    ui->cb_rule_regex->setChecked(rule.isRegex);
    ui->cbb_rule_scope->setCurrentIndex(rule.scope == ReplaceRule::BodyOnly       ? 0
                                        : rule.scope == ReplaceRule::HeadingsOnly ? 1
                                                                                  : 2);
    ui->cb_rule_this_book->setChecked(valid && !CleanText::bookOf(rule).isEmpty());
    startPreview();
}

void RulesDialog::editRule()
{
    const int row = ui->lw_rules->currentRow();
    if (row < 0 || row >= rules_.size())
        return;
    ReplaceRule &rule = rules_[row];
    rule.name = ui->et_rule_name->text();
    rule.pattern = ui->et_rule_pattern->text();
    rule.replacement = ui->et_rule_replacement->text();
    rule.isRegex = ui->cb_rule_regex->isChecked();
    static const ReplaceRule::Scope scopes[] = {ReplaceRule::BodyOnly, ReplaceRule::HeadingsOnly, ReplaceRule::Both};
    rule.scope = scopes[qBound(0, ui->cbb_rule_scope->currentIndex(), 2)];
    CleanText::setBook(&rule, ui->cb_rule_this_book->isChecked() ? book->path() : QString());
    ui->lw_rules->item(row)->setText(rule.displayName());
    previewDelay.start();
}

// On a worker, within a budget: a pattern that runs away on a long book
// must not stop the dialog.
void RulesDialog::startPreview()
{
    if (stopPreview)
        stopPreview->store(true);
    preview.waitForFinished();
    const int row = ui->lw_rules->currentRow();
    if (row < 0 || row >= rules_.size() || !book->hasText()) {
        ui->lb_rule_count->setText(book->hasText() ? QString() : tr("打开一本书即可预览"));
        ui->lw_rule_examples->clear();
        return;
    }
    ui->lb_rule_count->setText(tr("正在预览…"));
    stopPreview = std::make_shared<std::atomic<bool>>(false);
    preview.setFuture(QtConcurrent::run([text = book->decodedText(), rule = rules_.at(row), stop = stopPreview] {
        RunLimits limits;
        limits.msPerRule = kPreviewBudget;
        limits.cancel = stop.get();
        return RuleTransform::preview(text, {}, rule, kExamples, limits);
    }));
}

void RulesDialog::showPreview()
{
    if (!stopPreview || stopPreview->load())
        return;
    const RulePreview result = preview.result();
    ui->lw_rule_examples->clear();
    if (!result.problem.isEmpty()) {
        ui->lb_rule_count->setText(result.problem);
        return;
    }
    ui->lb_rule_count->setText(
        result.runaway
            ? tr("这条规则太慢：%1 秒内找到 %2 处，启用后会被停用").arg(kPreviewBudget / 1000).arg(result.count)
            : tr("本书中有 %1 处").arg(result.count));
    for (const RulePreview::Example &example : result.examples)
        ui->lw_rule_examples->addItem(QStringLiteral("…%1【%2 → %3】%4…")
                                          .arg(example.before, example.matched, example.replacement, example.after));
}

void RulesDialog::waitForPreview()
{
    if (previewDelay.isActive()) {
        previewDelay.stop();
        startPreview();
    }
    preview.waitForFinished();
    QCoreApplication::sendPostedEvents(&preview);
    showPreview();
}

void RulesDialog::move(int by)
{
    const int row = ui->lw_rules->currentRow();
    const int to = row + by;
    if (row < 0 || to < 0 || to >= rules_.size())
        return;
    rules_.move(row, to);
    // The order a rule file gives follows the list.
    for (int i = 0; i < rules_.size(); ++i)
        rules_[i].order = i;
    fillList();
    ui->lw_rules->setCurrentRow(to);
}

void RulesDialog::importRules()
{
    const QString path = Prompter::current()->openFileName(this, tr("导入净化规则"), QString(),
                                                           tr("规则文件 (*.json *.txt);;所有文件 (*)"));
    if (path.isEmpty())
        return;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > kLargestRuleFile) {
        Prompter::current()->warning(this, tr("无法读取规则文件：%1").arg(path));
        return;
    }
    QList<ReplaceRule> read;
    QStringList problems;
    if (!RuleFile::read(file.readAll(), &read, &problems)) {
        Prompter::current()->warning(this, problems.join(QLatin1Char('\n')));
        return;
    }
    rules_ << read;
    fillList();
    ui->lw_rules->setCurrentRow(rules_.size() - read.size());
    QString told = tr("导入了 %1 条规则。").arg(read.size());
    if (!problems.isEmpty())
        told += QLatin1Char('\n') + tr("跳过了这些：") + QLatin1Char('\n') + problems.join(QLatin1Char('\n'));
    Prompter::current()->information(this, told);
}

void RulesDialog::exportRules()
{
    const QString path = Prompter::current()->saveFileName(this, tr("导出净化规则"), QStringLiteral("rules.json"),
                                                           tr("规则文件 (*.json)"));
    if (path.isEmpty())
        return;
    QSaveFile file(path);
    const QByteArray bytes = RuleFile::write(rules_);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        Prompter::current()->warning(this, tr("无法保存规则文件：%1").arg(file.errorString()));
}

void RulesDialog::accept()
{
    clean->setRules(rules_);
    QDialog::accept();
}
