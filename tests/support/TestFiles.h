#pragma once

// Files as the tests write and read them, and the settings file beside the test.

#include <QtCore>

// Writes `bytes` whole, or stops the run: every check after it builds on the file.
inline QString writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

// The bytes of the file; empty when it cannot be read.
inline QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The ini file the reader's settings go to while a test runs: beside the executable.
inline QString iniPath()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/tavrilconfig.ini");
}

// A value as the ini file holds it now, read through a settings object of the test's own.
inline QVariant iniValue(const QString &key)
{
    QSettings settings(iniPath(), QSettings::IniFormat);
    settings.setIniCodec("UTF8");
    return settings.value(key);
}

// Stores `values` in the ini file at `path`.
inline void storeSettings(const QString &path, const QVariantMap &values)
{
    QSettings ini(path, QSettings::IniFormat);
    for (auto it = values.begin(); it != values.end(); ++it)
        ini.setValue(it.key(), it.value());
}
