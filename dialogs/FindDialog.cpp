#include "FindDialog.h"
#include "ui_FindDialog.h"

#include <QMessageBox>
#include <QScrollBar>
#include <QTimer>

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
    : QDialog(parent), ui(new Ui::FindDialog), text(text), startOffset(startOffset), resultOffset(startOffset),
      search(this->text), marksTimer(new QTimer(this))
{
    ui->setupUi(this);
    QPlainTextEdit *view = ui->plainTextEdit;
    view->setPlainText(text);
    setViewCursor(startOffset);
    setSelectionColors(view);
    ui->rb_from_cur->setChecked(true);
    ui->et_keyword->setFocus();

    // A resize lays the view out again only after the event reaches it, so
    // the marks are renewed once the event loop has let it do that.
    marksTimer->setSingleShot(true);
    marksTimer->setInterval(0);
    connect(marksTimer, &QTimer::timeout, this, &FindDialog::refreshMarks);
    view->viewport()->installEventFilter(this);
    connect(view->verticalScrollBar(), &QScrollBar::valueChanged, this, &FindDialog::refreshMarks);
    connect(view->horizontalScrollBar(), &QScrollBar::valueChanged, this, &FindDialog::refreshMarks);
}

FindDialog::~FindDialog() = default;

bool FindDialog::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == ui->plainTextEdit->viewport() && (event->type() == QEvent::Resize || event->type() == QEvent::Show))
        marksTimer->start();
    return QDialog::eventFilter(watched, event);
}

void FindDialog::refreshMarks()
{
    QPlainTextEdit *view = ui->plainTextEdit;
    QList<QTextEdit::ExtraSelection> marks;
    if (!search.keyword().isEmpty()) {
        const QRect area = view->viewport()->rect();
        QTextCursor top = view->cursorForPosition(area.topLeft());
        top.movePosition(QTextCursor::StartOfLine);
        QTextCursor bottom = view->cursorForPosition(area.bottomRight());
        bottom.movePosition(QTextCursor::EndOfLine);
        QTextEdit::ExtraSelection mark;
        mark.format.setBackground(kMarkColor);
        mark.cursor = QTextCursor(view->document());
        const int length = search.keyword().size();
        for (int start : search.marksIn(top.position(), bottom.position() + 1)) {
            mark.cursor.setPosition(start);
            mark.cursor.setPosition(start + length, QTextCursor::KeepAnchor);
            marks.append(mark);
        }
    }
    view->setExtraSelections(marks);
}

void FindDialog::setViewCursor(int position)
{
    QTextCursor cursor(ui->plainTextEdit->document());
    cursor.setPosition(qBound(0, position, text.size()));
    ui->plainTextEdit->setTextCursor(cursor);
}

void FindDialog::inform(const QString &message)
{
    QMessageBox::information(this, QStringLiteral("提示"), message, QMessageBox::Ok);
}

void FindDialog::prepareSearch()
{
    const QString keyword = ui->et_keyword->text().trimmed();
    if (keyword == lastKeyword)
        return;
    lastKeyword = keyword;
    ui->tv_count->setText(QStringLiteral("0"));
    search.reset(keyword);
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
    const int start = search.next(ui->plainTextEdit->textCursor().selectionEnd());
    if (start < 0) {
        inform(QStringLiteral("别点了，后边没了"));
        return;
    }
    showOccurrence(start);
}

void FindDialog::on_btn_back_clicked()
{
    prepareSearch();
    const int start = search.previous(ui->plainTextEdit->textCursor().selectionStart());
    if (start < 0) {
        inform(QStringLiteral("别点了，到头了"));
        return;
    }
    showOccurrence(start);
}

void FindDialog::showOccurrence(int start)
{
    search.mark(start);
    QTextCursor cursor(ui->plainTextEdit->document());
    cursor.setPosition(start);
    cursor.setPosition(start + search.keyword().size(), QTextCursor::KeepAnchor);
    ui->plainTextEdit->setTextCursor(cursor);
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
    // From the end back to the start offset, so that its line ends up at the
    // top of the view rather than at the bottom.
    ui->plainTextEdit->moveCursor(QTextCursor::End);
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
