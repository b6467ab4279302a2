#pragma once

#include <QFont>
#include <Qt>

class QPainter;
class QRect;
class QString;
class ReaderConfig;

/// A short line painted in a corner of the page: small, faint, in the
/// text's colour (a sign that pages turn, why reading stopped, a sync notice).
class PageNote
{
public:
    static void paint(QPainter *painter, const ReaderConfig *config, const QRect &page, Qt::Alignment where,
                      const QString &text);
    /// The font such a line is painted in.
    static QFont font(const ReaderConfig *config);
};
