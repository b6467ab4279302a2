// Renders each tab of the preference dialog on a real X server into the build
// folder, so that the dialog can be looked at without starting the reader,
// and checks that no control is cut or covered by another.

#include "ColorButton.h"
#include "HotKeyManager.h"
#include "KeyLineLabel.h"
#include "PreferenceDialog.h"
#include "PreferenceTestSupport.h"
#include "ReaderConfig.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QSet>
#include <QSlider>
#include <QTabWidget>
#include <QtTest>

namespace {
bool isControl(QWidget *widget)
{
    return qobject_cast<QLabel *>(widget) || qobject_cast<QAbstractButton *>(widget) ||
           qobject_cast<QComboBox *>(widget) || qobject_cast<QSlider *>(widget) ||
           qobject_cast<KeyLineLabel *>(widget) || qobject_cast<ColorButton *>(widget);
}

QList<QWidget *> visibleControls(QWidget *page)
{
    QList<QWidget *> controls;
    for (QWidget *widget : page->findChildren<QWidget *>()) {
        if (widget->isVisible() && isControl(widget))
            controls.append(widget);
    }
    return controls;
}
} // namespace

class TestPreferenceDialogScreens : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QFile::remove(testIniPath());
        QVERIFY(QDir().mkpath(QStringLiteral(TAVRIL_SCREENSHOT_DIR)));
    }
    void cleanupTestCase() { QFile::remove(testIniPath()); }

    void eachTabIsDrawnWhole_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("name");
        QTest::newRow("general") << 0 << "normal";
        QTest::newRow("shortcuts") << 1 << "shortcut";
        QTest::newRow("about") << 2 << "about";
    }

    void eachTabIsDrawnWhole()
    {
        QFETCH(int, index);
        QFETCH(QString, name);
        ReaderConfig config;
        HotKeyManager hotKeys;
        PreferenceDialog dialog(&config, &hotKeys);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        auto *tabs = dialog.findChild<QTabWidget *>("tabWidget");
        // Pass through another tab so that the first one also gets its own size.
        tabs->setCurrentIndex((index + 1) % 3);
        tabs->setCurrentIndex(index);
        QTest::qWait(50);

        QWidget *page = tabs->currentWidget();
        const QList<QWidget *> controls = visibleControls(page);
        QVERIFY(controls.size() > 5);
        QRect pageRect(QPoint(0, 0), page->size());
        QList<QRect> placed;
        for (QWidget *control : controls) {
            const QRect rect(control->mapTo(page, QPoint(0, 0)), control->size());
            const QByteArray what = control->objectName().toLatin1();
            QVERIFY2(pageRect.contains(rect), what.constData());
            QVERIFY2(control->width() >= control->minimumSizeHint().width() &&
                         control->height() >= control->minimumSizeHint().height(),
                     what.constData());
            for (const QRect &other : qAsConst(placed))
                QVERIFY2(!rect.intersects(other), what.constData());
            placed.append(rect);
        }

        const QString path = QStringLiteral(TAVRIL_SCREENSHOT_DIR "/preference_%1.png").arg(name);
        QFile::remove(path);
        QVERIFY(dialog.grab().save(path));
        const QImage image(path);
        QCOMPARE(image.size(), dialog.size() * dialog.devicePixelRatioF());
        QSet<QRgb> colours;
        for (int y = 0; y < image.height(); y += 2) {
            for (int x = 0; x < image.width(); x += 2)
                colours.insert(image.pixel(x, y));
        }
        QVERIFY2(colours.size() > 16, "the picture is blank");
    }
};

QTEST_MAIN(TestPreferenceDialogScreens)
#include "tst_preferencedialog_screens.moc"
