#include "ColorButton.h"
#include "PreferenceTestSupport.h"

#include <QColorDialog>
#include <QSignalSpy>
#include <QtTest>

class TestColorButton : public QObject
{
    Q_OBJECT

private:
    static QColor centre(QWidget *widget)
    {
        return widget->grab().toImage().pixelColor(widget->width() / 2, widget->height() / 2);
    }

    // Picks @p color in the colour dialog that comes next, remembering what it preselected.
    static ModalAnswerer::Answer pick(const QColor &color, QColor *preselected)
    {
        return [color, preselected](QWidget *modal) {
            auto *dialog = qobject_cast<QColorDialog *>(modal);
            if (!dialog)
                return ModalAnswerer::closeModal(modal);
            *preselected = dialog->currentColor();
            dialog->setCurrentColor(color);
            dialog->accept();
        };
    }

private slots:
    void showsItsColourAndSettingItEmitsNothing()
    {
        ColorButton button;
        button.resize(20, 20);
        QSignalSpy selected(&button, &ColorButton::colorSelected);
        QCOMPARE(button.color(), QColor(Qt::black));
        QCOMPARE(centre(&button), QColor(Qt::black));
        button.setColor(QColor(200, 30, 40));
        QCOMPARE(centre(&button), QColor(200, 30, 40));
        QCOMPARE(selected.count(), 0);
    }

    void aLeftPressPicksAColourWithTheCurrentOnePreselected()
    {
        ColorButton button;
        button.setColor(Qt::blue);
        button.show();
        QSignalSpy selected(&button, &ColorButton::colorSelected);
        ModalAnswerer answerer;
        QColor preselected;
        answerer.expect(pick(Qt::green, &preselected));
        QTest::mouseClick(&button, Qt::LeftButton);
        QCOMPARE(preselected, QColor(Qt::blue));
        QCOMPARE(button.color(), QColor(Qt::green));
        QCOMPARE(centre(&button), QColor(Qt::green));
        QCOMPARE(selected.count(), 1);
        QCOMPARE(selected.at(0).at(0).value<QColor>(), QColor(Qt::green));
        // Parented, so that it opens above a reading window kept on top.
        QCOMPARE(answerer.seen.at(0).parent, button.window());

        // Confirming the colour already shown still counts as a choice.
        answerer.expect(pick(Qt::green, &preselected));
        QTest::mouseClick(&button, Qt::LeftButton);
        QCOMPARE(selected.count(), 2);
        QVERIFY(answerer.unexpected.isEmpty());
    }

    void cancellingChangesNothing()
    {
        ColorButton button;
        button.setColor(Qt::red);
        button.show();
        QSignalSpy selected(&button, &ColorButton::colorSelected);
        ModalAnswerer answerer;
        answerer.expectReject();
        QTest::mouseClick(&button, Qt::LeftButton);
        QCOMPARE(answerer.pending(), 0);
        QCOMPARE(button.color(), QColor(Qt::red));
        QCOMPARE(selected.count(), 0);
    }

    void otherButtonsOpenNothing()
    {
        ColorButton button;
        button.show();
        QSignalSpy clicked(&button, &ColorButton::clicked);
        ModalAnswerer answerer;
        QTest::mouseClick(&button, Qt::RightButton);
        QTest::mouseClick(&button, Qt::MiddleButton);
        QTest::qWait(20);
        QCOMPARE(clicked.count(), 0);
        QVERIFY(answerer.seen.isEmpty());
    }
};

QTEST_MAIN(TestColorButton)
#include "tst_colorbutton.moc"
