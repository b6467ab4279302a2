#include "HotKeyManager.h"

#include "QxtGlobalShortcut.h"
#include "WindowSystem.h"
#include "configSettings.h"

#ifdef TAVRIL_HAVE_DBUS
#include "PortalShortcuts.h"
#endif

#include <QCoreApplication>
#include <QKeyEvent>
#include <QKeySequence>
#include <QSet>
#include <QTimer>
#include <QVector>

namespace {

struct DefaultKey
{
    int id;
    const char *inApp;
    const char *global;
    const char *name;  // for `tavril --command` and the desktop's shortcut list
    const char *label; // as the shortcut tab names it
};

// In the order defaults and stored keys are applied: every in-app id first,
// so a global default never loses a conflict to an in-app one.
const DefaultKey kDefaults[] = {
    {HotKeyManager::Open, "O", "Ctrl+Shift+O", "open", QT_TRANSLATE_NOOP("HotKeyManager", "打开文件")},
    {HotKeyManager::Close, "C", "Ctrl+Shift+C", "close", QT_TRANSLATE_NOOP("HotKeyManager", "关闭文件")},
    {HotKeyManager::Content, "T", "Ctrl+Shift+T", "contents", QT_TRANSLATE_NOOP("HotKeyManager", "目录")},
    {HotKeyManager::BookmarkList, "B", "Ctrl+Shift+B", "bookmarks", QT_TRANSLATE_NOOP("HotKeyManager", "书签列表")},
    {HotKeyManager::AddBookmark, "V", "Ctrl+Shift+V", "add-bookmark", QT_TRANSLATE_NOOP("HotKeyManager", "添加书签")},
    {HotKeyManager::Find, "F", "Ctrl+Shift+F", "find", QT_TRANSLATE_NOOP("HotKeyManager", "查找")},
    {HotKeyManager::Back, "Left", "Ctrl+Shift+Left", "previous-page", QT_TRANSLATE_NOOP("HotKeyManager", "上一页")},
    {HotKeyManager::Next, "Right", "Ctrl+Shift+Right", "next-page", QT_TRANSLATE_NOOP("HotKeyManager", "下一页")},
    {HotKeyManager::Hide, "Down", "Ctrl+Shift+Down", "hide", QT_TRANSLATE_NOOP("HotKeyManager", "隐藏窗口")},
    {HotKeyManager::Show, "Up", "Ctrl+Shift+Up", "show", QT_TRANSLATE_NOOP("HotKeyManager", "显示窗口")},
    {HotKeyManager::CenterWin, "N", "Ctrl+Shift+N", "center", QT_TRANSLATE_NOOP("HotKeyManager", "窗口居中")},
    {HotKeyManager::Menu, "M", "Ctrl+Shift+M", "menu", QT_TRANSLATE_NOOP("HotKeyManager", "显示菜单")},
    {HotKeyManager::Preference, "P", "Ctrl+Shift+P", "preferences", QT_TRANSLATE_NOOP("HotKeyManager", "设置")},
    {HotKeyManager::Help, "H", "Ctrl+Shift+H", "help", QT_TRANSLATE_NOOP("HotKeyManager", "帮助")},
    {HotKeyManager::BackChapter, "[", "Ctrl+Shift+[", "previous-chapter", QT_TRANSLATE_NOOP("HotKeyManager", "上一章")},
    {HotKeyManager::NextChapter, "]", "Ctrl+Shift+]", "next-chapter", QT_TRANSLATE_NOOP("HotKeyManager", "下一章")},
    {HotKeyManager::AutoTurn, "A", "Ctrl+Shift+A", "auto-turn", QT_TRANSLATE_NOOP("HotKeyManager", "自动翻页")},
    // Asks for a place: in the window only.
    {HotKeyManager::Jump, "G", "", "jump", QT_TRANSLATE_NOOP("HotKeyManager", "跳转")},
};

// Commands without keys, reachable from the menu or from outside.
const DefaultKey kKeyless[] = {
    {HotKeyManager::Quit, "", "", "quit", QT_TRANSLATE_NOOP("HotKeyManager", "退出")},
    {HotKeyManager::Toggle, "", "", "toggle", QT_TRANSLATE_NOOP("HotKeyManager", "隐藏或显示窗口")},
};

const char kGroup[] = "key";

bool isGlobalId(int id)
{
    return id > HotKeyManager::GlobalIdOffset;
}

// Every command, keyed ones first.
QVector<const DefaultKey *> allCommands()
{
    QVector<const DefaultKey *> commands;
    for (const DefaultKey &key : kDefaults)
        commands << &key;
    for (const DefaultKey &key : kKeyless)
        commands << &key;
    return commands;
}

// Only keyed commands have a global twin.
const DefaultKey *findCommand(int id)
{
    const bool global = id > HotKeyManager::GlobalIdOffset;
    for (const DefaultKey *key : allCommands()) {
        if (key->id == (global ? id - HotKeyManager::GlobalIdOffset : id) && (!global || *key->global))
            return key;
    }
    return nullptr;
}

} // namespace

HotKeyManager::HotKeyManager(QObject *parent, Binding binding) : QObject(parent)
{
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

QString HotKeyManager::commandName(int id)
{
    const DefaultKey *command = findCommand(id);
    return command ? QString::fromLatin1(command->name) : QString();
}

QString HotKeyManager::commandLabel(int id)
{
    const DefaultKey *command = findCommand(id);
    return command ? QCoreApplication::translate("HotKeyManager", command->label) : QString();
}

int HotKeyManager::commandId(const QString &name)
{
    for (const DefaultKey *key : allCommands()) {
        if (name == QLatin1String(key->name))
            return key->id;
    }
    return -1;
}

QStringList HotKeyManager::commandNames()
{
    QStringList names;
    for (const DefaultKey *key : allCommands())
        names << QString::fromLatin1(key->name);
    return names;
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
        const int id = commandId(name);
        if (hotKeys.contains(id + GlobalIdOffset))
            emit hotKeyPressed(id + GlobalIdOffset);
    });
    connect(portal, &PortalShortcuts::changed, this, &HotKeyManager::globalKeysChanged);
    applyGlobalBindings();
#else
    Q_UNUSED(replacement)
#endif
}

QString HotKeyManager::desktopTrigger(int id) const
{
#ifdef TAVRIL_HAVE_DBUS
    return portal ? portal->trigger(commandName(id)) : QString();
#else
    Q_UNUSED(id)
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
    for (const DefaultKey &key : kDefaults) {
        if (!*key.global)
            continue;
        const int id = key.id + GlobalIdOffset;
        const QString wish = PortalShortcuts::toPortalTrigger(hotKeys.value(id));
        shortcuts.append({commandName(id), commandLabel(id), wish});
        wishes << wish;
    }
    if (wishes == offered && portal->state() != PortalShortcuts::Idle)
        return;
    offered = wishes;
    portal->bind(shortcuts);
#endif
}

HotKeyManager::~HotKeyManager() = default;

QList<int> HotKeyManager::actionIds()
{
    QList<int> ids;
    for (const DefaultKey &key : kDefaults)
        ids << key.id;
    for (const DefaultKey &key : kDefaults) {
        if (*key.global)
            ids << key.id + GlobalIdOffset;
    }
    return ids;
}

QString HotKeyManager::defaultHotKey(int id)
{
    for (const DefaultKey &key : kDefaults) {
        if (key.id == id)
            return QString::fromLatin1(key.inApp);
        if (key.id + GlobalIdOffset == id)
            return QString::fromLatin1(key.global);
    }
    return QString();
}

int HotKeyManager::actionFor(const QKeyEvent *event) const
{
    if (!event)
        return -1;
    // The keypad digits must match the main-row ones.
    const int modifiers = int(event->modifiers() & ~Qt::KeypadModifier);
    return findAction(QKeySequence(event->key() | modifiers).toString(QKeySequence::PortableText));
}

void HotKeyManager::handleKeyPress(QKeyEvent *event)
{
    const int id = actionFor(event);
    if (id != -1)
        emit hotKeyPressed(id);
}

QString HotKeyManager::hotKey(int id) const
{
    return hotKeys.value(id);
}

bool HotKeyManager::setHotKey(int id, const QString &text, bool save)
{
    if (defaultHotKey(id).isEmpty()) {
        qWarning("HotKeyManager: no action has the id %d", id);
        return false;
    }
    if (hotKeys.value(id) == text)
        return true;
    if (!text.isEmpty() && findAction(text) != -1)
        return false;
    if (isGlobalId(id) && !suspended && !portal) {
        bindGlobal(id, text);
    } else {
        hotKeys.insert(id, text);
        if (isGlobalId(id) && portal)
            offerToDesktop();
    }
    if (save)
        saveHotKey(id, text);
    return true;
}

void HotKeyManager::resetToDefaults(bool save)
{
    hotKeys = defaultTable();
    if (save) {
        for (int id : actionIds())
            saveHotKey(id, hotKeys.value(id));
    }
    applyGlobalBindings();
}

void HotKeyManager::loadFromSettings()
{
    loadTable();
    applyGlobalBindings();
}

QMap<int, QString> HotKeyManager::defaultTable()
{
    QMap<int, QString> table;
    for (int id : actionIds())
        table.insert(id, defaultHotKey(id));
    return table;
}

// Stored keys win over defaults; of two stored keys with the same chord (an
// edited file) the lower id keeps it and the other keeps its default, when
// that is still free. Values are taken as text: one that is no sequence
// stays in the table and matches nothing.
void HotKeyManager::loadTable()
{
    const QSharedPointer<QSettings> settings = configSettings();
    settings->beginGroup(QLatin1String(kGroup));
    QMap<int, QString> table;
    QSet<QString> taken;
    for (int id : actionIds()) {
        const QString key = QString::number(id);
        if (!settings->contains(key))
            continue;
        const QVariant value = settings->value(key);
        const QString text = value.type() == QVariant::String ? value.toString() : QString();
        if (value.type() != QVariant::String || (!text.isEmpty() && taken.contains(text)))
            continue;
        table.insert(id, text);
        taken.insert(text);
    }
    settings->endGroup();
    for (int id : actionIds()) {
        if (!table.contains(id))
            table.insert(id, taken.contains(defaultHotKey(id)) ? QString() : defaultHotKey(id));
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
    QList<int> changed;
    for (int id : actionIds()) {
        if (!isGlobalId(id))
            continue;
        const QSharedPointer<QxtGlobalShortcut> shortcut = globalShortcuts.value(id);
        const QString bound = shortcut ? shortcut->shortcut().toString(QKeySequence::PortableText) : QString();
        if (!shortcut || suspended || bound != hotKeys.value(id) || !shortcut->isRegistered()) {
            changed << id;
            if (shortcut)
                shortcut->setShortcut(QKeySequence());
        }
    }
    if (suspended)
        return;
    for (int id : qAsConst(changed))
        bindGlobal(id, hotKeys.value(id));
}

void HotKeyManager::setGlobalSuspended(bool suspend)
{
    if (suspend == suspended)
        return;
    suspended = suspend;
    applyGlobalBindings();
}

int HotKeyManager::findAction(const QString &text) const
{
    // "No key" is not a key: an event whose chord has no text (an unknown
    // key) must not run every action the user cleared.
    if (text.isEmpty())
        return -1;
    for (auto it = hotKeys.constBegin(); it != hotKeys.constEnd(); ++it) {
        if (it.value() == text)
            return it.key();
    }
    return -1;
}

bool HotKeyManager::bindGlobal(int id, const QString &text)
{
    const QKeySequence sequence = QKeySequence::fromString(text, QKeySequence::NativeText);
    QSharedPointer<QxtGlobalShortcut> &shortcut = globalShortcuts[id];
    if (!shortcut) {
        shortcut.reset(new QxtGlobalShortcut());
        shortcut->setTag(id);
        connect(shortcut.data(), &QxtGlobalShortcut::activated, this, &HotKeyManager::onGlobalKeyPressed);
    }
    const bool bound = shortcut->setShortcut(sequence);
    hotKeys.insert(id, text);
    return bound;
}

void HotKeyManager::saveHotKey(int id, const QString &text)
{
    const QSharedPointer<QSettings> settings = configSettings();
    settings->beginGroup(QLatin1String(kGroup));
    settings->setValue(QString::number(id), text);
    settings->endGroup();
}

void HotKeyManager::onGlobalKeyPressed(void *shortcut)
{
    // Only a pointer we handed out is read: anything else is ignored rather
    // than dereferenced.
    for (const QSharedPointer<QxtGlobalShortcut> &own : qAsConst(globalShortcuts)) {
        if (own.data() == shortcut) {
            emit hotKeyPressed(own->getTag());
            return;
        }
    }
}
