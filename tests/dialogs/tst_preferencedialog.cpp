#include "Book.h"
#include "BuildSettings.h"
#include "ColorButton.h"
#include "JComboBox.h"
#include "LinkLabel.h"
#include "PreferenceFixture.h"
#include "WhatsNewDlg.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QFontDialog>
#include <QLabel>
#include <QLineEdit>
#include <QNetworkReply>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTabWidget>
#include <QUrlQuery>

class TestPreferenceDialog : public QObject
{
    Q_OBJECT

private:
    PreferenceFixture f;

    static QStringList entries(QComboBox *combo)
    {
        QStringList texts;
        for (int i = 0; i < combo->count(); ++i)
            texts.append(combo->itemText(i));
        return texts;
    }

    static QByteArray iniBytes()
    {
        QFile file(testIniPath());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    static ModalAnswerer::Answer pickFont(const QFont &font, QFont *preselected)
    {
        return [font, preselected](QWidget *modal) {
            auto *dialog = qobject_cast<QFontDialog *>(modal);
            if (!dialog)
                return ModalAnswerer::closeModal(modal);
            *preselected = dialog->currentFont();
            dialog->setCurrentFont(font);
            dialog->accept();
        };
    }

    static ModalAnswerer::Answer pickColor(const QColor &color)
    {
        return [color](QWidget *modal) {
            if (auto *dialog = qobject_cast<QColorDialog *>(modal)) {
                dialog->setCurrentColor(color);
                dialog->accept();
            } else {
                ModalAnswerer::closeModal(modal);
            }
        };
    }

private slots:
    void initTestCase() { f.isolateNetwork(); }
    void cleanup() { f.tearDown(); }

    void showsTheConfigurationWhenOpened()
    {
        QVERIFY(f.build([](ReaderConfig *config) {
            config->setLineSpace(6);
            config->setLetterSpace(4);
            config->setBgType(1);
            config->setTranslucent(70);
            config->setTray(true);
            config->setOpenLastFile(true);
            config->setWheelTurnPage(true);
        }));
        QCOMPARE(f.dialog->windowTitle(), QStringLiteral("设置"));
        // The form's size, or what the general tab needs where that is more.
        QCOMPARE(f.dialog->size(), QSize(424, 688).expandedTo(f.dialog->minimumSizeHint()));
        auto *tabs = f.child<QTabWidget>("tabWidget");
        QCOMPARE(tabs->currentIndex(), 0);
        QCOMPARE(tabs->tabText(0) + tabs->tabText(1) + tabs->tabText(2), QStringLiteral("常规快捷键关于"));
        auto *fontField = f.child<JComboBox>("cbb_font");
        QCOMPARE(entries(fontField), QStringList{f.config()->font().family()});
        QCOMPARE(f.child<QComboBox>("cbb_line_space")->currentText(), QStringLiteral("6"));
        QCOMPARE(f.child<QComboBox>("cbb_word_sapce")->currentText(), QStringLiteral("4"));
        QCOMPARE(f.child<ColorButton>("btn_text_color")->color(), f.config()->textColor());
        QCOMPARE(f.child<ColorButton>("btn_bg_color")->color(), f.config()->bgColor());
        QVERIFY(f.child<QRadioButton>("rb_whole_win_transparent")->isChecked());
        QCOMPARE(f.child<QSlider>("hs_transparent_percent")->value(), 70);
        QCOMPARE(f.child<QLabel>("transparent_percent_label")->text(), QStringLiteral("70%"));
        QVERIFY(f.child<QCheckBox>("cb_open_last")->isChecked());
        QVERIFY(f.child<QCheckBox>("cb_wheel_turn")->isChecked());
        QVERIFY(!f.child<QCheckBox>("cb_top")->isChecked());
        // There is no tray icon, yet the stored value is carried.
        QVERIFY(f.child<QCheckBox>("cb_tray")->isChecked());
        QVERIFY(f.child<QCheckBox>("cb_tray")->isHidden());
        // Loading stored nothing new.
        QCOMPARE(f.config()->translucent(), 70);
        QCOMPARE(iniValue("window/translucent").toInt(), 70);
    }

    void offersTheStandardSizesAndKeepsAnOddOne()
    {
        QVERIFY(f.build([](ReaderConfig *config) {
            QFont font = config->font();
            font.setPointSize(12);
            config->setFont(font);
        }));
        const QList<int> standard = {6,  7,  8,  9,  10, 11,  12,  13,  14,  15,  16,  17,  18,  19,
                                     20, 22, 24, 26, 28, 30,  32,  34,  36,  38,  40,  44,  48,  52,
                                     56, 60, 72, 84, 96, 108, 120, 144, 168, 192, 216, 240, 264, 288};
        QCOMPARE(f.dialog->offeredFontSizes(), standard);
        auto *sizes = f.child<QComboBox>("cbb_font_size");
        QCOMPARE(sizes->count(), 42);
        QCOMPARE(sizes->currentText(), QStringLiteral("12"));
        QCOMPARE(sizes->maxVisibleItems(), 20);
        f.tearDown();

        QVERIFY(f.build([](ReaderConfig *config) {
            QFont font = config->font();
            font.setPointSize(23);
            config->setFont(font);
        }));
        sizes = f.child<QComboBox>("cbb_font_size");
        QCOMPARE(sizes->count(), 43);
        QCOMPARE(sizes->currentText(), QStringLiteral("23"));
        QCOMPARE(sizes->itemText(sizes->currentIndex() - 1), QStringLiteral("22"));
        QCOMPARE(sizes->itemText(sizes->currentIndex() + 1), QStringLiteral("24"));
        activate(sizes, "24");
        QCOMPARE(f.config()->font().pointSize(), 24);
        QCOMPARE(entries(sizes).count("23"), 1); // still offered
        f.tearDown();

        // A font sized in pixels (an edited ini file) has no point size to offer.
        QVERIFY(f.build([](ReaderConfig *config) {
            QFont font = config->font();
            font.setPixelSize(20);
            config->setFont(font);
        }));
        sizes = f.child<QComboBox>("cbb_font_size");
        QCOMPARE(sizes->count(), 42);
        QCOMPARE(sizes->findText("-1"), -1);
        activate(sizes, "16");
        QCOMPARE(f.config()->font().pointSize(), 16);
    }

    void aNewSizeRelaysThePageAtTheSamePosition()
    {
        QVERIFY(f.build());
        QVERIFY(f.reader()->nextPage());
        const int position = f.reader()->position();
        const int pageLength = f.reader()->pageLength();
        activate(f.child<QComboBox>("cbb_font_size"), "28");
        QCOMPARE(f.config()->font().pointSize(), 28);
        QCOMPARE(iniValue("font/font").value<QFont>().pointSize(), 28);
        QCOMPARE(f.reader()->position(), position);
        QVERIFY(f.reader()->pageLength() < pageLength);
    }

    void spacingsChangeTheLayoutAndTheFile()
    {
        QVERIFY(f.build());
        const QStringList even = {"0",  "2",  "4",  "6",  "8",  "10", "12", "14",
                                  "16", "18", "20", "22", "24", "26", "28", "30"};
        QCOMPARE(entries(f.child<QComboBox>("cbb_line_space")), even);
        QCOMPARE(entries(f.child<QComboBox>("cbb_word_sapce")), even);

        const int position = f.reader()->position();
        int lines = f.reader()->lines().size();
        activate(f.child<QComboBox>("cbb_line_space"), "20");
        QCOMPARE(f.config()->lineSpace(), 20);
        QCOMPARE(iniValue("font/linespace").toInt(), 20);
        QVERIFY(f.reader()->lines().size() < lines);

        const int firstLine = f.reader()->lines().first();
        activate(f.child<QComboBox>("cbb_word_sapce"), "8");
        QCOMPARE(f.config()->font().letterSpacing(), 8.0);
        QCOMPARE(f.config()->font().letterSpacingType(), QFont::AbsoluteSpacing);
        QCOMPARE(iniValue("font/letterspace").toInt(), 8);
        QVERIFY(f.reader()->lines().first() < firstLine);
        QCOMPARE(f.reader()->position(), position);
    }

    void anOddSpacingSelectsNothingNew()
    {
        QVERIFY(f.build([](ReaderConfig *config) {
            config->setLineSpace(5);
            config->setLetterSpace(7);
        }));
        // The lists show what they showed after filling; the odd values stay.
        QCOMPARE(f.child<QComboBox>("cbb_line_space")->currentText(), QStringLiteral("0"));
        QCOMPARE(f.child<QComboBox>("cbb_word_sapce")->currentText(), QStringLiteral("0"));
        QCOMPARE(f.config()->lineSpace(), 5);
        QCOMPARE(iniValue("font/letterspace").toInt(), 7);
    }

    void coloursComeFromThePicker()
    {
        QVERIFY(f.build());
        ModalAnswerer answerer;
        answerer.expect(pickColor(QColor(10, 120, 30)));
        QTest::mouseClick(f.child<ColorButton>("btn_text_color"), Qt::LeftButton);
        QCOMPARE(f.config()->textColor(), QColor(10, 120, 30));
        QCOMPARE(iniValue("font/color").value<QColor>(), QColor(10, 120, 30));

        answerer.expect(pickColor(QColor(250, 240, 200)));
        QTest::mouseClick(f.child<ColorButton>("btn_bg_color"), Qt::LeftButton);
        QCOMPARE(f.config()->bgColor(), QColor(250, 240, 200));
        QCOMPARE(iniValue("window/bgColor").value<QColor>(), QColor(250, 240, 200));
        QCOMPARE(f.window->grab().toImage().pixelColor(2, 2), QColor(250, 240, 200));

        const QByteArray before = iniBytes();
        answerer.expectReject();
        QTest::mouseClick(f.child<ColorButton>("btn_bg_color"), Qt::LeftButton);
        QCOMPARE(answerer.pending(), 0);
        QCOMPARE(f.config()->bgColor(), QColor(250, 240, 200));
        QCOMPARE(iniBytes(), before);
        QVERIFY(answerer.unexpected.isEmpty());
    }

    void resetAsksFirst()
    {
        QVERIFY(f.build([](ReaderConfig *config) {
            config->setLineSpace(10);
            config->setLetterSpace(6);
            config->setTextColor(Qt::red);
            config->setBgColor(Qt::black);
        }));
        const QByteArray before = iniBytes();
        ModalAnswerer answerer;
        answerer.expectMessageBox(QMessageBox::Cancel);
        QTest::mouseClick(f.child<QPushButton>("btn_reset_text"), Qt::LeftButton);
        QCOMPARE(answerer.seen.size(), 1);
        QCOMPARE(answerer.seen.at(0).title, QStringLiteral("提示"));
        QCOMPARE(answerer.seen.at(0).text, QStringLiteral("确认重置？"));
        QCOMPARE(answerer.seen.at(0).buttons, QMessageBox::Ok | QMessageBox::Cancel);
        QCOMPARE(answerer.seen.at(0).parent, f.dialog);
        QCOMPARE(f.config()->lineSpace(), 10);
        QCOMPARE(f.config()->textColor(), QColor(Qt::red));
        QCOMPARE(iniBytes(), before);

        answerer.expectMessageBox(QMessageBox::Ok);
        QTest::mouseClick(f.child<QPushButton>("btn_reset_text"), Qt::LeftButton);
        QCOMPARE(f.config()->lineSpace(), 2);
        QCOMPARE(f.config()->font(), QApplication::font());
        QCOMPARE(f.config()->textColor(), QColor(Qt::gray));
        QCOMPARE(f.config()->bgColor(), QColor(Qt::white));
        QCOMPARE(iniValue("font/linespace").toInt(), 2);
        QCOMPARE(iniValue("font/letterspace").toInt(), 0);
        QCOMPARE(iniValue("window/bgColor").value<QColor>(), QColor(Qt::white));
        QCOMPARE(f.child<QComboBox>("cbb_line_space")->currentText(), QStringLiteral("2"));
        QCOMPARE(f.child<QComboBox>("cbb_word_sapce")->currentText(), QStringLiteral("0"));
        QCOMPARE(f.child<ColorButton>("btn_text_color")->color(), QColor(Qt::gray));
        QCOMPARE(f.child<ColorButton>("btn_bg_color")->color(), QColor(Qt::white));
        QVERIFY(answerer.unexpected.isEmpty());
    }

    void aChosenFontKeepsTheLetterSpacing()
    {
        // A family the font dialog lists, so that it can preselect it.
        QVERIFY(f.build([](ReaderConfig *config) { config->setFont(QFont(QStringLiteral("DejaVu Serif"), 15)); }));
        activate(f.child<QComboBox>("cbb_word_sapce"), "6");
        const QFont before = f.config()->font();
        ModalAnswerer answerer;
        QFont preselected;
        answerer.expect(pickFont(QFont(QStringLiteral("DejaVu Sans"), 25), &preselected));
        QTest::mouseClick(f.child<JComboBox>("cbb_font"), Qt::LeftButton);
        QCOMPARE(answerer.seen.size(), 1);
        QCOMPARE(answerer.seen.at(0).parent, f.dialog); // above a reading window kept on top
        QCOMPARE(preselected.family(), before.family());
        QCOMPARE(preselected.pointSize(), before.pointSize());

        const QFont font = f.config()->font();
        QCOMPARE(font.family(), QStringLiteral("DejaVu Sans"));
        QCOMPARE(font.pointSize(), 25);
        QCOMPARE(font.letterSpacing(), 6.0);
        QCOMPARE(font.letterSpacingType(), QFont::AbsoluteSpacing);
        QCOMPARE(iniValue("font/font").value<QFont>().family(), QStringLiteral("DejaVu Sans"));
        QCOMPARE(entries(f.child<JComboBox>("cbb_font")), QStringList{"DejaVu Sans"});
        QCOMPARE(f.child<QComboBox>("cbb_word_sapce")->currentText(), QStringLiteral("6"));
        auto *sizes = f.child<QComboBox>("cbb_font_size");
        QCOMPARE(sizes->currentText(), QStringLiteral("25"));
        QCOMPARE(entries(sizes).count("25"), 1);

        // Cancelled, and a right press: nothing changes.
        const QByteArray ini = iniBytes();
        answerer.expectReject();
        QTest::mouseClick(f.child<JComboBox>("cbb_font"), Qt::LeftButton);
        QTest::mouseClick(f.child<JComboBox>("cbb_font"), Qt::RightButton);
        QTest::qWait(20);
        QCOMPARE(answerer.seen.size(), 2);
        QCOMPARE(f.config()->font(), font);
        QCOMPARE(iniBytes(), ini);
        QVERIFY(answerer.unexpected.isEmpty());
    }

    void transparencyFollowsTheControls()
    {
        QVERIFY(f.build());
        auto *whole = f.child<QRadioButton>("rb_whole_win_transparent");
        auto *onlyBackground = f.child<QRadioButton>("rb_only_bg_transparent");
        QVERIFY(onlyBackground->isChecked());
        QTest::mouseClick(whole, Qt::LeftButton);
        QCOMPARE(f.config()->bgType(), 1);
        QCOMPARE(iniValue("window/bgType").toInt(), 1);

        auto *slider = f.child<QSlider>("hs_transparent_percent");
        for (int step : {90, 40}) {
            slider->setValue(step);
            QCOMPARE(f.child<QLabel>("transparent_percent_label")->text(), QString::number(step) + "%");
            QCOMPARE(iniValue("window/translucent").toInt(), step);
            QVERIFY(qAbs(f.window->windowOpacity() - step / 100.0) < 0.01);
        }
        QTest::keyClick(slider, Qt::Key_PageDown);
        QCOMPARE(f.config()->translucent(), 30);

        QTest::mouseClick(onlyBackground, Qt::LeftButton);
        QCOMPARE(f.config()->bgType(), 0);
        QCOMPARE(f.window->windowOpacity(), 1.0);
        // The checked button clicked again stores its value again.
        QSettings(testIniPath(), QSettings::IniFormat).remove("window/bgType");
        QTest::mouseClick(onlyBackground, Qt::LeftButton);
        QVERIFY(onlyBackground->isChecked());
        QCOMPARE(iniValue("window/bgType"), QVariant(0));
    }

    void windowOptionsAreStored()
    {
        QVERIFY(f.build());
        QTest::mouseClick(f.child<QCheckBox>("cb_top"), Qt::LeftButton);
        QVERIFY(f.config()->isTop());
        QCOMPARE(iniValue("window/isTop").toBool(), true);
        QVERIFY(f.window->windowFlags() & Qt::WindowStaysOnTopHint);
        QTest::mouseClick(f.child<QCheckBox>("cb_top"), Qt::LeftButton);
        QVERIFY(!(f.window->windowFlags() & Qt::WindowStaysOnTopHint));
        QCOMPARE(iniValue("window/isTop").toBool(), false);

        QTest::mouseClick(f.child<QCheckBox>("cb_remember_pos"), Qt::LeftButton);
        QTest::mouseClick(f.child<QCheckBox>("cb_open_last"), Qt::LeftButton);
        QCOMPARE(iniValue("window/rememberWin").toBool(), true);
        QCOMPARE(iniValue("window/openLastFile").toBool(), true);
        QVERIFY(f.config()->rememberWin() && f.config()->openLastFile());

        auto *checkUpdate = f.child<QCheckBox>("cb_check_update");
        QVERIFY(checkUpdate->isChecked()); // on unless turned off
        QTest::mouseClick(checkUpdate, Qt::LeftButton);
        QCOMPARE(iniValue("update/checkAtStart").toBool(), false);
        QVERIFY(!f.config()->checkUpdateAtStart());
    }

    void theChapterRuleIsChosenWithAPreview()
    {
        QVERIFY(f.build());
        QTemporaryDir dir;
        QFile book(dir.filePath(QStringLiteral("rules.txt")));
        QVERIFY(book.open(QIODevice::WriteOnly));
        book.write(QStringLiteral("序章\n第一章 开端\n\u3000\u3000第十节课下课后，他走了。\n第二章 风起\n"
                                  "\u3000\u3000第六回合时，子曰：好。\n第三章 终局\n")
                       .toUtf8());
        book.close();
        f.window->openFile(book.fileName());
        Book *open = f.reader()->book();
        f.dialog->setPreviewBook(open);
        open->waitForChapters();
        QCOMPARE(open->chapterCount(), 5); // the look-alikes too

        auto *rules = f.child<QComboBox>("cbb_chapter_rule");
        auto *pattern = f.child<QLineEdit>("et_chapter_pattern");
        auto *preview = f.child<QLabel>("lb_chapter_preview");
        QVERIFY(!pattern->isEnabled());
        activate(rules, "严格");
        QCOMPARE(iniValue("content/chapterRule").toString(), QStringLiteral("strict"));
        QCOMPARE(preview->text(), QStringLiteral("在当前的书中找到 4 章"));
        QTRY_COMPARE(open->chapterCount(), 4); // parsed again in the background

        activate(rules, "自定义");
        QVERIFY(pattern->isEnabled());
        pattern->setText(QStringLiteral("^第[一二三]章("));
        QTest::keyClick(pattern, Qt::Key_Return);
        QVERIFY(preview->text().startsWith(QStringLiteral("正则表达式有误")));
        QCOMPARE(iniValue("content/chapterRule").toString(), QStringLiteral("strict")); // never applied
        QTest::keyClick(pattern, Qt::Key_Backspace);
        QTest::keyClick(pattern, Qt::Key_Return);
        QCOMPARE(iniValue("content/chapterRule").toString(), QStringLiteral("custom"));
        QCOMPARE(iniValue("content/chapterPattern").toString(), QStringLiteral("^第[一二三]章"));
        QCOMPARE(preview->text(), QStringLiteral("在当前的书中找到 3 章"));
        QTRY_COMPARE(open->chapterCount(), 3);
    }

    void theSizeFollowsTheTab()
    {
        QVERIFY(f.build());
        QCOMPARE(f.dialog->size(), QSize(424, 688).expandedTo(f.dialog->minimumSizeHint()));
        // The sizes were made for smaller system fonts: where a tab needs
        // more, the dialog grows to what that tab needs, and no further.
        auto *tabs = f.child<QTabWidget>("tabWidget");
        const auto expected = [this](const QSize &wanted) { return wanted.expandedTo(f.dialog->minimumSizeHint()); };
        tabs->setCurrentIndex(1);
        const QSize shortcuts = f.dialog->size();
        QCOMPARE(shortcuts, expected(QSize(420, 500)));
        tabs->setCurrentIndex(2);
        QCOMPARE(f.dialog->size(), expected(QSize(420, 300)));
        tabs->setCurrentIndex(1);
        tabs->setCurrentIndex(0);
        QCOMPARE(f.dialog->size(), expected(QSize(420, 300)));
        // The short tab does not keep the shortcut grid's height.
        QVERIFY(f.dialog->height() < shortcuts.height());
        QCOMPARE(f.dialog->width(), 420);
    }

    void theAboutTabLinksToOurSite()
    {
        QVERIFY(f.build());
        QCOMPARE(f.child<QLabel>("tv_version")->text(), QStringLiteral("版本号 v2.0.4 (6-55b322f)"));
        QVERIFY(!f.child<QLabel>("label_16")->pixmap(Qt::ReturnByValue).isNull());
        auto *link = f.child<LinkLabel>("tv_copyright_2");
        QCOMPARE(link->url(), QStringLiteral(TAVRIL_SITE));
        QVERIFY(f.child<QLabel>("tv_copyright_3")->text().contains(QStringLiteral("Tavril阅读器")));

        UrlCatcher browser;
        f.child<QTabWidget>("tabWidget")->setCurrentIndex(2);
        QTest::mouseClick(f.child<QPushButton>("btn_help"), Qt::LeftButton);
        QTest::mouseClick(f.child<QPushButton>("btn_feedback"), Qt::LeftButton);
        QTest::mouseClick(link, Qt::LeftButton);
        const QList<QUrl> expected = {QUrl(TAVRIL_SITE "/?id=596"), QUrl(TAVRIL_SITE "/?id=596#commentszbplb"),
                                      QUrl(TAVRIL_SITE)};
        QCOMPARE(browser.opened, expected);
    }

    void checkingForUpdatesShowsTheUpdateDialog()
    {
        QVERIFY(f.build());
        ModalAnswerer answerer;
        QUrl asked;
        answerer.expect([&asked](QWidget *modal) {
            if (auto *reply = modal->findChild<QNetworkReply *>())
                asked = reply->url();
            ModalAnswerer::closeModal(modal);
        });
        QTest::mouseClick(f.child<QPushButton>("btn_check_update"), Qt::LeftButton);
        QCOMPARE(answerer.seen.size(), 1);
        QCOMPARE(answerer.seen.at(0).className, QStringLiteral("WhatsNewDlg"));
        QCOMPARE(answerer.seen.at(0).parent, f.dialog);
        QCOMPARE(asked.adjusted(QUrl::RemoveQuery), QUrl(TAVRIL_UPDATE_URL));
        const QUrlQuery query(asked);
        QCOMPARE(query.queryItemValue("app"), QStringLiteral("QX7RD"));
        QCOMPARE(query.queryItemValue("version"), QStringLiteral("6"));
        // A random id of this installation, the same every time, nothing of the machine.
        const QString id = query.queryItemValue("machine");
        QVERIFY(!QUuid(id).isNull());
        QCOMPARE(id, f.config()->installId());
        QVERIFY(!id.contains(QString::fromLatin1(QSysInfo::machineUniqueId())));
        // The update dialog lived on the stack of the click.
        QVERIFY(f.dialog->findChildren<WhatsNewDlg *>().isEmpty());
    }
};

QTEST_MAIN(TestPreferenceDialog)
#include "tst_preferencedialog.moc"
