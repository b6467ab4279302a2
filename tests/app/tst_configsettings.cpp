#include "configSettings.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <unistd.h>

class TestConfigSettings : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        iniPath = QCoreApplication::applicationDirPath() + QStringLiteral("/tavrilconfig.ini");
    }
    void init() { QFile::remove(iniPath); }
    void cleanupTestCase() { QFile::remove(iniPath); }

    void writesBesideTheExecutableAndEachInstanceSeesTheOthers()
    {
        configSettings()->setValue(QStringLiteral("window/isTop"), true);
        QVERIFY(QFile::exists(iniPath));
        QCOMPARE(configSettings()->value(QStringLiteral("window/isTop")).toBool(), true);
        QCOMPARE(configSettings()->format(), QSettings::IniFormat);
    }

    void storesChineseAsUtf8()
    {
        configSettings()->setValue(QStringLiteral("fileHistory"), QStringList{QStringLiteral("/书/三国.txt")});
        QFile file(iniPath);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(file.readAll().contains(QStringLiteral("三国").toUtf8()));
        QCOMPARE(configSettings()->value(QStringLiteral("fileHistory")).toStringList().value(0),
                 QStringLiteral("/书/三国.txt"));
    }

    void prefersAWritableExecutableFolder()
    {
        QTemporaryDir dir;
        QCOMPARE(settingsFilePath(dir.path()), dir.path() + QStringLiteral("/tavrilconfig.ini"));
    }

    void fallsBackToTheUserFolderWhenTheExecutableFolderCannotBeWritten()
    {
        const QString missing = QStringLiteral("/nonexistent-tavril-folder/bin");
        const QString path = settingsFilePath(missing);
        QVERIFY(!path.startsWith(missing));
        QVERIFY(path.endsWith(QStringLiteral("/tavril/tavrilconfig.ini")));
        QVERIFY(path.startsWith(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)));
        QVERIFY(QDir(QFileInfo(path).absolutePath()).exists());
    }

    void anInstalledCopyUsesTheUserFolder()
    {
        QTemporaryDir prefix;
        QDir(prefix.path()).mkpath(QStringLiteral("bin"));
        QDir(prefix.path()).mkpath(QStringLiteral("share/tavril/translations"));
        const QString bin = prefix.filePath(QStringLiteral("bin"));
        QVERIFY(settingsFilePath(bin).endsWith(QStringLiteral("/tavril/tavrilconfig.ini")));
        QVERIFY(!settingsFilePath(bin).startsWith(bin));
        QFile ini(bin + QStringLiteral("/tavrilconfig.ini")); // unless the user put one there
        QVERIFY(ini.open(QIODevice::WriteOnly));
        ini.close();
        QCOMPARE(settingsFilePath(bin), ini.fileName());
    }

    void keepsAnExistingFileInAReadOnlyFolder()
    {
        if (geteuid() == 0)
            QSKIP("root writes to read-only folders; needs an ordinary user");
        QTemporaryDir dir;
        QFile ini(dir.path() + QStringLiteral("/tavrilconfig.ini"));
        QVERIFY(ini.open(QIODevice::WriteOnly));
        ini.close();
        QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        const QString path = settingsFilePath(dir.path());
        QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        QCOMPARE(path, ini.fileName());
    }

private:
    QString iniPath;
};

QTEST_GUILESS_MAIN(TestConfigSettings)
#include "tst_configsettings.moc"
