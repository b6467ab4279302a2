#pragma once

#include <QAbstractItemDelegate>
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

private:
    static void paintCard(QPainter *painter, const QRect &rect, QStyle::State state);
    static void paintText(QPainter *painter, const QRect &rect, const QModelIndex &index);
};
