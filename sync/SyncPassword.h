#pragma once

#include <QObject>
#include <QString>

/// The password of the sync account, kept in the system's keychain (under
/// the service "tavril", one entry per address and user) and never in the
/// settings file. TAVRIL_SYNC_PASSWORD overrides it (scripts, tests). A
/// keychain that fails or does not answer in time counts as unavailable:
/// a password entered then is kept in memory for this run only.
class SyncPassword : public QObject
{
    Q_OBJECT

public:
    enum State { Unknown, Loading, Known, Missing, MemoryOnly };
    Q_ENUM(State)

    explicit SyncPassword(QObject *parent = nullptr);

    State state() const { return state_; }
    QString value() const { return value_; }
    /// Starts reading the password of `url` and `user`: known at once from
    /// the environment, else Loading until ready() (known, missing or
    /// unavailable). The same account again does nothing.
    void load(const QString &url, const QString &user);
    /// Keeps `password` at once and stores it in the keychain; stored()
    /// tells whether that worked (else it lives in memory only).
    void store(const QString &url, const QString &user, const QString &password);
    /// How long a keychain job may take (ms): one waiting for an unlock
    /// prompt nobody answers would otherwise wait forever.
    void setTimeout(int ms) { timeout = ms; }

signals:
    void ready();
    void stored(bool inKeychain);

private:
    static QString keyOf(const QString &url, const QString &user);
    void settle(State state, const QString &value);

    State state_ = Unknown;
    QString value_;
    QString account;
    int timeout = 10000;
    quint64 generation = 0; // answers of jobs given up on are ignored
};
