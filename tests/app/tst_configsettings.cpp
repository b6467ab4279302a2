#include "configSettings.h"

#include <QCoreApplication>
#include <QDir>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <unistd.h>

class TestConfigSettings : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    // Beside the executable when it is there or the folder is a writable,
    // portable one (in UTF-8); else in the user's folder, made when missing.
    void location()
    {
        QFile ini(QCoreApplication::applicationDirPath() + QStringLiteral("/tavrilconfig.ini"));
        ini.remove();
        configSettings()->setValue(QStringLiteral("fileHistory"), QStringList{QStringLiteral("/书/三国.txt")});
        QCOMPARE(configSettings()->value(QStringLiteral("fileHistory")).toStringList(),
                 QStringList{QStringLiteral("/书/三国.txt")});
        QVERIFY(ini.open(QIODevice::ReadOnly));
        QVERIFY(ini.readAll().contains(QStringLiteral("三国").toUtf8()));
        ini.remove();
        const QString user =
            QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + "/tavril/tavrilconfig.ini";
        QDir(QFileInfo(user).absolutePath()).removeRecursively();
        QTemporaryDir portable;
        QCOMPARE(settingsFilePath(portable.path()), portable.filePath("tavrilconfig.ini"));
        QCOMPARE(settingsFilePath("/nonexistent-tavril-folder/bin"), user);
        QVERIFY(QFileInfo(user).absoluteDir().exists());
        QTemporaryDir installed; // its data in ../share/tavril: each user's settings apart
        QVERIFY(QDir(installed.path()).mkpath("bin") && QDir(installed.path()).mkpath("share/tavril"));
        const QString bin = installed.filePath("bin");
        QCOMPARE(settingsFilePath(bin), user);
        QVERIFY(QFile(bin + "/tavrilconfig.ini").open(QIODevice::WriteOnly)); // unless the user put one there
        QCOMPARE(settingsFilePath(bin), bin + "/tavrilconfig.ini");
        if (geteuid() == 0)
            QSKIP("root writes to read-only folders: the rest needs an ordinary user");
        QFile::setPermissions(portable.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        QCOMPARE(settingsFilePath(portable.path()), user);
        QFile::setPermissions(bin, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        QCOMPARE(settingsFilePath(bin), bin + "/tavrilconfig.ini"); // an existing file, even there
        QFile::setPermissions(bin, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }
};

QTEST_GUILESS_MAIN(TestConfigSettings)
#include "tst_configsettings.moc"
