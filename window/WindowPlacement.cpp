#include "WindowPlacement.h"

#include <QGuiApplication>
#include <QScreen>

// A stored rectangle that is empty, garbage or off every screen would open
// a window nobody can see or grab: bring it onto the screen it overlaps
// most (the primary one when none), at least the smallest size.
QRect WindowPlacement::onScreen(const QRect &stored, const QSize &smallest)
{
    const QScreen *best = QGuiApplication::primaryScreen();
    int bestArea = 0;
    for (const QScreen *screen : QGuiApplication::screens()) {
        const QRect common = screen->availableGeometry().intersected(stored.normalized());
        if (common.width() * qint64(common.height()) > bestArea) {
            bestArea = common.width() * common.height();
            best = screen;
        }
    }
    if (!best)
        return stored;
    const QRect available = best->availableGeometry();
    QRect rect = stored.isValid() ? stored
                                  : QRect(available.topLeft() + QPoint(available.width() / 3, available.height() / 3),
                                          available.size() / 3);
    rect.setSize(rect.size().expandedTo(smallest).boundedTo(available.size()));
    rect.moveLeft(qBound(available.left(), rect.left(), available.right() + 1 - rect.width()));
    rect.moveTop(qBound(available.top(), rect.top(), available.bottom() + 1 - rect.height()));
    return rect;
}
