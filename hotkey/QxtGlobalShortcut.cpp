#include "QxtGlobalShortcut.h"

#include "GlobalShortcutBackend.h"

namespace {

bool isBindableKey(int key)
{
    return key != 0 && key != Qt::Key_unknown;
}

} // namespace

QxtGlobalShortcut::QxtGlobalShortcut(QObject *parent) : QObject(parent) {}

QxtGlobalShortcut::~QxtGlobalShortcut()
{
    releaseBinding();
}

bool QxtGlobalShortcut::setShortcut(const QKeySequence &shortcut)
{
    releaseBinding();
    sequence = shortcut;
    // Clearing a key is a choice, not a failure worth a warning.
    if (shortcut.isEmpty())
        return false;

    const Qt::KeyboardModifiers modifiers = Qt::KeyboardModifiers(shortcut[0] & Qt::KeyboardModifierMask);
    const int key = shortcut[0] & ~Qt::KeyboardModifierMask;
    GlobalShortcutBackend *backend = GlobalShortcutBackend::instance();
    // A second chord could never be honoured by a system-wide grab; binding
    // only the first would fire on a key the user did not ask for.
    // A refusal is the caller's to report: one line for all of them, not one
    // for each.
    if (backend && shortcut.count() == 1 && isBindableKey(key))
        registered = backend->bind(Qt::Key(key), modifiers, this);
    return registered;
}

QKeySequence QxtGlobalShortcut::shortcut() const
{
    return sequence;
}

bool QxtGlobalShortcut::isRegistered() const
{
    return registered;
}

void QxtGlobalShortcut::setTag(int value)
{
    tag = value;
}

int QxtGlobalShortcut::getTag() const
{
    return tag;
}

void QxtGlobalShortcut::releaseBinding()
{
    if (!registered)
        return;
    registered = false;
    GlobalShortcutBackend *backend = GlobalShortcutBackend::instance();
    if (!backend || !backend->unbind(this))
        qWarning("QxtGlobalShortcut failed to unregister: %s",
                 qPrintable(sequence.toString(QKeySequence::PortableText)));
}
