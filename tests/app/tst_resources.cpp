#include "installTranslators.h"

#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QtEndian>
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

    void picturesLoad_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<int>("size");
        QTest::newRow("launcher") << ":/ico/res/launcher.ico" << 0;
        QTest::newRow("launcher_48") << ":/ico/res/launcher_48.ico" << 48;
        QTest::newRow("setting") << ":/ico/res/setting.png" << 32;
        QTest::newRow("revert") << ":/ico/res/revert.png" << 32;
        QTest::newRow("revert_click") << ":/ico/res/revert_click.png" << 32;
        QTest::newRow("delete") << ":/ico/res/delete.png" << 24;
    }
    void picturesLoad()
    {
        QFETCH(QString, path);
        QFETCH(int, size);
        const QImage image(path);
        QVERIFY2(!image.isNull(), qPrintable(path));
        if (size > 0)
            QCOMPARE(image.size(), QSize(size, size));
        // Something is drawn: neither empty nor a filled square.
        int opaque = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x)
                opaque += qAlpha(image.pixel(x, y)) > 128;
        }
        QVERIFY(opaque > image.width() * image.height() / 10);
        QVERIFY(opaque < image.width() * image.height());
    }

    void revertButtonsDiffer() { QVERIFY(QImage(":/ico/res/revert.png") != QImage(":/ico/res/revert_click.png")); }

    void icnsHoldsPngImages()
    {
        QFile file(":/ico/res/launcher.icns");
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        QCOMPARE(bytes.left(4), QByteArray("icns"));
        QCOMPARE(int(qFromBigEndian<quint32>(bytes.constData() + 4)), bytes.size());
        int at = 8;
        int images = 0;
        while (at + 8 <= bytes.size()) {
            const int length = int(qFromBigEndian<quint32>(bytes.constData() + at + 4));
            QVERIFY(length > 8 && at + length <= bytes.size());
            QVERIFY(!QImage::fromData(bytes.mid(at + 8, length - 8), "PNG").isNull());
            at += length;
            ++images;
        }
        QCOMPARE(at, bytes.size());
        QVERIFY(images >= 2);
    }
};

QTEST_MAIN(TestResources)
#include "tst_resources.moc"
