#include "HotKeyManager.h"

#include "GlobalShortcutBackend.h"
#include "QxtGlobalShortcut.h"
#include "WindowSystem.h"
#include "configSettings.h"

#ifdef TAVRIL_HAVE_DBUS
#include "PortalShortcuts.h"
#endif

#include <QKeyEvent>
#include <QKeySequence>
#include <QSet>
#include <QTimer>

#include <algorithm>

namespace {

const char kGroup[] = "key";

int tableIndex(Command command)
{
    const QList<CommandInfo> &rows = CommandTable::rows();
    return int(
        std::find_if(rows.begin(), rows.end(), [command](const CommandInfo &row) { return row.command == command; }) -
        rows.begin());
}

} // namespace

bool KeyBinding::operator<(const KeyBinding &other) const
{
    if (scope != other.scope)
        return scope == KeyScope::InApp;
    return tableIndex(command) < tableIndex(other.command);
}

HotKeyManager::HotKeyManager(QObject *parent, BindTime binding) : QObject(parent)
{
    qRegisterMetaType<Command>("Command");
    // The whole table first, then one round of bindings: binding the
    // defaults and then each stored key would refuse stored keys that swap
    // two chords, and warn about defaults the user has long replaced.
    hotKeys = defaultTable();
    loadTable();
    if (binding == BindLater)
        QTimer::singleShot(0, this, &HotKeyManager::bindFirstTime);
    else
        bindFirstTime();
}

HotKeyManager::~HotKeyManager() = default;

void HotKeyManager::bindFirstTime()
{
    if (portal)
        return; // a portal was handed in meanwhile
#ifdef TAVRIL_HAVE_DBUS
    // On Wayland only the desktop can give keys that work in other programs.
    if (WindowSystem::globalKeysByPortal()) {
        setPortal(new PortalShortcuts(QDBusConnection::sessionBus()));
        return;
    }
#endif
    applyGlobalBindings();
}

QList<KeyBinding> HotKeyManager::bindings()
{
    QList<KeyBinding> list;
    for (KeyScope scope : {KeyScope::InApp, KeyScope::Global}) {
        for (const CommandInfo &row : CommandTable::rows()) {
            if (CommandTable::takesKey(row.command, scope))
                list.append({row.command, scope});
        }
    }
    return list;
}

void HotKeyManager::setPortal(PortalShortcuts *replacement)
{
#ifdef TAVRIL_HAVE_DBUS
    for (const QSharedPointer<QxtGlobalShortcut> &shortcut : qAsConst(globalShortcuts))
        shortcut->setShortcut(QKeySequence());
    delete portal;
    portal = replacement;
    portal->setParent(this);
    offered.clear();
    connect(portal, &PortalShortcuts::activated, this, [this](const QString &name) {
        const CommandInfo *command = CommandTable::byName(name);
        if (command && CommandTable::takesKey(command->command, KeyScope::Global))
            emit hotKeyPressed(command->command);
    });
    connect(portal, &PortalShortcuts::changed, this, &HotKeyManager::globalKeysChanged);
    applyGlobalBindings();
#else
    Q_UNUSED(replacement)
#endif
}

QString HotKeyManager::desktopTrigger(Command command) const
{
#ifdef TAVRIL_HAVE_DBUS
    return portal ? portal->trigger(CommandTable::name(command)) : QString();
#else
    Q_UNUSED(command)
    return QString();
#endif
}

// Offers every global command to the desktop in one list, with the chord
// of the table as the wish.
void HotKeyManager::offerToDesktop()
{
#ifdef TAVRIL_HAVE_DBUS
    QList<PortalShortcuts::Shortcut> shortcuts;
    QStringList wishes;
    for (const KeyBinding &binding : bindings()) {
        if (binding.scope != KeyScope::Global)
            continue;
        const QString wish = PortalShortcuts::toPortalTrigger(hotKeys.value(binding));
        shortcuts.append({CommandTable::name(binding.command), CommandTable::label(binding.command), wish});
        wishes << wish;
    }
    if (wishes == offered && portal->state() != PortalShortcuts::Idle)
        return;
    offered = wishes;
    portal->bind(shortcuts);
#endif
}

bool HotKeyManager::bindingFor(const QKeyEvent *event, KeyBinding *binding) const
{
    if (!event)
        return false;
    // The keypad digits must match the main-row ones.
    const int modifiers = int(event->modifiers() & ~Qt::KeypadModifier);
    return findBinding(QKeySequence(event->key() | modifiers).toString(QKeySequence::PortableText), binding);
}

void HotKeyManager::handleKeyPress(QKeyEvent *event)
{
    KeyBinding binding{};
    if (bindingFor(event, &binding))
        emit hotKeyPressed(binding.command);
}

QString HotKeyManager::hotKey(Command command, KeyScope scope) const
{
    return hotKeys.value({command, scope});
}

bool HotKeyManager::setHotKey(Command command, KeyScope scope, const QString &text, bool save)
{
    const KeyBinding binding{command, scope};
    if (!CommandTable::takesKey(command, scope))
        return false;
    if (hotKeys.value(binding) == text)
        return true;
    KeyBinding other{};
    if (!text.isEmpty() && findBinding(text, &other))
        return false;
    if (scope == KeyScope::Global && !suspended && !portal) {
        bindGlobal(command, text);
        reportRefusals({command});
    } else {
        hotKeys.insert(binding, text);
        if (scope == KeyScope::Global && portal)
            offerToDesktop();
    }
    if (save)
        saveHotKey(binding, text);
    return true;
}

void HotKeyManager::resetToDefaults(bool save)
{
    hotKeys = defaultTable();
    if (save) {
        for (const KeyBinding &binding : bindings())
            saveHotKey(binding, hotKeys.value(binding));
    }
    applyGlobalBindings();
}

void HotKeyManager::loadFromSettings()
{
    loadTable();
    applyGlobalBindings();
}

QMap<KeyBinding, QString> HotKeyManager::defaultTable()
{
    QMap<KeyBinding, QString> table;
    for (const KeyBinding &binding : bindings())
        table.insert(binding, CommandTable::defaultKey(binding.command, binding.scope));
    return table;
}

// Stored keys win over defaults; of two stored keys with the same chord (an
// edited file) the first in order keeps it and the other keeps its default,
// when that is still free. Values are taken as text: one that is no sequence
// stays in the table and matches nothing.
void HotKeyManager::loadTable()
{
    const QSharedPointer<QSettings> settings = configSettings();
    settings->beginGroup(QLatin1String(kGroup));
    QMap<KeyBinding, QString> table;
    QSet<QString> taken;
    for (const KeyBinding &binding : bindings()) {
        const QString key = QString::number(CommandTable::storedId(binding.command, binding.scope));
        if (!settings->contains(key))
            continue;
        const QVariant value = settings->value(key);
        const QString text = value.type() == QVariant::String ? value.toString() : QString();
        if (value.type() != QVariant::String || (!text.isEmpty() && taken.contains(text)))
            continue;
        table.insert(binding, text);
        taken.insert(text);
    }
    settings->endGroup();
    for (const KeyBinding &binding : bindings()) {
        const QString fallback = CommandTable::defaultKey(binding.command, binding.scope);
        if (!table.contains(binding))
            table.insert(binding, taken.contains(fallback) ? QString() : fallback);
    }
    hotKeys = table;
}

void HotKeyManager::applyGlobalBindings()
{
    if (portal) {
        offerToDesktop();
        return;
    }
    // Every chord that changes is released before any is bound: a swap of
    // two chords would otherwise find the other still held by ourselves.
    QList<Command> changed;
    for (const KeyBinding &binding : bindings()) {
        if (binding.scope != KeyScope::Global)
            continue;
        const QSharedPointer<QxtGlobalShortcut> shortcut = globalShortcuts.value(binding.command);
        const QString bound = shortcut ? shortcut->shortcut().toString(QKeySequence::PortableText) : QString();
        if (!shortcut || suspended || bound != hotKeys.value(binding) || !shortcut->isRegistered()) {
            changed << binding.command;
            if (shortcut)
                shortcut->setShortcut(QKeySequence());
        }
    }
    if (suspended)
        return;
    for (Command command : qAsConst(changed))
        bindGlobal(command, hotKeys.value({command, KeyScope::Global}));
    reportRefusals(changed);
}

// Where the reader grabs keys itself, a chord another program holds is told
// once, in one line, with all the others refused with it.
void HotKeyManager::reportRefusals(const QList<Command> &tried)
{
    if (!GlobalShortcutBackend::instance())
        return; // no global keys at all here, and nothing to tell
    QStringList refused;
    for (Command command : tried) {
        const QString chord = hotKeys.value({command, KeyScope::Global});
        if (!chord.isEmpty() && !isGloballyBound(command))
            refused << chord;
    }
    if (refused.isEmpty())
        return;
    qWarning("tavril: global keys held by another program, left to the window: %s",
             qPrintable(refused.join(QStringLiteral(", "))));
    emit globalKeysRefused(refused);
}

void HotKeyManager::setGlobalSuspended(bool suspend)
{
    if (suspend == suspended)
        return;
    suspended = suspend;
    applyGlobalBindings();
}

bool HotKeyManager::findBinding(const QString &text, KeyBinding *binding) const
{
    // "No key" is not a key: an event whose chord has no text (an unknown
    // key) must not run every command the user cleared.
    if (text.isEmpty())
        return false;
    for (auto it = hotKeys.constBegin(); it != hotKeys.constEnd(); ++it) {
        if (it.value() == text) {
            *binding = it.key();
            return true;
        }
    }
    return false;
}

bool HotKeyManager::bindGlobal(Command command, const QString &text)
{
    const QKeySequence sequence = QKeySequence::fromString(text, QKeySequence::NativeText);
    QSharedPointer<QxtGlobalShortcut> &shortcut = globalShortcuts[command];
    if (!shortcut) {
        shortcut.reset(new QxtGlobalShortcut());
        shortcut->setTag(int(command));
        connect(shortcut.data(), &QxtGlobalShortcut::activated, this, &HotKeyManager::onGlobalKeyPressed);
    }
    const bool bound = shortcut->setShortcut(sequence);
    hotKeys.insert({command, KeyScope::Global}, text);
    return bound;
}

bool HotKeyManager::isGloballyBound(Command command) const
{
    const QSharedPointer<QxtGlobalShortcut> shortcut = globalShortcuts.value(command);
    return shortcut && shortcut->isRegistered();
}

void HotKeyManager::saveHotKey(const KeyBinding &binding, const QString &text)
{
    const QSharedPointer<QSettings> settings = configSettings();
    settings->beginGroup(QLatin1String(kGroup));
    settings->setValue(QString::number(CommandTable::storedId(binding.command, binding.scope)), text);
    settings->endGroup();
}

void HotKeyManager::onGlobalKeyPressed(void *shortcut)
{
    // Only a pointer we handed out is read: anything else is ignored rather
    // than dereferenced.
    for (auto it = globalShortcuts.constBegin(); it != globalShortcuts.constEnd(); ++it) {
        if (it.value().data() == shortcut) {
            emit hotKeyPressed(it.key());
            return;
        }
    }
}
