#include "KeyLineLabel.h"

#include <QLineEdit>
#include <QSignalSpy>
#include <QtTest>

class TestKeyLineLabel : public QObject
{
    Q_OBJECT

private slots:
    void showsTheActionsSequenceAndIgnoresTyping()
    {
        KeyLineLabel field;
        field.setHotKeyText(108, "Ctrl+Shift+Right");
        QCOMPARE(field.actionId(), 108);
        QCOMPARE(field.sequenceText(), QStringLiteral("Ctrl+Shift+Right"));
        QCOMPARE(field.findChild<QLineEdit *>()->text(), QStringLiteral("Ctrl+Shift+Right"));
        QTest::keyClick(&field, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(&field, Qt::Key_Backspace);
        QCOMPARE(field.sequenceText(), QStringLiteral("Ctrl+Shift+Right"));

        field.setHotKeyText(5, QString());
        QCOMPARE(field.sequenceText(), QString());
        QCOMPARE(field.findChild<QLineEdit *>()->text(), QString());
        field.setSequenceText("Ctrl+Shift+]");
        QCOMPARE(field.sequenceText(), QStringLiteral("Ctrl+Shift+]"));
        QCOMPARE(field.actionId(), 5);
    }

    void onlyALeftPressClicks()
    {
        KeyLineLabel field;
        field.show();
        QSignalSpy spy(&field, &KeyLineLabel::clicked);
        // The inner line edit is what the mouse hits.
        QLineEdit *lineEdit = field.findChild<QLineEdit *>();
        QTest::mouseClick(lineEdit, Qt::RightButton);
        QTest::mouseClick(lineEdit, Qt::MiddleButton);
        QCOMPARE(spy.count(), 0);
        QTest::mouseClick(lineEdit, Qt::LeftButton);
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy.at(0).at(0).value<void *>(), static_cast<void *>(&field));
    }
};

QTEST_MAIN(TestKeyLineLabel)
#include "tst_keylinelabel.moc"
