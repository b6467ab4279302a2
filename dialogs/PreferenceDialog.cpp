#include "PreferenceDialog.h"
#include "ui_PreferenceDialog.h"

#include "BuildSettings.h"
#include "HotKeyManager.h"
#include "Prompter.h"
#include "ReaderConfig.h"
#include "WhatsNewDlg.h"
#include "WindowSystem.h"

#include <QUrl>

#include <algorithm>

namespace {
const int kShortcutTab = 1;

QString helpAddress()
{
    return QStringLiteral(TAVRIL_SITE "/?id=596");
}

QString siteLabel()
{
    const QUrl site(QStringLiteral(TAVRIL_SITE));
    return site.host().isEmpty() ? site.toString() : site.host();
}
} // namespace

PreferenceDialog::PreferenceDialog(ReaderConfig *config, HotKeyManager *hotKeyManager, QWidget *parent)
    : QDialog(parent, Qt::WindowFlags()), config(config), hotKeyManager(hotKeyManager), ui(new Ui::PreferenceDialog)
{
    ui->setupUi(this);
    initLists();
    loadSettings();
    loadChapterRule();
    setupKeyFields();
    loadHotKeys();
    ui->tv_version->setText(tr("版本号 v%1 (%2-%3)")
                                .arg(QStringLiteral(TAVRIL_VERSION))
                                .arg(TAVRIL_VERSION_CODE)
                                .arg(QStringLiteral(TAVRIL_COMMIT)));
    connectWidgets();
    fitToTab(ui->tabWidget->currentIndex());
    // The site is a build setting, so the link's text follows it too.
    ui->tv_copyright_2->setText(siteLabel());
    ui->tv_copyright_2->setUrl(QStringLiteral(TAVRIL_SITE));
}

PreferenceDialog::~PreferenceDialog() = default;

void PreferenceDialog::addPage(QWidget *page, const QString &title)
{
    ui->tabWidget->insertTab(ui->tabWidget->indexOf(ui->tab_about), page, title);
}

bool PreferenceDialog::isStandardFontSize(int size)
{
    if (size >= 6 && size <= 20)
        return true;
    if (size >= 21 && size <= 39)
        return size % 2 == 0;
    if (size == 40)
        return true;
    if (size >= 41 && size <= 59)
        return size % 4 == 0;
    if (size >= 60 && size <= 119)
        return (size - 60) % 12 == 0;
    if (size >= 120 && size <= 300)
        return (size - 120) % 24 == 0;
    return false;
}

void PreferenceDialog::initLists()
{
    for (int size = 6; size <= 300; ++size) {
        if (isStandardFontSize(size))
            fontSizes.append(size);
    }
    fillFontSizes();
    // Styles that pop a list up as a menu ignore the visible rows and fill
    // the screen with 42 sizes: a plain list of 15 rows instead.
    ui->cbb_font_size->setStyleSheet(QStringLiteral("combobox-popup: 0;"));
    ui->cbb_font_size->setMaxVisibleItems(15);
    QStringList spacings;
    for (int space = 0; space <= 30; space += 2)
        spacings.append(QString::number(space));
    ui->cbb_word_sapce->addItems(spacings);
    ui->cbb_line_space->addItems(spacings);
}

void PreferenceDialog::fillFontSizes()
{
    const int current = config->font().pointSize();
    // A size from a font dialog or an edited ini file stays offered while the
    // dialog lives. A font sized in pixels has no point size (-1): nothing to offer.
    if (current > 0 && !fontSizes.contains(current)) {
        fontSizes.append(current);
        std::sort(fontSizes.begin(), fontSizes.end());
    }
    ui->cbb_font_size->clear();
    for (int size : qAsConst(fontSizes))
        ui->cbb_font_size->addItem(QString::number(size));
    ui->cbb_font_size->setCurrentText(QString::number(current));
}

void PreferenceDialog::loadSettings()
{
    const QFont font = config->font();
    ui->cbb_font->clear();
    ui->cbb_font->addItem(font.family());
    ui->cbb_font->setCurrentIndex(0);
    // setCurrentText() on a fixed list leaves the selection alone when the text is missing.
    ui->cbb_font_size->setCurrentText(QString::number(font.pointSize()));
    ui->cbb_word_sapce->setCurrentText(QString::number(font.letterSpacing(), 'g', 6));
    ui->cbb_line_space->setCurrentText(QString::number(config->lineSpace()));
    ui->btn_text_color->setColor(config->textColor());
    ui->btn_bg_color->setColor(config->bgColor());
    if (config->bgType() == 1)
        ui->rb_whole_win_transparent->setChecked(true);
    ui->hs_transparent_percent->setValue(config->translucent());
    ui->cb_top->setChecked(config->isTop());
    if (!WindowSystem::keepsOnTop()) {
        ui->cb_top->setEnabled(false);
        ui->cb_top->setToolTip(tr("在这个桌面上，窗口是否置顶由桌面决定"));
        ui->lb_top_note->setText(tr("在这个桌面上，窗口是否置顶由桌面决定：GNOME 中按 Alt+空格 选“置顶”；"
                                    "KDE 中按 Alt+F3 选“更多操作 → 保持在其他窗口之上”。"));
        ui->lb_top_note->show();
    }
    ui->cb_remember_pos->setChecked(config->rememberWin());
    // The reader has no tray icon; the option is only carried along.
    ui->cb_tray->hide();
    ui->cb_tray->setChecked(config->tray());
    ui->cb_click_next_page->setChecked(config->clickNextPage());
    ui->cb_double_click_hide->setChecked(config->doubleClickHide());
    ui->cb_wheel_turn->setChecked(config->wheelTurnPage());
    ui->cb_open_last->setChecked(config->openLastFile());
    ui->cb_check_update->setChecked(config->checkUpdateAtStart());
    ui->cb_show_progress->setChecked(config->showProgress());
    ui->cb_punctuation->setChecked(config->punctuationRules());
    ui->sb_auto_turn->setValue(config->autoTurnSeconds());
    // Built without the update check: a package manager keeps the reader new.
    ui->cb_check_update->setVisible(TAVRIL_UPDATE_CHECK);
    ui->btn_check_update->setVisible(TAVRIL_UPDATE_CHECK);
}

void PreferenceDialog::connectWidgets()
{
    connect(ui->cbb_font, &JComboBox::clicked, this, &PreferenceDialog::onCbbFontClicked);
    connect(ui->btn_text_color, &ColorButton::colorSelected, this, &PreferenceDialog::onTextColorSelected);
    connect(ui->btn_bg_color, &ColorButton::colorSelected, this, &PreferenceDialog::onBackgroundColorSelected);
    connect(hotKeyManager, &HotKeyManager::globalKeysChanged, this, &PreferenceDialog::showGlobalKeys);
    connect(hotKeyManager, &HotKeyManager::globalKeysRefused, this, &PreferenceDialog::loadHotKeys);
    for (KeyLineLabel *field : hotKeyFields())
        connect(field, &KeyLineLabel::clicked, this, &PreferenceDialog::onClickedHotKey);
}

bool PreferenceDialog::confirm(const QString &text)
{
    return Prompter::current()->question(this, text);
}

void PreferenceDialog::on_cbb_font_size_textActivated(const QString &text)
{
    QFont font = config->font();
    font.setPointSize(text.toInt());
    config->setFont(font);
}

void PreferenceDialog::on_cbb_line_space_textActivated(const QString &text)
{
    config->setLineSpace(text.toInt());
}

void PreferenceDialog::on_cbb_word_sapce_textActivated(const QString &text)
{
    config->setLetterSpace(text.toInt());
}

void PreferenceDialog::on_btn_reset_text_clicked()
{
    if (!confirm(tr("确认重置？")))
        return;
    config->resetFont(true);
    loadSettings();
}

void PreferenceDialog::onCbbFontClicked()
{
    bool ok = false;
    // Parented, so that it opens above a reading window kept on top.
    QFont chosen = Prompter::current()->font(this, config->font(), &ok);
    if (!ok)
        return;
    ui->cbb_font->clear();
    ui->cbb_font->addItem(chosen.family());
    ui->cbb_font->setCurrentIndex(0);
    // The font dialog knows nothing of letter spacing; choosing a font must not reset it.
    chosen.setLetterSpacing(QFont::AbsoluteSpacing, config->font().letterSpacing());
    config->setFont(chosen);
    fillFontSizes();
}

void PreferenceDialog::onTextColorSelected(const QColor &color)
{
    config->setTextColor(color);
}

void PreferenceDialog::onBackgroundColorSelected(const QColor &color)
{
    config->setBgColor(color);
}

void PreferenceDialog::on_rb_only_bg_transparent_clicked(bool checked)
{
    if (checked)
        config->setBgType(0);
}

void PreferenceDialog::on_rb_whole_win_transparent_clicked(bool checked)
{
    if (checked)
        config->setBgType(1);
}

void PreferenceDialog::on_hs_transparent_percent_valueChanged(int value)
{
    ui->transparent_percent_label->setText(QString::number(value) + QLatin1Char('%'));
    config->setTranslucent(value);
}

void PreferenceDialog::on_cb_top_clicked(bool checked)
{
    config->setTop(checked);
}

void PreferenceDialog::on_cb_remember_pos_clicked(bool checked)
{
    config->setRememberWin(checked);
}

void PreferenceDialog::on_cb_open_last_clicked(bool checked)
{
    config->setOpenLastFile(checked);
}

void PreferenceDialog::on_cb_check_update_clicked(bool checked)
{
    config->setCheckUpdateAtStart(checked);
}

void PreferenceDialog::on_cb_show_progress_clicked(bool checked)
{
    config->setShowProgress(checked);
}

void PreferenceDialog::on_cb_punctuation_clicked(bool checked)
{
    config->setPunctuationRules(checked);
}

void PreferenceDialog::on_sb_auto_turn_valueChanged(int seconds)
{
    if (seconds != config->autoTurnSeconds())
        config->setAutoTurnSeconds(seconds);
}

void PreferenceDialog::on_cb_tray_clicked(bool checked)
{
    config->setTray(checked);
}

void PreferenceDialog::on_tabWidget_currentChanged(int index)
{
    fitToTab(index);
    resize(index == kShortcutTab ? QSize(420, 500) : QSize(420, 300));
}

void PreferenceDialog::fitToTab(int index)
{
    // A tab widget is as large as its largest page, which would keep the
    // short tabs as tall as the shortcut grid. Hidden pages are left out of
    // the size; the current one still sets the minimum, so that a system font
    // larger than the sizes were made for stretches the dialog instead of
    // clipping it.
    for (int i = 0; i < ui->tabWidget->count(); ++i) {
        const QSizePolicy::Policy policy = i == index ? QSizePolicy::Preferred : QSizePolicy::Ignored;
        ui->tabWidget->widget(i)->setSizePolicy(policy, policy);
    }
    ui->tabWidget->updateGeometry();
    layout()->activate();
}

void PreferenceDialog::on_btn_check_update_clicked()
{
    WhatsNewDlg dialog(QStringLiteral(TAVRIL_APP_ID), TAVRIL_VERSION_CODE, config->installId(), this);
    dialog.checkUpdate(QStringLiteral(TAVRIL_UPDATE_URL), true);
    dialog.exec();
}

void PreferenceDialog::on_btn_feedback_clicked()
{
    Prompter::current()->openUrl(QUrl(helpAddress() + QStringLiteral("#commentszbplb")));
}

void PreferenceDialog::on_btn_help_clicked()
{
    Prompter::current()->openUrl(QUrl(helpAddress()));
}
