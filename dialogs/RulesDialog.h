#pragma once

#include "ReplaceRule.h"
#include "RulePreview.h"

#include <QDialog>
#include <QFutureWatcher>
#include <QList>
#include <QScopedPointer>
#include <QTimer>

#include <atomic>
#include <memory>

class Book;
class CleanText;

namespace Ui {
class RulesDialog;
}

/// The replacement rules (净化规则): the list in order, each on or off, an
/// editor for the chosen one with a live preview on the open book (how many
/// places it matches, a few of them before and after), and import and export
/// of the rule files reading apps share. OK stores the rules and shows the
/// book through them; Cancel forgets the edits.
class RulesDialog : public QDialog
{
    Q_OBJECT

public:
    RulesDialog(CleanText *clean, const Book *book, QWidget *parent = nullptr);
    ~RulesDialog() override;

    QList<ReplaceRule> rules() const { return rules_; }
    /// Waits for the preview under way (tests).
    void waitForPreview();

    void accept() override;

private:
    void fillList();
    void showRule(int row);
    void editRule();
    void startPreview();
    void showPreview();
    void move(int by);
    void importRules();
    void exportRules();

    CleanText *clean;
    const Book *book;
    QScopedPointer<Ui::RulesDialog> ui;
    QList<ReplaceRule> rules_;
    QTimer previewDelay;
    QFutureWatcher<RulePreview> preview;
    std::shared_ptr<std::atomic<bool>> stopPreview;
    bool loading = false;
};
