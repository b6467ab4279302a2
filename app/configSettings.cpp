#include "configSettings.h"

#include "sanitizeSettingsFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace {
const char kFileName[] = "tavrilconfig.ini";

QString &overridePath()
{
    static QString path;
    return path;
}
} // namespace

void overrideSettingsFile(const QString &path)
{
    overridePath() = path;
}

QString settingsFilePath(const QString &appDir)
{
    const QString beside = appDir + QLatin1Char('/') + QLatin1String(kFileName);
    const QFileInfo folder(appDir);
    // An installed copy (its data beside it in ../share/tavril) keeps the
    // settings of each user apart, even when run by root.
    const bool installed = QFileInfo::exists(appDir + QStringLiteral("/../share/tavril"));
    if (QFileInfo::exists(beside) || (!installed && folder.isDir() && folder.isWritable()))
        return beside;
    // A copy that cannot write beside itself (say under /usr/bin) would
    // otherwise lose every setting without a word.
    const QString userFolder =
        QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QLatin1String("/tavril");
    QDir().mkpath(userFolder);
    return userFolder + QLatin1Char('/') + QLatin1String(kFileName);
}

QSharedPointer<QSettings> configSettings()
{
    const QString path =
        overridePath().isEmpty() ? settingsFilePath(QCoreApplication::applicationDirPath()) : overridePath();
    // Before QSettings reads it: a damaged value would abort the reader.
    sanitizeSettingsFile(path);
    auto settings = QSharedPointer<QSettings>::create(path, QSettings::IniFormat);
    settings->setIniCodec("UTF8");
    return settings;
}
