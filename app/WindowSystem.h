#pragma once

/// What the window system lets the reader do, decided once at run time from
/// the Qt platform and the session. The rest of the reader asks these
/// questions instead of naming platforms.
namespace WindowSystem {

/// The user's session is a Wayland one, whatever Qt's platform is (under
/// XWayland the reader's X11 key grabs see only X11 programs' keys).
bool isWaylandSession();
/// Qt draws on Wayland itself.
bool isWaylandPlatform();
/// The reader may place its window and read back where it is.
bool placesWindows();
/// setWindowOpacity() has an effect.
bool fadesWindows();
/// The window can be kept above others (Qt::WindowStaysOnTopHint is honoured).
bool keepsOnTop();
/// Global keys go through the desktop's portal rather than key grabs.
bool globalKeysByPortal();

} // namespace WindowSystem
