#include "fitCharCount.h"

#include <QFontMetrics>
#include <QTextLayout>

int fitCharCount(const QRectF &rect, const QString &text, const QFont &font)
{
    if (text.isEmpty())
        return 0;
    const int lineHeight = QFontMetrics(font).lineSpacing();
    QTextLayout layout(text, font);
    layout.beginLayout();
    int limit = 2 * lineHeight;
    int count = 0;
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(rect.width());
        count += line.textLength();
        if (rect.height() < limit)
            break;
        limit += lineHeight;
    }
    layout.endLayout();
    return count;
}
