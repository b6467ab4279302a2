// The shortcut tab of the preference dialog.

#include "CollectHotKeyDialog.h"
#include "KeyLineLabel.h"
#include "OneKeySequenceEdit.h"
#include "PreferenceFixture.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>

namespace {
struct Field
{
    const char *name;
    int id;
};

const Field kFields[] = {
    {"hotkey_open", 1},          {"hotkey_close", 2},         {"hotkey_content", 3},     {"hotkey_bookmark_list", 4},
    {"hotkey_add_bookmark", 5},  {"hotkey_find", 6},          {"hotkey_back", 7},        {"hotkey_next", 8},
    {"hotkey_back_chapter", 16}, {"hotkey_next_chapter", 17}, {"hotkey_hide", 9},        {"hotkey_show", 10},
    {"hotkey_center_win", 11},   {"hotkey_menu", 12},         {"hotkey_preference", 13}, {"hotkey_help", 14},
    {"hotkey_auto_turn", 18},
};

// What the user does in the capture dialog before pressing "保存".
using Capture = std::function<void(CollectHotKeyDialog *dialog, OneKeySequenceEdit *editor)>;

Capture press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    return [key, modifiers](CollectHotKeyDialog *, OneKeySequenceEdit *editor) {
        QTest::keyClick(editor, key, modifiers);
    };
}
} // namespace

class TestPreferenceShortcuts : public QObject
{
    Q_OBJECT

private:
    PreferenceFixture f;

    KeyLineLabel *field(const QString &name) const { return f.dialog->findChild<KeyLineLabel *>(name); }

    // The mouse lands on the field's inner line edit, as it does for a user.
    static void click(KeyLineLabel *field, Qt::MouseButton button = Qt::LeftButton)
    {
        QTest::mouseClick(field->findChild<QLineEdit *>(), button);
    }

    /// Saves in the capture dialog after @p capture; @p shown gets what it opened with.
    static ModalAnswerer::Answer save(const Capture &capture, QString *shown = nullptr)
    {
        return [capture, shown](QWidget *modal) {
            auto *dialog = qobject_cast<CollectHotKeyDialog *>(modal);
            if (!dialog)
                return ModalAnswerer::closeModal(modal);
            auto *editor = dialog->findChild<OneKeySequenceEdit *>("keySequenceEdit");
            if (shown)
                *shown = editor->keySequence().toString(QKeySequence::PortableText);
            capture(dialog, editor);
            dialog->findChild<QPushButton *>("btn_save")->click();
        };
    }

    void checkDefaults()
    {
        for (const Field &entry : kFields) {
            for (int id : {entry.id, entry.id + HotKeyManager::GlobalIdOffset}) {
                const QString name = QString::fromLatin1(entry.name) + (id > 100 ? "_g" : "");
                QCOMPARE(field(name)->actionId(), id);
                QCOMPARE(field(name)->sequenceText(), HotKeyManager::defaultHotKey(id));
                QCOMPARE(f.hotKeys()->hotKey(id), HotKeyManager::defaultHotKey(id));
            }
        }
    }

private slots:
    void initTestCase() { f.isolateNetwork(); }
    void init() { QVERIFY(f.build()); }
    void cleanup() { f.tearDown(); }

    void everyFieldShowsItsActionsKey()
    {
        QCOMPARE(f.dialog->findChildren<KeyLineLabel *>().size(), 35);
        checkDefaults();
    }

    void aCapturedKeyIsStoredAndWorksInTheWindow()
    {
        ModalAnswerer answerer;
        QString shown;
        answerer.expect(save(press(Qt::Key_J), &shown));
        click(field("hotkey_next"));
        QCOMPARE(answerer.seen.size(), 1);
        QCOMPARE(answerer.seen.at(0).parent, f.dialog);
        QCOMPARE(shown, QStringLiteral("Right"));
        QCOMPARE(field("hotkey_next")->sequenceText(), QStringLiteral("J"));
        QCOMPARE(f.hotKeys()->hotKey(HotKeyManager::Next), QStringLiteral("J"));
        QCOMPARE(iniValue("key/8").toString(), QStringLiteral("J"));

        const int position = f.reader()->position();
        QTest::keyClick(f.window.get(), Qt::Key_J);
        QVERIFY(f.reader()->position() > position);
        QVERIFY(answerer.unexpected.isEmpty());
    }

    void aKeyHeldByTheOtherColumnIsRefused()
    {
        ModalAnswerer answerer;
        answerer.expect(save(press(Qt::Key_O, Qt::ControlModifier | Qt::ShiftModifier)));
        answerer.expectMessageBox(QMessageBox::Ok);
        click(field("hotkey_open"));
        QCOMPARE(answerer.seen.size(), 2);
        const SeenModal warning = answerer.seen.at(1);
        QCOMPARE(warning.className, QStringLiteral("QMessageBox"));
        QCOMPARE(warning.title, QStringLiteral("提示"));
        QCOMPARE(warning.text, QStringLiteral("此快捷键已被占用"));
        QCOMPARE(warning.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
        QCOMPARE(warning.parent, f.dialog);
        QCOMPARE(field("hotkey_open")->sequenceText(), QStringLiteral("O"));
        QCOMPARE(f.hotKeys()->hotKey(HotKeyManager::Open), QStringLiteral("O"));
        QVERIFY(!iniContains("key/1"));

        // And the other way round: a global field cannot take an in-app key.
        answerer.expect(save(press(Qt::Key_C)));
        answerer.expectMessageBox(QMessageBox::Ok);
        click(field("hotkey_find_g"));
        QCOMPARE(answerer.seen.size(), 4);
        QCOMPARE(field("hotkey_find_g")->sequenceText(), QStringLiteral("Ctrl+Shift+F"));
        QVERIFY(answerer.unexpected.isEmpty());
    }

    void theSameKeyAgainWritesNothing()
    {
        ModalAnswerer answerer;
        // The reader's own global grabs are let go while the dialog listens,
        // so that its chords reach the dialog instead of running commands.
        bool suspended = false;
        answerer.expect(
            save([&](CollectHotKeyDialog *, OneKeySequenceEdit *) { suspended = f.hotKeys()->isGlobalSuspended(); }));
        click(field("hotkey_open_g"));
        QVERIFY(suspended);
        QVERIFY(!f.hotKeys()->isGlobalSuspended());
        QVERIFY(!iniContains("key/101"));
        answerer.expect(save([](CollectHotKeyDialog *, OneKeySequenceEdit *) {}));
        click(field("hotkey_open"));
        QCOMPARE(answerer.seen.size(), 2); // no warning
        QCOMPARE(field("hotkey_open")->sequenceText(), QStringLiteral("O"));
        QVERIFY(!iniContains("key/1"));
    }

    void clearingLeavesTheActionWithoutKey()
    {
        ModalAnswerer answerer;
        answerer.expect(save([](CollectHotKeyDialog *dialog, OneKeySequenceEdit *) {
            dialog->findChild<QToolButton *>("btn_clean")->click();
        }));
        click(field("hotkey_find_g"));
        QCOMPARE(field("hotkey_find_g")->sequenceText(), QString());
        QCOMPARE(f.hotKeys()->hotKey(106), QString());
        QVERIFY(iniContains("key/106"));
        QCOMPARE(iniValue("key/106").toString(), QString());
        QVERIFY(answerer.unexpected.isEmpty());
    }

    void cancellingOrOtherButtonsChangeNothing()
    {
        ModalAnswerer answerer;
        answerer.expect([](QWidget *modal) {
            QTest::keyClick(modal->findChild<OneKeySequenceEdit *>("keySequenceEdit"), Qt::Key_K);
            modal->findChild<QPushButton *>("btn_cancel")->click();
        });
        click(field("hotkey_menu"));
        QCOMPARE(answerer.seen.size(), 1);
        click(field("hotkey_menu"), Qt::RightButton);
        click(field("hotkey_menu_g"), Qt::MiddleButton);
        QTest::qWait(20);
        QCOMPARE(answerer.seen.size(), 1);
        QCOMPARE(field("hotkey_menu")->sequenceText(), QStringLiteral("M"));
        QVERIFY(!iniContains("key/12"));
    }

    void aForeignFieldIsIgnored()
    {
        // The slot takes an untyped pointer; anything but one of its own fields is refused quietly.
        ModalAnswerer answerer;
        KeyLineLabel stranger;
        stranger.setHotKeyText(1, "Q");
        QVERIFY(QMetaObject::invokeMethod(f.dialog, "onClickedHotKey", Q_ARG(void *, &stranger)));
        QVERIFY(QMetaObject::invokeMethod(f.dialog, "onClickedHotKey", Q_ARG(void *, nullptr)));
        QTest::qWait(20);
        QVERIFY(answerer.seen.isEmpty());
        QCOMPARE(f.hotKeys()->hotKey(1), QStringLiteral("O"));
    }

    void mouseOptionsAreStored()
    {
        const struct
        {
            const char *box;
            const char *key;
            bool (ReaderConfig::*value)() const;
        } options[] = {
            {"cb_wheel_turn", "shortcut/wheelTurnPage", &ReaderConfig::wheelTurnPage},
            {"cb_click_next_page", "shortcut/clickNextPage", &ReaderConfig::clickNextPage},
            {"cb_double_click_hide", "shortcut/doublceClickHide", &ReaderConfig::doubleClickHide},
        };
        for (const auto &option : options) {
            QTest::mouseClick(f.child<QCheckBox>(option.box), Qt::LeftButton);
            QVERIFY((f.config()->*option.value)());
            QCOMPARE(iniValue(option.key).toBool(), true);
        }
        // The window follows: a click now turns the page.
        const int position = f.reader()->position();
        const QPoint middle = f.window->rect().center();
        QTest::mouseClick(f.window.get(), Qt::LeftButton, Qt::NoModifier, middle);
        QTRY_VERIFY(f.reader()->position() > position);
    }

    void resetRestoresEveryKeyAndTurnsTheMouseOptionsOff()
    {
        ModalAnswerer answerer;
        answerer.expect(save(press(Qt::Key_J)));
        click(field("hotkey_next"));
        answerer.expect(save([](CollectHotKeyDialog *dialog, OneKeySequenceEdit *) {
            dialog->findChild<QToolButton *>("btn_clean")->click();
        }));
        click(field("hotkey_help_g"));
        for (const char *box : {"cb_wheel_turn", "cb_click_next_page", "cb_double_click_hide"})
            QTest::mouseClick(f.child<QCheckBox>(box), Qt::LeftButton);
        QVERIFY(f.config()->doubleClickHide());

        answerer.expectMessageBox(QMessageBox::Cancel);
        QTest::mouseClick(f.child<QPushButton>("btn_reset_hotkey"), Qt::LeftButton);
        QCOMPARE(answerer.seen.last().text, QStringLiteral("确认重置所有快捷键？"));
        QCOMPARE(answerer.seen.last().title, QStringLiteral("提示"));
        QCOMPARE(answerer.seen.last().buttons, QMessageBox::Ok | QMessageBox::Cancel);
        QCOMPARE(field("hotkey_next")->sequenceText(), QStringLiteral("J"));
        QCOMPARE(f.hotKeys()->hotKey(114), QString());
        QVERIFY(f.config()->wheelTurnPage());
        QVERIFY(!iniContains("key/1"));

        answerer.expectMessageBox(QMessageBox::Ok);
        QTest::mouseClick(f.child<QPushButton>("btn_reset_hotkey"), Qt::LeftButton);
        checkDefaults();
        for (int id : HotKeyManager::actionIds())
            QCOMPARE(iniValue(QStringLiteral("key/%1").arg(id)).toString(), HotKeyManager::defaultHotKey(id));
        for (const char *box : {"cb_wheel_turn", "cb_click_next_page", "cb_double_click_hide"})
            QVERIFY(!f.child<QCheckBox>(box)->isChecked());
        QVERIFY(!f.config()->wheelTurnPage() && !f.config()->clickNextPage() && !f.config()->doubleClickHide());
        QCOMPARE(iniValue("shortcut/wheelTurnPage").toBool(), false);
        QCOMPARE(iniValue("shortcut/clickNextPage").toBool(), false);
        QCOMPARE(iniValue("shortcut/doublceClickHide").toBool(), false);
        QVERIFY(answerer.unexpected.isEmpty());
    }
};

QTEST_MAIN(TestPreferenceShortcuts)
#include "tst_preferencedialog_shortcuts.moc"
