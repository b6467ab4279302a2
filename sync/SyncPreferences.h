#pragma once

#include <QScopedPointer>
#include <QWidget>
#include <functional>

class PlaceSync;
class ReaderConfig;

namespace Ui {
class SyncPreferences;
}

/// The 同步 page of the preferences: on or off, the WebDAV address, user,
/// password and folder, plain http, or a synced folder instead, and 立即同步
/// with its result. Every edit is stored at once; the password goes to the
/// system's keychain (the page says when it can only be kept for this run).
class SyncPreferences : public QWidget
{
    Q_OBJECT

public:
    SyncPreferences(ReaderConfig *config, PlaceSync *sync, QWidget *parent = nullptr);
    ~SyncPreferences() override;
    /// How a folder is chosen (the window's way of asking); a folder
    /// dialog when not set.
    void setFolderChooser(std::function<QString(QWidget *, const QString &, const QString &)> chooser)
    {
        folderChooser = std::move(chooser);
    }

private:
    std::function<QString(QWidget *, const QString &, const QString &)> folderChooser;
    void load();
    void connectEdits();
    void store(const char *key, const QVariant &value);
    void storePassword();
    void showPasswordState();
    void showInsecureWarning();
    void chooseFolder();
    void syncNow();

    ReaderConfig *config;
    PlaceSync *sync;
    QScopedPointer<Ui::SyncPreferences> ui;
    bool passwordEdited = false;
};
