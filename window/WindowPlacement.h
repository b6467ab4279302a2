#pragma once

#include <QRect>

/// Where the reading window may stand on the screens.
namespace WindowPlacement {

/// `stored` brought onto the screen it overlaps most (the primary one when
/// none), at least `smallest` and at most that screen's available area.
QRect onScreen(const QRect &stored, const QSize &smallest);

} // namespace WindowPlacement
