#include "CollectHotKeyDialog.h"
#include "OneKeySequenceEdit.h"

#include <QPushButton>
#include <QToolButton>
#include <QtTest>

class TestCollectHotKeyDialog : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        dialog.reset(new CollectHotKeyDialog("Ctrl+Shift+O"));
        dialog->show();
        QVERIFY(QTest::qWaitForWindowActive(dialog.data()));
    }

    void theFormIsComplete()
    {
        QCOMPARE(dialog->windowTitle(), QStringLiteral("按键采集"));
        // The icon comes from the compiled-in resources; without them the button is blank.
        QVERIFY(!child<QToolButton>("btn_clean")->icon().isNull());
        QWidget *tabOrder[] = {editor(), child<QToolButton>("btn_clean"), child<QPushButton>("btn_cancel"),
                               child<QPushButton>("btn_save")};
        QCOMPARE(QApplication::focusWidget(), tabOrder[0]);
        for (int i = 0; i + 1 < 4; ++i)
            QCOMPARE(nextTabStop(tabOrder[i]), tabOrder[i + 1]);
    }

    void savingWithoutAKeyReturnsTheInitialSequence()
    {
        QCOMPARE(editor()->keySequence(), QKeySequence("Ctrl+Shift+O"));
        QTest::mouseClick(child<QPushButton>("btn_save"), Qt::LeftButton);
        QCOMPARE(dialog->result(), int(QDialog::Accepted));
        QCOMPARE(dialog->keySequence(), QKeySequence("Ctrl+Shift+O"));
    }

    void savesTheLastChordPressed()
    {
        QTest::keyClick(editor(), Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(editor(), Qt::Key_B);
        QTest::mouseClick(child<QPushButton>("btn_save"), Qt::LeftButton);
        QCOMPARE(dialog->keySequence(), QKeySequence("B"));
    }

    void clearThenSaveReturnsTheEmptySequence()
    {
        QTest::mouseClick(child<QToolButton>("btn_clean"), Qt::LeftButton);
        QVERIFY(dialog->isVisible());
        QTest::mouseClick(child<QPushButton>("btn_save"), Qt::LeftButton);
        QCOMPARE(dialog->result(), int(QDialog::Accepted));
        QVERIFY(dialog->keySequence().isEmpty());
    }

    void cancelKeepsTheInitialSequence()
    {
        QTest::keyClick(editor(), Qt::Key_B);
        QTest::mouseClick(child<QPushButton>("btn_cancel"), Qt::LeftButton);
        QCOMPARE(dialog->result(), int(QDialog::Rejected));
        QCOMPARE(dialog->keySequence(), QKeySequence("Ctrl+Shift+O"));
    }

    void escapeAndEnterAreRecordedAndDoNotClose()
    {
        QTest::keyClick(editor(), Qt::Key_Escape);
        QVERIFY(dialog->isVisible());
        QCOMPARE(editor()->keySequence(), QKeySequence(Qt::Key_Escape));
        QTest::keyClick(editor(), Qt::Key_Return);
        QVERIFY(dialog->isVisible());
        QCOMPARE(editor()->keySequence(), QKeySequence(Qt::Key_Return));
    }

private:
    template <typename T> T *child(const char *name) const { return dialog->findChild<T *>(QLatin1String(name)); }
    OneKeySequenceEdit *editor() const { return child<OneKeySequenceEdit>("keySequenceEdit"); }

    static QWidget *nextTabStop(QWidget *widget)
    {
        // The chain also holds the label and the editor's inner line edit, which Tab skips.
        QWidget *next = widget->nextInFocusChain();
        while (next != widget && (!(next->focusPolicy() & Qt::TabFocus) || next->focusProxy()))
            next = next->nextInFocusChain();
        return next;
    }

    QScopedPointer<CollectHotKeyDialog> dialog;
};

QTEST_MAIN(TestCollectHotKeyDialog)
#include "tst_collecthotkeydialog.moc"
