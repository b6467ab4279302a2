#include "SyncPassword.h"

#include <QTimer>

#include <qt5keychain/keychain.h>

namespace {

const QString kService = QStringLiteral("tavril");

QString fromEnvironment(bool *set)
{
    *set = qEnvironmentVariableIsSet("TAVRIL_SYNC_PASSWORD");
    return qEnvironmentVariable("TAVRIL_SYNC_PASSWORD");
}

} // namespace

SyncPassword::SyncPassword(QObject *parent) : QObject(parent) {}

QString SyncPassword::keyOf(const QString &url, const QString &user)
{
    return QStringLiteral("webdav:%1:%2").arg(url, user);
}

void SyncPassword::settle(State state, const QString &value)
{
    state_ = state;
    value_ = value;
    emit ready();
}

void SyncPassword::load(const QString &url, const QString &user)
{
    const QString key = keyOf(url, user);
    if (key == account && state_ != Unknown)
        return;
    account = key;
    const quint64 mine = ++generation;
    bool set = false;
    const QString overriding = fromEnvironment(&set);
    if (set) {
        state_ = Known;
        value_ = overriding;
        return;
    }
    state_ = Loading;
    value_.clear();
    auto *job = new QKeychain::ReadPasswordJob(kService, this);
    job->setKey(key);
    connect(job, &QKeychain::Job::finished, this, [this, mine](QKeychain::Job *done) {
        if (mine != generation)
            return;
        ++generation;
        const QString text = static_cast<QKeychain::ReadPasswordJob *>(done)->textData();
        if (done->error() == QKeychain::NoError)
            settle(Known, text);
        else
            settle(done->error() == QKeychain::EntryNotFound ? Missing : MemoryOnly, QString());
    });
    QTimer::singleShot(timeout, this, [this, mine] {
        if (mine != generation)
            return;
        ++generation;
        settle(MemoryOnly, QString());
    });
    job->start();
}

void SyncPassword::store(const QString &url, const QString &user, const QString &password)
{
    account = keyOf(url, user);
    const quint64 mine = ++generation;
    state_ = Known;
    value_ = password;
    auto *job = new QKeychain::WritePasswordJob(kService, this);
    job->setKey(account);
    job->setTextData(password);
    connect(job, &QKeychain::Job::finished, this, [this, mine](QKeychain::Job *done) {
        if (mine != generation)
            return;
        ++generation;
        if (done->error() != QKeychain::NoError)
            state_ = MemoryOnly;
        emit stored(done->error() == QKeychain::NoError);
    });
    QTimer::singleShot(timeout, this, [this, mine] {
        if (mine != generation)
            return;
        ++generation;
        state_ = MemoryOnly;
        emit stored(false);
    });
    job->start();
}
