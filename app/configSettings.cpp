#include "configSettings.h"

#include "sanitizeSettingsFile.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <memory>

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

namespace {

// The file as last read or written through the shared settings object.
struct FileStamp
{
    qint64 size = -1;
    qint64 modified = 0;
    bool operator!=(const FileStamp &other) const { return size != other.size || modified != other.modified; }
};

FileStamp stampOf(const QString &path)
{
    const QFileInfo info(path);
    return info.exists() ? FileStamp{info.size(), info.lastModified().toMSecsSinceEpoch()} : FileStamp();
}

struct SharedSettings
{
    QString path;
    std::unique_ptr<QSettings> settings;
    FileStamp stamp;
};

SharedSettings &shared()
{
    static SharedSettings instance;
    return instance;
}

// Hands back the shared object: each use ends by writing what it changed,
// so that every change is on disk at once.
void writeBack(QSettings *settings)
{
    settings->sync();
    shared().stamp = stampOf(settings->fileName());
}

} // namespace

QSharedPointer<QSettings> configSettings()
{
    const QString path =
        overridePath().isEmpty() ? settingsFilePath(QCoreApplication::applicationDirPath()) : overridePath();
    SharedSettings &cache = shared();
    // One object for the whole program: a write touches its key and does
    // not read the file again, unless another program changed it meanwhile.
    // Before QSettings reads it, a damaged value that would abort the reader
    // is taken out.
    if (cache.path != path || !cache.settings) {
        sanitizeSettingsFile(path);
        cache.settings.reset(new QSettings(path, QSettings::IniFormat));
        cache.settings->setIniCodec("UTF8");
        cache.path = path;
        cache.stamp = stampOf(path);
    } else if (stampOf(path) != cache.stamp) {
        sanitizeSettingsFile(path);
        cache.settings->sync();
        cache.stamp = stampOf(path);
    }
    return QSharedPointer<QSettings>(cache.settings.get(), writeBack);
}
