#include "HotKeyManager.h"

#include "QxtGlobalShortcut.h"
#include "configSettings.h"

#include <QKeyEvent>
#include <QKeySequence>
#include <QSet>

namespace {

struct DefaultKey
{
    int id;
    const char *inApp;
    const char *global;
};

// In the order defaults and stored keys are applied: every in-app id first,
// so a global default never loses a conflict to an in-app one.
const DefaultKey kDefaults[] = {
    {HotKeyManager::Open, "O", "Ctrl+Shift+O"},        {HotKeyManager::Close, "C", "Ctrl+Shift+C"},
    {HotKeyManager::Content, "T", "Ctrl+Shift+T"},     {HotKeyManager::BookmarkList, "B", "Ctrl+Shift+B"},
    {HotKeyManager::AddBookmark, "V", "Ctrl+Shift+V"}, {HotKeyManager::Find, "F", "Ctrl+Shift+F"},
    {HotKeyManager::Back, "Left", "Ctrl+Shift+Left"},  {HotKeyManager::Next, "Right", "Ctrl+Shift+Right"},
    {HotKeyManager::Hide, "Down", "Ctrl+Shift+Down"},  {HotKeyManager::Show, "Up", "Ctrl+Shift+Up"},
    {HotKeyManager::CenterWin, "N", "Ctrl+Shift+N"},   {HotKeyManager::Menu, "M", "Ctrl+Shift+M"},
    {HotKeyManager::Preference, "P", "Ctrl+Shift+P"},  {HotKeyManager::Help, "H", "Ctrl+Shift+H"},
    {HotKeyManager::BackChapter, "[", "Ctrl+Shift+["}, {HotKeyManager::NextChapter, "]", "Ctrl+Shift+]"},
};

const char kGroup[] = "key";

bool isGlobalId(int id)
{
    return id > HotKeyManager::GlobalIdOffset;
}

} // namespace

HotKeyManager::HotKeyManager(QObject *parent) : QObject(parent)
{
    // The whole table first, then one round of bindings: binding the
    // defaults and then each stored key would refuse stored keys that swap
    // two chords, and warn about defaults the user has long replaced.
    hotKeys = defaultTable();
    loadTable();
    applyGlobalBindings();
}

HotKeyManager::~HotKeyManager() = default;

QList<int> HotKeyManager::actionIds()
{
    QList<int> ids;
    for (const DefaultKey &key : kDefaults)
        ids << key.id;
    for (const DefaultKey &key : kDefaults)
        ids << key.id + GlobalIdOffset;
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

void HotKeyManager::handleKeyPress(QKeyEvent *event)
{
    if (!event)
        return;
    // The keypad digits must match the main-row ones.
    const int modifiers = int(event->modifiers() & ~Qt::KeypadModifier);
    const QString text = QKeySequence(event->key() | modifiers).toString(QKeySequence::PortableText);
    const int id = findAction(text);
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
    if (isGlobalId(id) && !suspended)
        bindGlobal(id, text);
    else
        hotKeys.insert(id, text);
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
