#include "WindowSystem.h"

#include <QGuiApplication>

namespace WindowSystem {

bool isWaylandSession()
{
    return qEnvironmentVariable("XDG_SESSION_TYPE") == QLatin1String("wayland") ||
           !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

bool isWaylandPlatform()
{
    return QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

bool placesWindows()
{
    return !isWaylandPlatform();
}

bool fadesWindows()
{
    return !isWaylandPlatform();
}

bool keepsOnTop()
{
    return !isWaylandPlatform();
}

bool globalKeysByPortal()
{
    return isWaylandSession();
}

} // namespace WindowSystem
