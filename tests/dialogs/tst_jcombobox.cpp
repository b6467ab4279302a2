#include "JComboBox.h"
#include "PreferenceTestSupport.h"

#include <QAbstractItemView>
#include <QSignalSpy>
#include <QtTest>

class TestJComboBox : public QObject
{
    Q_OBJECT

private slots:
    void aLeftPressClicksInsteadOfOpeningTheList()
    {
        JComboBox combo;
        combo.addItems({"宋体", "黑体"});
        combo.show();
        QVERIFY(QTest::qWaitForWindowExposed(&combo));
        QSignalSpy clicked(&combo, &JComboBox::clicked);
        ModalAnswerer answerer;
        QTest::mouseClick(&combo, Qt::LeftButton);
        QCOMPARE(clicked.count(), 1);
        QTest::qWait(20);
        QVERIFY(!combo.view()->isVisible());
        QCOMPARE(combo.currentIndex(), 0);

        QTest::mouseClick(&combo, Qt::RightButton);
        QTest::mouseClick(&combo, Qt::MiddleButton);
        QCOMPARE(clicked.count(), 1);
        QVERIFY(answerer.seen.isEmpty());
    }

    void theKeyboardStillChoosesEntries()
    {
        JComboBox combo;
        combo.addItems({"宋体", "黑体"});
        combo.show();
        QSignalSpy activated(&combo, &QComboBox::textActivated);
        QTest::keyClick(&combo, Qt::Key_Down);
        QCOMPARE(combo.currentText(), QStringLiteral("黑体"));
        QCOMPARE(activated.count(), 1);
    }
};

QTEST_MAIN(TestJComboBox)
#include "tst_jcombobox.moc"
