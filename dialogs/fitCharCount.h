#pragma once

#include <QFont>
#include <QRectF>
#include <QString>

/// How many leading characters of `text` fill the lines that fit in `rect`
/// when the text is laid out in `font` at the rectangle's width: always the
/// first line, then one more line per line spacing of height, so the count
/// ends at the end of a laid-out line. 0 for an empty text.
int fitCharCount(const QRectF &rect, const QString &text, const QFont &font);
