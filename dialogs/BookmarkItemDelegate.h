#pragma once

#include <QAbstractItemDelegate>
#include <QFontMetrics>
#include <QStyle>

/// Draws a bookmark as a 60-pixel card: its title on the first 20 pixels and
/// as much of its summary as fills the 40 below, outlined and filled in blue
/// when hovered or selected.
class BookmarkItemDelegate : public QAbstractItemDelegate
{
    Q_OBJECT

public:
    static constexpr int CardHeight = 60;

    explicit BookmarkItemDelegate(QObject *parent = nullptr);

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;

    /// The title as the card shows it beside `progress` in `width`: a long
    /// one gives way in its middle, so that its start, "（自动保存）" and the
    /// percentage always show.
    static QString shownTitle(const QString &title, const QString &progress, const QFontMetrics &metrics, int width);
    /// Room between the title and the percentage.
    static constexpr int Gap = 8;

private:
    static void paintCard(QPainter *painter, const QRect &rect, QStyle::State state);
    static void paintText(QPainter *painter, const QRect &rect, const QModelIndex &index);
};
