#pragma once

#include "HotKeyManager.h"

#include <QDialog>
#include <QHash>
#include <QList>
#include <QScopedPointer>

class Book;
class KeyLineLabel;
class ReaderConfig;

namespace Ui {
class PreferenceDialog;
}

/// The settings window: font, colours, spacing, transparency and window
/// options, the hot keys and the about page. There is nothing to save or
/// discard: every edit goes at once to the configuration or the hot-key
/// table, which store it and let the reading window follow.
class PreferenceDialog : public QDialog
{
    Q_OBJECT

public:
    /// Neither @p config nor @p hotKeyManager is owned; both must outlive the dialog.
    PreferenceDialog(ReaderConfig *config, HotKeyManager *hotKeyManager, QWidget *parent = nullptr);
    ~PreferenceDialog() override;

    /// The book whose chapters the chapter rule's preview counts (may be null).
    void setPreviewBook(Book *book);
    /// A capability's page of settings, as a tab before 关于; owned.
    void addPage(QWidget *page, const QString &title);

    /// The sizes offered in the size list; grows by the odd sizes met on the way.
    QList<int> offeredFontSizes() const { return fontSizes; }
    /// Whether @p size belongs to the standard list of 42 sizes.
    static bool isStandardFontSize(int size);

private slots:
    void on_cbb_font_size_textActivated(const QString &text);
    void on_cbb_line_space_textActivated(const QString &text);
    void on_cbb_word_sapce_textActivated(const QString &text);
    void on_btn_reset_text_clicked();
    void on_rb_only_bg_transparent_clicked(bool checked);
    void on_rb_whole_win_transparent_clicked(bool checked);
    void on_hs_transparent_percent_valueChanged(int value);
    void on_cb_top_clicked(bool checked);
    void on_cb_remember_pos_clicked(bool checked);
    void on_cb_open_last_clicked(bool checked);
    void on_cb_tray_clicked(bool checked);
    void on_cb_check_update_clicked(bool checked);
    void on_cb_show_progress_clicked(bool checked);
    void on_cb_punctuation_clicked(bool checked);
    void on_sb_auto_turn_valueChanged(int seconds);
    void on_tabWidget_currentChanged(int index);
    void on_btn_check_update_clicked();
    void on_btn_feedback_clicked();
    void on_btn_help_clicked();
    void onCbbFontClicked();
    void onTextColorSelected(const QColor &color);
    void onBackgroundColorSelected(const QColor &color);

    // The chapter rule (PreferenceDialogChapters.cpp).
    void on_cbb_chapter_rule_activated(int index);
    void on_et_chapter_pattern_textChanged(const QString &text);
    void on_et_chapter_pattern_editingFinished();

    // The shortcut tab (PreferenceDialogShortcuts.cpp).
    void onClickedHotKey(void *view);
    void on_btn_reset_hotkey_clicked();
    void on_cb_wheel_turn_stateChanged(int state);
    void on_cb_click_next_page_stateChanged(int state);
    void on_cb_double_click_hide_stateChanged(int state);
    void on_btn_configure_global_clicked();
    void showGlobalKeys();

private:
    void initLists();
    void fillFontSizes();
    void loadSettings();
    void connectWidgets();
    void fitToTab(int index);
    void setupKeyFields();
    void loadHotKeys();
    QList<KeyLineLabel *> hotKeyFields() const;
    /// Asks "OK or Cancel?" titled "提示"; true only for OK.
    bool confirm(const QString &text);
    void loadChapterRule();
    void applyChapterRule();
    bool showChapterPreview();

    ReaderConfig *config;
    HotKeyManager *hotKeyManager;
    QScopedPointer<Ui::PreferenceDialog> ui;
    QList<int> fontSizes;
    QHash<KeyLineLabel *, KeyBinding> keyFields;
    Book *previewBook = nullptr;
};
