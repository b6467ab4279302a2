#include "installTranslators.h"

#include <QGuiApplication>
#include <QImage>
#include <QtTest>

class TestResources : public QObject
{
    Q_OBJECT

private slots:
    // The reader's message boxes and pickers carry Qt's own texts too.
    void qtsOwnTextsAreChinese()
    {
        QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("Cancel"));
        installTranslators(QCoreApplication::instance());
        QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("取消"));
    }

    // Each picture loads at its size, neither empty nor a filled square.
    void picturesLoad()
    {
        const QList<QPair<QString, int>> pictures = {{"launcher.ico", 0}, {"launcher_48.ico", 48},  {"setting.png", 32},
                                                     {"revert.png", 32},  {"revert_click.png", 32}, {"delete.png", 24}};
        for (const auto &picture : pictures) {
            const QImage image(QStringLiteral(":/ico/res/") + picture.first);
            QVERIFY2(!image.isNull(), qPrintable(picture.first));
            QVERIFY(picture.second == 0 || image.size() == QSize(picture.second, picture.second));
            const QImage alpha = image.convertToFormat(QImage::Format_Alpha8);
            const auto opaque = std::count_if(alpha.constBits(), alpha.constBits() + alpha.sizeInBytes(),
                                              [](uchar a) { return a > 128; });
            QVERIFY(opaque > image.width() * image.height() / 10 && opaque < image.width() * image.height());
        }
    }
};

QTEST_MAIN(TestResources)
#include "tst_resources.moc"
