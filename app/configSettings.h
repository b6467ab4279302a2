#pragma once

#include <QSettings>
#include <QSharedPointer>
#include <QString>

/// A new QSettings on the program's ini file; every reader and writer takes
/// its own and lets it go, so each sees the others' writes.
QSharedPointer<QSettings> configSettings();

/// Where the ini file lives for an executable in @p appDir: beside it when
/// that folder already holds the file, or is writable and not an installed
/// copy's (a portable copy keeps its settings with it); otherwise in the
/// user's configuration folder.
QString settingsFilePath(const QString &appDir);

/// Points configSettings() at another file for the rest of the process, for
/// tools that must leave the reader's own settings alone. Empty: the default.
void overrideSettingsFile(const QString &path);
