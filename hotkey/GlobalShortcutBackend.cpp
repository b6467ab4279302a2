#include "GlobalShortcutBackend.h"

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>

#if defined(Q_OS_WIN)
#include "WinShortcutBackend.h"
#elif defined(TAVRIL_HAVE_X11)
#include "X11ShortcutBackend.h"
#include <QGuiApplication>
#endif

namespace {

GlobalShortcutBackend *createBackend()
{
#if defined(Q_OS_WIN)
    return new WinShortcutBackend;
#elif defined(TAVRIL_HAVE_X11)
    if (QGuiApplication::platformName() == QLatin1String("xcb"))
        return new X11ShortcutBackend;
    return nullptr;
#else
    return nullptr;
#endif
}

} // namespace

GlobalShortcutBackend *GlobalShortcutBackend::instance()
{
    // Never deleted: a shortcut released after the application object is
    // gone still finds the backend that bound it, and no event filter is torn
    // down during static destruction. Retried while null, as a call made
    // before the application object exists cannot know the platform yet.
    static GlobalShortcutBackend *backend = nullptr;
    if (!backend)
        backend = createBackend();
    return backend;
}

void GlobalShortcutBackend::setFiltering(QAbstractNativeEventFilter *filter, bool on, bool *installed)
{
    QCoreApplication *app = QCoreApplication::instance();
    if (!app || on == *installed)
        return;
    if (on)
        app->installNativeEventFilter(filter);
    else
        app->removeNativeEventFilter(filter);
    *installed = on;
}
