// The preference dialog on a reading window with a small book open, as the
// preferences command builds it, on a fresh ini file: what it stores under
// which key, and how the window follows.

#include "BuildSettings.h"
#include "CollectHotKeyDialog.h"
#include "HotKeyManager.h"
#include "KeyLineLabel.h"
#include "LinkLabel.h"
#include "MainWindow.h"
#include "Modals.h"
#include "PreferenceDialog.h"
#include "Reader.h"
#include "ReaderConfig.h"
#include "WhatsNewDlg.h"

#include <QtNetwork>
#include <QtTest>
#include <QtWidgets>

namespace {

const char *const kMouseOptions[][2] = {{"cb_wheel_turn", "shortcut/wheelTurnPage"},
                                        {"cb_click_next_page", "shortcut/clickNextPage"},
                                        {"cb_double_click_hide", "shortcut/doublceClickHide"}};

/// A value as the ini file holds it now, read through a settings object of our own.
QVariant ini(const QString &key)
{
    QSettings settings(QCoreApplication::applicationDirPath() + "/tavrilconfig.ini", QSettings::IniFormat);
    settings.setIniCodec("UTF8");
    return settings.value(key);
}

/// Chooses `text` in `combo` with the keyboard, as a user does, so that it is "activated".
void activate(QComboBox *combo, const QString &text)
{
    const int index = combo->findText(text);
    combo->setCurrentIndex(index > 0 ? index - 1 : index + 1);
    QTest::keyClick(combo, index > 0 ? Qt::Key_Down : Qt::Key_Up);
}

// In the capture dialog: a key (or none), then a click on each of `buttons`.
std::function<void(CollectHotKeyDialog *)> capture(Qt::Key key, Qt::KeyboardModifiers modifiers = {},
                                                   const QStringList &buttons = {"btn_save"})
{
    return [=](CollectHotKeyDialog *listening) {
        if (key)
            QTest::keyClick(listening->findChild<QKeySequenceEdit *>(), key, modifiers);
        for (const QString &button : buttons)
            listening->findChild<QAbstractButton *>(button)->click();
    };
}

} // namespace

class TestPreferenceDialog : public QObject
{
    Q_OBJECT

private:
    QScopedPointer<MainWindow> window;
    PreferenceDialog *dialog = nullptr;
    QTemporaryDir dir;
    QTcpServer silentProxy;
    QList<QUrl> opened;

    /// `prepare` runs on the configuration before the dialog is built.
    bool build(const std::function<void(ReaderConfig *)> &prepare = nullptr)
    {
        window.reset(new MainWindow);
        window->resize(300, 200);
        window->show();
        window->openFile(dir.filePath(QStringLiteral("book.txt")));
        // The page is laid out once the window has painted and the resize delay has run.
        if (!QTest::qWaitFor([this] { return !reader()->lines().isEmpty(); }))
            return false;
        if (prepare)
            prepare(window->configObject());
        dialog = new PreferenceDialog(window->configObject(), window->hotKeys(), window.data());
        dialog->setWindowFlags(Qt::Dialog);
        dialog->show();
        return QTest::qWaitForWindowExposed(dialog);
    }

    Reader *reader() const { return window->readerObject(); }
    template <typename T = QWidget> T *child(const char *name) const
    {
        return dialog->findChild<T *>(QLatin1String(name));
    }
    void click(const char *name, Qt::MouseButton button = Qt::LeftButton)
    {
        QWidget *widget = child(name);
        // A shortcut field is clicked where a user clicks it: its inner line edit.
        QTest::mouseClick(qobject_cast<KeyLineLabel *>(widget) ? widget->findChild<QLineEdit *>() : widget, button);
    }
    QString keyOf(const char *name) const { return child<KeyLineLabel>(name)->sequenceText(); }

public slots:
    // Stands in for the desktop's browser (and mail program).
    void open(const QUrl &url) { opened << url; }

private slots:
    void initTestCase()
    {
        // Update checks go to a local proxy that never answers.
        silentProxy.listen(QHostAddress::LocalHost);
        QNetworkProxy::setApplicationProxy(
            QNetworkProxy(QNetworkProxy::HttpProxy, QStringLiteral("127.0.0.1"), silentProxy.serverPort()));
        QFile book(dir.filePath(QStringLiteral("book.txt")));
        QVERIFY(book.open(QIODevice::WriteOnly));
        for (int i = 1; i <= 40; ++i)
            book.write(QStringLiteral("第%1章 开端\n\u3000\u3000天色将晚，江上起了风。老渔夫收起网，回头望了一眼远处"
                                      "的山影，又低头看了看船舱里的鱼。\n")
                           .arg(i)
                           .toUtf8());
    }

    void init() { QFile::remove(QCoreApplication::applicationDirPath() + "/tavrilconfig.ini"); }
    void cleanup() { window.reset(); } // the dialog goes with it

    void textSettingsRelayThePageAtTheSamePosition()
    {
        // A font sized in pixels (an edited ini file) has no point size to offer.
        QVERIFY(build([](ReaderConfig *config) {
            QFont font = config->font();
            font.setPixelSize(20);
            config->setFont(font);
        }));
        QCOMPARE(child<QComboBox>("cbb_font_size")->findText("-1"), -1);
        QVERIFY(reader()->nextPage());
        const int position = reader()->position();
        const char *const choices[][2] = {{"cbb_font_size", "28"}, {"cbb_line_space", "20"}, {"cbb_word_sapce", "8"}};
        for (const auto &choice : choices) {
            const int pageLength = reader()->pageLength();
            activate(child<QComboBox>(choice[0]), choice[1]);
            QVERIFY2(reader()->pageLength() < pageLength, choice[0]);
        }
        QCOMPARE(ini("font/font").value<QFont>().pointSize(), 28);
        QCOMPARE(ini("font/linespace").toInt(), 20);
        QCOMPARE(ini("font/letterspace").toInt(), 8);
        QCOMPARE(reader()->position(), position);
    }

    void coloursAndTheFontComeFromTheirPickers()
    {
        QVERIFY(build([](ReaderConfig *config) { config->setFont(QFont(QStringLiteral("DejaVu Serif"), 15)); }));
        activate(child<QComboBox>("cbb_word_sapce"), "6");
        QStringList preselected;
        Modals modals;
        for (const QColor &color : {QColor(10, 120, 30), QColor(250, 240, 200)}) {
            modals.expect<QColorDialog>([&preselected, color](QColorDialog *picker) {
                preselected << picker->currentColor().name();
                picker->setCurrentColor(color);
                picker->accept();
            });
        }
        modals.expect<QFontDialog>([&preselected](QFontDialog *picker) {
            preselected << picker->currentFont().family() + QString::number(picker->currentFont().pointSize());
            picker->setCurrentFont(QFont(QStringLiteral("DejaVu Sans"), 25));
            picker->accept();
        });
        click("btn_text_color");
        click("btn_bg_color");
        click("cbb_font"); // a press on the font field opens the font dialog, not a list
        QCOMPARE(preselected, (QStringList{"#a0a0a4", "#ffffff", "DejaVu Serif15"}));
        for (const SeenModal &seen : qAsConst(modals.seen))
            QCOMPARE(seen.parent, dialog); // above a reading window kept on top
        QCOMPARE(ini("font/color").value<QColor>(), QColor(10, 120, 30));
        QCOMPARE(ini("window/bgColor").value<QColor>(), QColor(250, 240, 200));
        QCOMPARE(window->grab().toImage().pixelColor(2, 2), QColor(250, 240, 200));
        const QFont font = ini("font/font").value<QFont>();
        QCOMPARE(font.family() + QString::number(font.pointSize()), QStringLiteral("DejaVu Sans25"));
        QCOMPARE(font.letterSpacing(), 6.0);             // the font dialog knows nothing of it
        auto *sizes = child<QComboBox>("cbb_font_size"); // no standard size, offered all the same
        const int at = sizes->currentIndex();
        QCOMPARE(sizes->itemText(at - 1) + sizes->itemText(at) + sizes->itemText(at + 1), QStringLiteral("242526"));

        // Cancelled, or another button: nothing changes.
        for (const char *name : {"btn_text_color", "cbb_font"}) {
            click(name);
            click(name, Qt::RightButton);
        }
        QTest::qWait(20);
        QCOMPARE(modals.seen.size(), 5);
        QCOMPARE(ini("font/color").value<QColor>(), QColor(10, 120, 30));
        QCOMPARE(ini("font/font").value<QFont>(), font);
    }

    void resetAsksFirst()
    {
        QVERIFY(build([](ReaderConfig *config) {
            config->setLineSpace(10);
            config->setBgColor(Qt::black);
        }));
        Modals modals(QMessageBox::Cancel);
        click("btn_reset_text");
        QCOMPARE(modals.texts(), QStringList{QStringLiteral("确认重置？")});
        QCOMPARE(modals.seen.at(0).title, QStringLiteral("提示"));
        QCOMPARE(modals.seen.at(0).buttons, QMessageBox::Ok | QMessageBox::Cancel);
        QCOMPARE(modals.seen.at(0).parent, dialog);
        QCOMPARE(ini("font/linespace").toInt(), 10);

        modals.button = QMessageBox::Ok;
        click("btn_reset_text");
        QCOMPARE(ini("font/linespace").toInt(), 2);
        QCOMPARE(ini("window/bgColor").value<QColor>(), QColor(Qt::white));
        QCOMPARE(child<QComboBox>("cbb_line_space")->currentText(), QStringLiteral("2"));
    }

    void optionsAreStoredUnderTheirKeys()
    {
        QVERIFY(build());
        click("rb_whole_win_transparent");
        child<QSlider>("hs_transparent_percent")->setValue(40);
        QCOMPARE(child<QLabel>("transparent_percent_label")->text(), QStringLiteral("40%"));
        QCOMPARE(ini("window/bgType").toInt(), 1);
        QCOMPARE(ini("window/translucent").toInt(), 40);
        QVERIFY(qAbs(window->windowOpacity() - 0.4) < 0.01);
        click("rb_only_bg_transparent");
        QCOMPARE(ini("window/bgType").toInt(), 0);
        QCOMPARE(window->windowOpacity(), 1.0);

        const char *const options[][3] = {
            {"cb_top", "window/isTop", "true"},
            {"cb_remember_pos", "window/rememberWin", "true"},
            {"cb_open_last", "window/openLastFile", "true"},
            {"cb_show_progress", "view/showProgress", "true"},
            {"cb_punctuation", "view/punctuationRules", "true"},
            {"cb_check_update", "update/checkAtStart", "false"}, // on unless turned off
        };
        for (const auto &option : options) {
            click(option[0]);
            QVERIFY2(ini(option[1]).toString() == QLatin1String(option[2]), option[1]);
        }
        for (const auto &option : kMouseOptions) {
            click(option[0]);
            QVERIFY2(ini(option[1]).toString() == QLatin1String("true"), option[1]);
        }
        // The window follows: it is kept on top, and a click turns the page.
        QVERIFY(window->windowFlags() & Qt::WindowStaysOnTopHint);
        const int position = reader()->position();
        QTest::mouseClick(window.data(), Qt::LeftButton, Qt::NoModifier, window->rect().center());
        QTRY_VERIFY(reader()->position() > position);
    }

    void aChapterPatternIsAppliedOnlyWhenValid()
    {
        QVERIFY(build());
        dialog->setPreviewBook(reader()->book());
        activate(child<QComboBox>("cbb_chapter_rule"), "自定义");
        auto *pattern = child<QLineEdit>("et_chapter_pattern");
        pattern->setText(QStringLiteral("^第[0-9]+章("));
        QTest::keyClick(pattern, Qt::Key_Return);
        QVERIFY(child<QLabel>("lb_chapter_preview")->text().startsWith(QStringLiteral("正则表达式有误")));
        QVERIFY(!ini("content/chapterRule").isValid()); // never applied
        QTest::keyClick(pattern, Qt::Key_Backspace);
        QTest::keyClick(pattern, Qt::Key_Return);
        QCOMPARE(ini("content/chapterRule").toString(), QStringLiteral("custom"));
        QCOMPARE(ini("content/chapterPattern").toString(), QStringLiteral("^第[0-9]+章"));
        QCOMPARE(child<QLabel>("lb_chapter_preview")->text(), QStringLiteral("在当前的书中找到 40 章"));
    }

    void linksOpenOnlyWebAddresses()
    {
        for (const char *scheme : {"http", "https", "mailto", "file"})
            QDesktopServices::setUrlHandler(QString::fromLatin1(scheme), this, "open");
        LinkLabel label;
        label.show();
        for (const char *address : {"", "mailto:a@example.org", "file:///etc/passwd", " http://example.org",
                                    "http://tavril.example.org", "HTTPS://Tavril.Example.org/?id=596"}) {
            label.setUrl(QString::fromLatin1(address));
            QTest::mouseClick(&label, Qt::RightButton);
        }
        QCOMPARE(opened, (QList<QUrl>{QUrl("http://tavril.example.org"), QUrl("https://tavril.example.org/?id=596")}));
    }

    void checkingForUpdatesSendsARandomInstallId()
    {
        QVERIFY(build());
        Modals modals;
        QUrl asked;
        modals.expect<WhatsNewDlg>([&asked](WhatsNewDlg *update) {
            if (auto *request = update->findChild<QNetworkReply *>())
                asked = request->url();
            update->reject();
        });
        click("btn_check_update");
        QCOMPARE(modals.seen.at(0).parent, dialog);
        QCOMPARE(asked.adjusted(QUrl::RemoveQuery), QUrl(TAVRIL_UPDATE_URL));
        const QUrlQuery query(asked);
        QCOMPARE(query.queryItemValue("app") + query.queryItemValue("version"), QStringLiteral("QX7RD6"));
        // Made for this installation and kept; nothing of the machine.
        const QString id = query.queryItemValue("machine");
        QVERIFY(!QUuid(id).isNull());
        QCOMPARE(ini("update/installId").toString(), id);
        QVERIFY(!id.contains(QString::fromLatin1(QSysInfo::machineUniqueId())));
    }

    void aCapturedKeyIsStoredAndWorksInTheWindow()
    {
        QVERIFY(build());
        Modals modals;
        QString shown;
        bool suspended = false;
        modals.expect<CollectHotKeyDialog>([&](CollectHotKeyDialog *listening) {
            shown = listening->findChild<QKeySequenceEdit *>()->keySequence().toString();
            // The reader's own global grabs are let go while the dialog
            // listens, so that its chords reach the dialog.
            suspended = window->hotKeys()->isGlobalSuspended();
            capture(Qt::Key_J)(listening);
        });
        click("hotkey_next");
        QCOMPARE(shown, QStringLiteral("Right"));
        QVERIFY(suspended && !window->hotKeys()->isGlobalSuspended());
        QCOMPARE(keyOf("hotkey_next"), QStringLiteral("J"));
        QCOMPARE(ini("key/8").toString(), QStringLiteral("J"));
        const int position = reader()->position();
        QTest::keyClick(window.data(), Qt::Key_J);
        QVERIFY(reader()->position() > position);

        // Backspace, whatever the modifiers, means no key.
        modals.expect<CollectHotKeyDialog>(capture(Qt::Key_Backspace, Qt::ControlModifier));
        click("hotkey_find_g");
        QCOMPARE(keyOf("hotkey_find_g"), QString());
        QCOMPARE(ini("key/106"), QVariant(QString())); // written empty

        // The same key again, a cancelled capture, other buttons and typing change nothing.
        modals.expect<CollectHotKeyDialog>(capture(Qt::Key(0)));
        click("hotkey_open");
        modals.expect<CollectHotKeyDialog>(capture(Qt::Key_K, {}, {"btn_cancel"}));
        click("hotkey_menu");
        click("hotkey_menu", Qt::RightButton);
        click("hotkey_menu_g", Qt::MiddleButton);
        QTest::keyClick(child("hotkey_menu"), Qt::Key_K);
        QTest::qWait(20);
        QCOMPARE(modals.seen.size(), 4); // no warning either
        for (const SeenModal &seen : qAsConst(modals.seen))
            QCOMPARE(seen.parent, dialog);
        QCOMPARE(keyOf("hotkey_menu"), QStringLiteral("M"));
        QVERIFY(!ini("key/1").isValid() && !ini("key/12").isValid());
    }

    void aKeyHeldInEitherColumnIsRefused()
    {
        QVERIFY(build());
        Modals modals;
        modals.expect<CollectHotKeyDialog>(capture(Qt::Key_O, Qt::ControlModifier | Qt::ShiftModifier));
        click("hotkey_open");
        modals.expect<CollectHotKeyDialog>(capture(Qt::Key_C));
        click("hotkey_find_g");
        QCOMPARE(modals.texts(), (QStringList{QString(), QStringLiteral("此快捷键已被占用"), QString(),
                                              QStringLiteral("此快捷键已被占用")}));
        QCOMPARE(modals.seen.at(1).title, QStringLiteral("提示"));
        QCOMPARE(modals.seen.at(1).parent, dialog);
        QCOMPARE(keyOf("hotkey_open") + keyOf("hotkey_find_g"), QStringLiteral("OCtrl+Shift+F"));
        QVERIFY(!ini("key/1").isValid() && !ini("key/106").isValid());
    }

    void resetRestoresEveryKeyAndTurnsTheMouseOptionsOff()
    {
        QVERIFY(build());
        QMap<int, QString> defaults;
        for (KeyLineLabel *field : dialog->findChildren<KeyLineLabel *>())
            defaults.insert(field->actionId(), field->sequenceText());
        QCOMPARE(defaults.size(), 35);
        Modals modals(QMessageBox::Cancel);
        modals.expect<CollectHotKeyDialog>(capture(Qt::Key_J));
        click("hotkey_next");
        for (const auto &option : kMouseOptions)
            click(option[0]);
        click("btn_reset_hotkey");
        QCOMPARE(modals.texts().last(), QStringLiteral("确认重置所有快捷键？"));
        QCOMPARE(keyOf("hotkey_next"), QStringLiteral("J"));

        modals.button = QMessageBox::Ok;
        click("btn_reset_hotkey");
        for (KeyLineLabel *field : dialog->findChildren<KeyLineLabel *>()) {
            const QString key = defaults.value(field->actionId());
            QCOMPARE(field->sequenceText(), key);
            QCOMPARE(ini(QStringLiteral("key/%1").arg(field->actionId())).toString(), key);
        }
        QCOMPARE(keyOf("hotkey_next") + keyOf("hotkey_next_g"), QStringLiteral("RightCtrl+Shift+Right"));
        for (const auto &option : kMouseOptions) {
            QVERIFY(!child<QCheckBox>(option[0])->isChecked());
            QVERIFY2(ini(option[1]).toString() == QLatin1String("false"), option[1]);
        }
    }
};

QTEST_MAIN(TestPreferenceDialog)
#include "tst_preferencedialog.moc"
