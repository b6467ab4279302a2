#include "FindDialog.h"
#include "ui_FindDialog.h"

#include "Prompter.h"

namespace {

const QColor kMarkColor(247, 250, 165);
const QColor kCurrentColor(238, 219, 26);

void setSelectionColors(QWidget *widget)
{
    QPalette palette = widget->palette();
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        palette.setColor(group, QPalette::Highlight, kCurrentColor);
        palette.setColor(group, QPalette::HighlightedText, Qt::black);
    }
    widget->setPalette(palette);
}

} // namespace

FindDialog::FindDialog(const QString &text, int startOffset, QWidget *parent)
    : QDialog(parent), ui(new Ui::FindDialog), text(text), searchText(text), startOffset(startOffset),
      resultOffset(startOffset), search(searchText)
{
    ui->setupUi(this);
    BookTextView *view = ui->plainTextEdit;
    view->setText(this->text);
    view->setMarkColor(kMarkColor);
    on_rb_from_cur_clicked();
    setSelectionColors(view);
    ui->rb_from_cur->setChecked(true);
    ui->et_keyword->setFocus();
    connect(view, &BookTextView::visibleRangeChanged, this, &FindDialog::refreshMarks);
}

FindDialog::~FindDialog() = default;

void FindDialog::setFold(std::function<QString(const QString &)> fold)
{
    this->fold = std::move(fold);
    searchText = this->fold ? this->fold(text) : text;
    lastKeyword.clear();
    prepareSearch();
}

void FindDialog::refreshMarks()
{
    BookTextView *view = ui->plainTextEdit;
    if (search.keyword().isEmpty()) {
        view->setMarks({}, 0);
        return;
    }
    const QVector<int> starts = search.marksIn(view->firstVisibleOffset(), view->visibleEnd() + 1);
    view->setMarks(starts, search.keyword().size());
}

void FindDialog::setViewCursor(int position)
{
    ui->plainTextEdit->setCursorPosition(qBound(0, position, text.size()));
}

void FindDialog::inform(const QString &message)
{
    Prompter::current()->information(this, message);
}

void FindDialog::prepareSearch()
{
    const QString keyword = ui->et_keyword->text().trimmed();
    if (keyword == lastKeyword)
        return;
    lastKeyword = keyword;
    ui->tv_count->setText(QStringLiteral("0"));
    search.reset(fold ? fold(keyword) : keyword);
    // A new keyword starts afresh: no marks, no selection, and the search
    // begins where the radio buttons say.
    if (ui->rb_from_cur->isChecked())
        on_rb_from_cur_clicked();
    else
        on_rb_from_begin_clicked();
    refreshMarks();
}

void FindDialog::on_btn_find_clicked()
{
    prepareSearch();
    const int count = search.markAll();
    ui->tv_count->setText(QString::number(count));
    refreshMarks();
    repaint();
    if (count > 0)
        on_btn_next_clicked();
    else
        inform(QStringLiteral("没有找到关键词"));
}

void FindDialog::on_btn_next_clicked()
{
    prepareSearch();
    const int start = search.next(ui->plainTextEdit->selectionEnd());
    if (start < 0) {
        inform(QStringLiteral("别点了，后边没了"));
        return;
    }
    showOccurrence(start);
}

void FindDialog::on_btn_back_clicked()
{
    prepareSearch();
    const int start = search.previous(ui->plainTextEdit->selectionStart());
    if (start < 0) {
        inform(QStringLiteral("别点了，到头了"));
        return;
    }
    showOccurrence(start);
}

void FindDialog::showOccurrence(int start)
{
    search.mark(start);
    ui->plainTextEdit->setSelection(start, start + search.keyword().size());
    refreshMarks();
    ui->plainTextEdit->viewport()->repaint();
    resultOffset = start;
}

void FindDialog::on_et_keyword_textChanged(const QString &newText)
{
    if (newText.isEmpty())
        prepareSearch();
}

void FindDialog::on_rb_from_cur_clicked()
{
    ui->plainTextEdit->showAtTop(startOffset);
    setViewCursor(startOffset);
}

void FindDialog::on_rb_from_begin_clicked()
{
    setViewCursor(0);
}

void FindDialog::on_btn_goto_clicked()
{
    accept();
}
