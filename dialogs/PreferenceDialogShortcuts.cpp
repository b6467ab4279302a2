// The shortcut tab of the preference dialog: the hot-key grid and the mouse options.

#include "PreferenceDialog.h"
#include "ui_PreferenceDialog.h"

#include "CollectHotKeyDialog.h"
#include "HotKeyManager.h"
#include "ReaderConfig.h"

#include <QLineEdit>
#include <QMessageBox>

#ifdef TAVRIL_HAVE_DBUS
#include "PortalShortcuts.h"
#endif

namespace {
struct HotKeyField
{
    KeyLineLabel *Ui::PreferenceDialog::*field;
    int id;
};

// A field's action never changes; the form only places it.
const HotKeyField kFields[] = {
    {&Ui::PreferenceDialog::hotkey_open, HotKeyManager::Open},
    {&Ui::PreferenceDialog::hotkey_close, HotKeyManager::Close},
    {&Ui::PreferenceDialog::hotkey_content, HotKeyManager::Content},
    {&Ui::PreferenceDialog::hotkey_bookmark_list, HotKeyManager::BookmarkList},
    {&Ui::PreferenceDialog::hotkey_add_bookmark, HotKeyManager::AddBookmark},
    {&Ui::PreferenceDialog::hotkey_find, HotKeyManager::Find},
    {&Ui::PreferenceDialog::hotkey_back, HotKeyManager::Back},
    {&Ui::PreferenceDialog::hotkey_next, HotKeyManager::Next},
    {&Ui::PreferenceDialog::hotkey_back_chapter, HotKeyManager::BackChapter},
    {&Ui::PreferenceDialog::hotkey_next_chapter, HotKeyManager::NextChapter},
    {&Ui::PreferenceDialog::hotkey_hide, HotKeyManager::Hide},
    {&Ui::PreferenceDialog::hotkey_show, HotKeyManager::Show},
    {&Ui::PreferenceDialog::hotkey_center_win, HotKeyManager::CenterWin},
    {&Ui::PreferenceDialog::hotkey_menu, HotKeyManager::Menu},
    {&Ui::PreferenceDialog::hotkey_preference, HotKeyManager::Preference},
    {&Ui::PreferenceDialog::hotkey_help, HotKeyManager::Help},
    {&Ui::PreferenceDialog::hotkey_auto_turn, HotKeyManager::AutoTurn},
    {&Ui::PreferenceDialog::hotkey_jump, HotKeyManager::Jump},
};
const int kGlobal = HotKeyManager::GlobalIdOffset;

const HotKeyField kGlobalFields[] = {
    {&Ui::PreferenceDialog::hotkey_open_g, HotKeyManager::Open + kGlobal},
    {&Ui::PreferenceDialog::hotkey_close_g, HotKeyManager::Close + kGlobal},
    {&Ui::PreferenceDialog::hotkey_content_g, HotKeyManager::Content + kGlobal},
    {&Ui::PreferenceDialog::hotkey_bookmark_list_g, HotKeyManager::BookmarkList + kGlobal},
    {&Ui::PreferenceDialog::hotkey_add_bookmark_g, HotKeyManager::AddBookmark + kGlobal},
    {&Ui::PreferenceDialog::hotkey_find_g, HotKeyManager::Find + kGlobal},
    {&Ui::PreferenceDialog::hotkey_back_g, HotKeyManager::Back + kGlobal},
    {&Ui::PreferenceDialog::hotkey_next_g, HotKeyManager::Next + kGlobal},
    {&Ui::PreferenceDialog::hotkey_back_chapter_g, HotKeyManager::BackChapter + kGlobal},
    {&Ui::PreferenceDialog::hotkey_next_chapter_g, HotKeyManager::NextChapter + kGlobal},
    {&Ui::PreferenceDialog::hotkey_hide_g, HotKeyManager::Hide + kGlobal},
    {&Ui::PreferenceDialog::hotkey_show_g, HotKeyManager::Show + kGlobal},
    {&Ui::PreferenceDialog::hotkey_center_win_g, HotKeyManager::CenterWin + kGlobal},
    {&Ui::PreferenceDialog::hotkey_menu_g, HotKeyManager::Menu + kGlobal},
    {&Ui::PreferenceDialog::hotkey_preference_g, HotKeyManager::Preference + kGlobal},
    {&Ui::PreferenceDialog::hotkey_help_g, HotKeyManager::Help + kGlobal},
    {&Ui::PreferenceDialog::hotkey_auto_turn_g, HotKeyManager::AutoTurn + kGlobal},
};
} // namespace

QList<KeyLineLabel *> PreferenceDialog::hotKeyFields() const
{
    QList<KeyLineLabel *> fields;
    for (const HotKeyField &entry : kFields)
        fields.append(ui.data()->*entry.field);
    for (const HotKeyField &entry : kGlobalFields)
        fields.append(ui.data()->*entry.field);
    return fields;
}

void PreferenceDialog::loadHotKeys()
{
    for (const HotKeyField &entry : kFields)
        (ui.data()->*entry.field)->setHotKeyText(entry.id, hotKeyManager->hotKey(entry.id));
    for (const HotKeyField &entry : kGlobalFields)
        (ui.data()->*entry.field)->setHotKeyText(entry.id, hotKeyManager->hotKey(entry.id));
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
    for (const HotKeyField &entry : kGlobalFields) {
        KeyLineLabel *field = ui.data()->*entry.field;
        const QString trigger = hotKeyManager->desktopTrigger(entry.id);
        field->setSequenceText(QString());
        field->findChild<QLineEdit *>()->setText(bound ? (trigger.isEmpty() ? tr("未绑定") : trigger) : QString());
        field->setToolTip(tr("由桌面分配"));
    }
    if (bound) {
        ui->lb_global_keys->setText(tr("全局快捷键由桌面分配，右列是桌面实际绑定的按键。"));
    } else if (portal->state() == PortalShortcuts::Binding) {
        ui->lb_global_keys->setText(tr("正在向桌面申请全局快捷键……"));
    } else {
        ui->lb_global_keys->setText(tr("这个桌面不提供全局快捷键（%1）。可以在桌面自己的键盘设置中绑定快捷键，让它运行 "
                                       "tavril --command 加命令名，例如 tavril --command next-page（下一页）、"
                                       "tavril --command toggle（隐藏或显示窗口）；全部命令名见 tavril --help。")
                                        .arg(portal->errorText()));
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
    if (!field || (hotKeyManager->desktopPortal() && field->actionId() > HotKeyManager::GlobalIdOffset))
        return;
    // With the reader's own grabs in place, re-entering a chord a global
    // field shows would run its command instead of reaching the dialog.
    hotKeyManager->setGlobalSuspended(true);
    CollectHotKeyDialog dialog(field->sequenceText(), this);
    const bool saved = dialog.exec() == QDialog::Accepted;
    const QString text = dialog.keySequence().toString(QKeySequence::PortableText);
    const bool accepted = !saved || hotKeyManager->setHotKey(field->actionId(), text, true);
    hotKeyManager->setGlobalSuspended(false);
    if (!saved)
        return;
    if (accepted)
        field->setSequenceText(text);
    else
        QMessageBox::warning(this, tr("提示"), tr("此快捷键已被占用"), QMessageBox::Ok, QMessageBox::NoButton);
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
