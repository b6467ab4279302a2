#include "BookmarkItemDelegate.h"

#include "Bookmark.h"
#include "BookmarkModel.h"
#include "fitCharCount.h"

#include <QPainter>
#include <QPainterPath>
#include <QTextOption>

namespace {

const int kTitleHeight = 20;
const int kSummaryHeight = 40;

void drawCard(QPainter *painter, const QPainterPath &outline, const char *pen, const char *brush)
{
    painter->setPen(QColor(pen));
    painter->setBrush(QColor(brush));
    painter->drawPath(outline);
}

} // namespace

BookmarkItemDelegate::BookmarkItemDelegate(QObject *parent) : QAbstractItemDelegate(parent) {}

void BookmarkItemDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    if (!index.isValid())
        return;
    painter->save();
    paintCard(painter, option.rect, option.state);
    paintText(painter, option.rect, index);
    painter->restore();
}

QSize BookmarkItemDelegate::sizeHint(const QStyleOptionViewItem &option, const QModelIndex &) const
{
    return QSize(option.rect.width(), CardHeight);
}

QString BookmarkItemDelegate::shownTitle(const QString &title, const QString &progress, const QFontMetrics &metrics,
                                         int width)
{
    const int room = width - (progress.isEmpty() ? 0 : metrics.horizontalAdvance(progress) + Gap);
    return metrics.elidedText(title, Qt::ElideMiddle, qMax(0, room));
}

void BookmarkItemDelegate::paintCard(QPainter *painter, const QRect &rect, QStyle::State state)
{
    QPainterPath outline;
    outline.moveTo(rect.right(), rect.top());
    outline.lineTo(rect.left(), rect.top());
    outline.lineTo(rect.left(), rect.bottom());
    outline.lineTo(rect.right(), rect.bottom());
    outline.lineTo(rect.right(), rect.top());
    if (state & QStyle::State_MouseOver)
        drawCard(painter, outline, "#0b2ddd", "#ebecff");
    // Drawn over the hover colours: a selected row looks selected while the
    // mouse is on it too.
    if (state & QStyle::State_Selected)
        drawCard(painter, outline, "#0e30e0", "#e0e0f6");
}

void BookmarkItemDelegate::paintText(QPainter *painter, const QRect &rect, const QModelIndex &index)
{
    const Bookmark bookmark = index.data(BookmarkModel::BookmarkRole).value<Bookmark>();
    const QRectF titleRect(rect.left(), rect.top(), rect.width(), kTitleHeight);
    // How far into the book, at the right of the title line.
    const QString progress = index.data(BookmarkModel::ProgressRole).toString();
    const QFontMetrics metrics = painter->fontMetrics();
    if (!progress.isEmpty())
        painter->drawText(titleRect, progress, QTextOption(Qt::AlignRight | Qt::AlignTop));
    QTextOption oneLine;
    oneLine.setWrapMode(QTextOption::NoWrap);
    painter->drawText(titleRect, shownTitle(bookmark.title, progress, metrics, rect.width()), oneLine);
    QString summary = bookmark.summary;
    summary.remove(QLatin1Char('\n'));
    const QRectF summaryRect(rect.left(), rect.top() + kTitleHeight, rect.width(), kSummaryHeight);
    // Cut at the end of a laid-out line, so the card never shows half a line.
    const int count = fitCharCount(summaryRect, summary, painter->font());
    painter->drawText(summaryRect, summary.left(count), QTextOption());
}
