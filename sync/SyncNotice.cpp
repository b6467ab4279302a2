#include "SyncNotice.h"

#include "PageNote.h"
#include "ReaderConfig.h"

#include <QPainter>

SyncNotice::SyncNotice(ReaderConfig *config, QObject *parent) : QObject(parent), config(config)
{
    timer.setSingleShot(true);
    connect(&timer, &QTimer::timeout, this, &SyncNotice::hide);
}

void SyncNotice::show(int previous, int ms)
{
    previous_ = previous;
    text_ = tr("已同步到另一台设备的位置");
    timer.start(ms);
    emit changed();
}

void SyncNotice::hide()
{
    timer.stop();
    previous_ = -1;
    if (text_.isEmpty())
        return;
    text_.clear();
    emit changed();
}

// Like the other notes on the page: small and faint, out of the text's way.
void SyncNotice::paint(QPainter *painter, const QRect &page) const
{
    if (!text_.isEmpty())
        PageNote::paint(painter, config, page, Qt::AlignTop | Qt::AlignLeft, text_ + tr("  ↶ 撤销"));
}

QRect SyncNotice::area(const QRect &page) const
{
    if (text_.isEmpty())
        return QRect();
    return QFontMetrics(PageNote::font(config))
        .boundingRect(page, Qt::AlignTop | Qt::AlignLeft | Qt::TextWordWrap, text_ + tr("  ↶ 撤销"));
}
