// The shortcut tab of the preference dialog: the hot-key grid and the mouse options.

#include "PreferenceDialog.h"
#include "ui_PreferenceDialog.h"

#include "CollectHotKeyDialog.h"
#include "GlobalShortcutBackend.h"
#include "HotKeyManager.h"
#include "ReaderConfig.h"

#include "Prompter.h"

#include <QLabel>
#include <QLineEdit>

#ifdef TAVRIL_HAVE_DBUS
#include "PortalShortcuts.h"
#endif

namespace {
// Commands whose fields the form does not hold get rows from here on.
const int kFirstAddedRow = 19;
} // namespace

// Each command of the table that takes keys gets its fields: the form's
// hotkey_<stem> and hotkey_<stem>_g, or a row made here for a command the
// form does not know.
void PreferenceDialog::setupKeyFields()
{
    int added = kFirstAddedRow;
    for (const CommandInfo &row : CommandTable::rows()) {
        bool madeRow = false;
        for (KeyScope scope : {KeyScope::InApp, KeyScope::Global}) {
            if (!CommandTable::takesKey(row.command, scope))
                continue;
            const QString name = QStringLiteral("hotkey_%1%2")
                                     .arg(QLatin1String(row.field ? row.field : row.name))
                                     .arg(scope == KeyScope::Global ? QStringLiteral("_g") : QString());
            auto *field = findChild<KeyLineLabel *>(name);
            if (!field) {
                if (!madeRow)
                    ui->gridLayout_10->addWidget(new QLabel(CommandTable::label(row.command)), added, 0);
                madeRow = true;
                field = new KeyLineLabel(ui->tab_shortcut);
                field->setObjectName(name);
                ui->gridLayout_10->addWidget(field, added, scope == KeyScope::InApp ? 1 : 2);
            }
            keyFields.insert(field, {row.command, scope});
        }
        added += madeRow;
    }
}

QList<KeyLineLabel *> PreferenceDialog::hotKeyFields() const
{
    return keyFields.keys();
}

void PreferenceDialog::loadHotKeys()
{
    for (auto it = keyFields.constBegin(); it != keyFields.constEnd(); ++it) {
        const QString key = hotKeyManager->hotKey(it.value().command, it.value().scope);
        it.key()->setSequenceText(key);
        // A chord another program holds works only in the window: the field says so.
        const bool refused = it.value().scope == KeyScope::Global && !key.isEmpty() &&
                             !hotKeyManager->desktopPortal() && GlobalShortcutBackend::instance() &&
                             !hotKeyManager->isGloballyBound(it.value().command);
        it.key()->setStyleSheet(refused ? QStringLiteral("color: #c00000;") : QString());
        it.key()->setToolTip(refused ? tr("未能绑定：这个组合键已被其他程序占用，只在阅读器窗口内有效") : QString());
    }
    showGlobalKeys();
}

// Where the desktop binds the global keys (Wayland), the global column shows
// what it bound, and is no editor.
void PreferenceDialog::showGlobalKeys()
{
#ifdef TAVRIL_HAVE_DBUS
    const PortalShortcuts *portal = hotKeyManager->desktopPortal();
    ui->lb_global_keys->setVisible(portal);
    ui->btn_configure_global->setVisible(portal && portal->canConfigure());
    if (!portal)
        return;
    const bool bound = portal->state() == PortalShortcuts::Bound;
    for (auto it = keyFields.constBegin(); it != keyFields.constEnd(); ++it) {
        if (it.value().scope != KeyScope::Global)
            continue;
        KeyLineLabel *field = it.key();
        const QString trigger = hotKeyManager->desktopTrigger(it.value().command);
        field->setSequenceText(QString());
        field->findChild<QLineEdit *>()->setText(bound ? (trigger.isEmpty() ? tr("未绑定") : trigger) : QString());
        field->setToolTip(tr("由桌面分配"));
    }
    if (bound) {
        ui->lb_global_keys->setText(tr("全局快捷键由桌面分配，右列是桌面实际绑定的按键。"));
    } else if (portal->state() == PortalShortcuts::Binding) {
        ui->lb_global_keys->setText(tr("正在向桌面申请全局快捷键……"));
    } else {
        // A plain sentence; what the desktop said, in its own words, on the tooltip.
        ui->lb_global_keys->setText(tr("这个桌面不提供全局快捷键。可以在桌面自己的键盘设置中绑定快捷键，让它运行 "
                                       "tavril --command 加命令名，例如 tavril --command next-page（下一页）、"
                                       "tavril --command toggle（隐藏或显示窗口）；全部命令名见 tavril --help。"));
        ui->lb_global_keys->setToolTip(portal->errorText());
    }
#endif
}

void PreferenceDialog::on_btn_configure_global_clicked()
{
#ifdef TAVRIL_HAVE_DBUS
    if (PortalShortcuts *portal = hotKeyManager->desktopPortal())
        portal->configure();
#endif
}

void PreferenceDialog::onClickedHotKey(void *view)
{
    // Only our own fields are accepted: the pointer comes through an untyped signal.
    KeyLineLabel *field = nullptr;
    for (KeyLineLabel *candidate : hotKeyFields()) {
        if (candidate == view)
            field = candidate;
    }
    if (!field)
        return;
    const KeyBinding binding = keyFields.value(field);
    if (hotKeyManager->desktopPortal() && binding.scope == KeyScope::Global)
        return;
    // With the reader's own grabs in place, re-entering a chord a global
    // field shows would run its command instead of reaching the dialog.
    hotKeyManager->setGlobalSuspended(true);
    CollectHotKeyDialog dialog(field->sequenceText(), this);
    const bool saved = dialog.exec() == QDialog::Accepted;
    const QString text = dialog.keySequence().toString(QKeySequence::PortableText);
    const bool accepted = !saved || hotKeyManager->setHotKey(binding.command, binding.scope, text, true);
    hotKeyManager->setGlobalSuspended(false);
    if (!saved)
        return;
    if (accepted)
        field->setSequenceText(text);
    else
        Prompter::current()->warning(this, tr("此快捷键已被占用"));
}

void PreferenceDialog::on_btn_reset_hotkey_clicked()
{
    if (!confirm(tr("确认重置所有快捷键？")))
        return;
    hotKeyManager->resetToDefaults(true);
    loadHotKeys();
    ui->cb_wheel_turn->setChecked(false);
    ui->cb_click_next_page->setChecked(false);
    ui->cb_double_click_hide->setChecked(false);
}

void PreferenceDialog::on_cb_wheel_turn_stateChanged(int state)
{
    config->setWheelTurnPage(state == Qt::Checked);
}

void PreferenceDialog::on_cb_click_next_page_stateChanged(int state)
{
    config->setClickNextPage(state == Qt::Checked);
}

void PreferenceDialog::on_cb_double_click_hide_stateChanged(int state)
{
    config->setDoubleClickHide(state == Qt::Checked);
}
