#include "PageNote.h"

#include "ReaderConfig.h"

#include <QPainter>

QFont PageNote::font(const ReaderConfig *config)
{
    QFont font = config->font();
    font.setPointSizeF(qMax(6.0, font.pointSizeF() * 0.6));
    return font;
}

void PageNote::paint(QPainter *painter, const ReaderConfig *config, const QRect &page, Qt::Alignment where,
                     const QString &text)
{
    if (text.isEmpty())
        return;
    QColor color = config->textColor();
    color.setAlphaF(color.alphaF() * 0.6);
    painter->save();
    painter->setFont(font(config));
    painter->setPen(color);
    painter->drawText(page, where | Qt::TextWordWrap, text);
    painter->restore();
}
