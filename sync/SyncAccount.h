#pragma once

#include "SyncPassword.h"
#include "SyncStore.h"

#include <QObject>

#include <memory>

class ReaderConfig;

/// Where sync goes as the settings say: a folder another program syncs
/// (sync/localFolder set) or a WebDAV server (sync/url, sync/folder,
/// sync/user and the password), and this machine's id and name.
class SyncAccount : public QObject
{
    Q_OBJECT

public:
    explicit SyncAccount(ReaderConfig *config, QObject *parent = nullptr);
    ~SyncAccount() override;

    bool isEnabled() const;
    /// Made on first use and kept in the settings.
    QString deviceId();
    QString deviceName() const;
    SyncPassword *password() { return &password_; }
    /// Keeps `password` for the address and user set now.
    void setPassword(const QString &password);
    void setTimeouts(int transferMs, int keychainMs);

    /// The store as the settings are now, made on first use. Null when it
    /// cannot be used (`problem` and `why` say why), or while the password
    /// is still being read (`problem` NoProblem; passwordReady() follows).
    SyncStore *store(SyncStore::Problem *problem, QString *why);
    /// The next store() makes a new one; requests under way are dropped.
    void reset();

signals:
    void passwordReady();
    /// No password is known for the account and none can be read: the user
    /// should be asked, once a run (setPassword() with the answer).
    void passwordWanted();
    /// The store went with the requests under way: they will not answer.
    void storeDropped();

private:
    QString setting(const char *key) const;

    ReaderConfig *config;
    SyncPassword password_;
    std::unique_ptr<SyncStore> store_;
    int transfer = 15000;
    bool askedForPassword = false;
};
