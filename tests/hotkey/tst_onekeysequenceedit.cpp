#include "OneKeySequenceEdit.h"

#include <QtTest>

class TestOneKeySequenceEdit : public QObject
{
    Q_OBJECT

private slots:
    void init() { edit.reset(new OneKeySequenceEdit); }

    void eachChordReplacesThePreviousOne()
    {
        QTest::keyClick(edit.data(), Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(text(), QStringLiteral("Ctrl+A"));
        QTest::keyClick(edit.data(), Qt::Key_B);
        QCOMPARE(text(), QStringLiteral("B"));
        QCOMPARE(edit->keySequence().count(), 1);
    }

    void aModifierAloneEmptiesAndHeldItCombines()
    {
        edit->setSequenceText("Ctrl+Shift+O");
        QTest::keyPress(edit.data(), Qt::Key_Control, Qt::ControlModifier);
        QVERIFY(edit->keySequence().isEmpty());
        QTest::keyClick(edit.data(), Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(text(), QStringLiteral("Ctrl+A"));
    }

    void backspaceClearsWhateverTheModifiers()
    {
        for (Qt::KeyboardModifiers modifiers : {Qt::KeyboardModifiers(), Qt::KeyboardModifiers(Qt::ControlModifier),
                                                Qt::ControlModifier | Qt::ShiftModifier}) {
            edit->setSequenceText("Ctrl+Shift+O");
            QTest::keyClick(edit.data(), Qt::Key_Backspace, modifiers);
            QVERIFY(edit->keySequence().isEmpty());
        }
        QTest::keyClick(edit.data(), Qt::Key_F5);
        QCOMPARE(text(), QStringLiteral("F5"));
    }

    void keysThatMakeNoChordLeaveItEmpty()
    {
        // The comma's text is cut at the comma; what is left names no key.
        QTest::keyClick(edit.data(), Qt::Key_Comma, Qt::ControlModifier);
        QVERIFY(edit->keySequence().isEmpty());
        edit->setSequenceText("garbage");
        QVERIFY(edit->keySequence().isEmpty());
        edit->setSequenceText("Ctrl+A, B");
        QCOMPARE(text(), QStringLiteral("Ctrl+A"));
        edit->setSequenceText(QString());
        QVERIFY(edit->keySequence().isEmpty());
    }

private:
    QString text() const { return edit->keySequence().toString(QKeySequence::PortableText); }

    QScopedPointer<OneKeySequenceEdit> edit;
};

QTEST_MAIN(TestOneKeySequenceEdit)
#include "tst_onekeysequenceedit.moc"
