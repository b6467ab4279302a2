#pragma once

#include <QSettings>
#include <QSharedPointer>
#include <QString>

/// The program's settings on its ini file. Every reader and writer takes it
/// and lets it go: what it changed is then written, and changes another
/// program made to the file are read before it is handed out again. One
/// object for the whole program (GUI thread only).
QSharedPointer<QSettings> configSettings();

/// Where the ini file lives for an executable in @p appDir: beside it when
/// that folder already holds the file, or is writable and not an installed
/// copy's (a portable copy keeps its settings with it); otherwise in the
/// user's configuration folder.
QString settingsFilePath(const QString &appDir);

/// Points configSettings() at another file for the rest of the process, for
/// tools that must leave the reader's own settings alone. Empty: the default.
void overrideSettingsFile(const QString &path);
