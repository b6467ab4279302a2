#pragma once

#include "KeywordSearch.h"

#include <functional>

#include <QDialog>
#include <QScopedPointer>

namespace Ui {
class FindDialog;
}

/// Searches the book's text for a keyword: shows the text, counts and marks
/// the occurrences, steps through them and returns the one in view.
///
/// The view shares the text and lays out only what is on screen: a copy of a
/// long novel in a text document took seconds and hundreds of megabytes. It
/// marks only the occurrences on screen (marking every "的" of a long novel
/// takes tens of seconds), renewed whenever the view scrolls or changes size.
class FindDialog : public QDialog
{
    Q_OBJECT

public:
    /// `text` must hold no carriage returns, so that positions in the view
    /// are offsets in it. The dialog keeps its own (shared) copy: the book may
    /// be closed while it is open. The view's cursor starts at `startOffset`.
    FindDialog(const QString &text, int startOffset, QWidget *parent = nullptr);
    ~FindDialog() override;

    /// Start of the last occurrence shown, or the start offset if none was.
    int foundOffset() const { return resultOffset; }
    /// Searches `fold`(text) for `fold`(keyword): characters of other forms
    /// match (simplified and traditional) where `fold` maps each character
    /// to one of its class, keeping positions.
    void setFold(std::function<QString(const QString &)> fold);

private slots:
    void on_btn_find_clicked();
    void on_btn_next_clicked();
    void on_btn_back_clicked();
    void on_et_keyword_textChanged(const QString &text);
    void on_rb_from_cur_clicked();
    void on_rb_from_begin_clicked();
    void on_btn_goto_clicked();
    void refreshMarks();

private:
    void prepareSearch();
    void setViewCursor(int position);
    void showOccurrence(int start);
    void inform(const QString &text);

    QScopedPointer<Ui::FindDialog> ui;
    const QString text;
    QString searchText; // the text, folded when a fold is set
    std::function<QString(const QString &)> fold;
    const int startOffset;
    int resultOffset;
    QString lastKeyword;
    KeywordSearch search;
};
