#include "SyncAccount.h"

#include "FolderStore.h"
#include "ReaderConfig.h"
#include "WebDavStore.h"

#include <QUuid>

SyncAccount::SyncAccount(ReaderConfig *config, QObject *parent) : QObject(parent), config(config)
{
    connect(&password_, &SyncPassword::ready, this, &SyncAccount::passwordReady);
}

// The store goes first: its requests must not answer into what owns it.
SyncAccount::~SyncAccount()
{
    blockSignals(true);
    store_.reset();
}

QString SyncAccount::setting(const char *key) const
{
    return config->value(QLatin1String(key)).toString().trimmed();
}

bool SyncAccount::isEnabled() const
{
    return config->value(QStringLiteral("sync/enabled")).toBool();
}

QString SyncAccount::deviceId()
{
    const QString stored = setting("sync/deviceId");
    if (!QUuid(stored).isNull())
        return stored;
    const QString made = QUuid::createUuid().toString(QUuid::WithoutBraces);
    config->setValue(QStringLiteral("sync/deviceId"), made);
    return made;
}

QString SyncAccount::deviceName() const
{
    return setting("sync/deviceName");
}

void SyncAccount::setPassword(const QString &password)
{
    password_.store(setting("sync/url"), setting("sync/user"), password);
    reset();
    emit passwordReady();
}

void SyncAccount::setTimeouts(int transferMs, int keychainMs)
{
    transfer = transferMs;
    password_.setTimeout(keychainMs);
    reset();
}

void SyncAccount::reset()
{
    if (!store_)
        return;
    store_.reset();
    emit storeDropped();
}

SyncStore *SyncAccount::store(SyncStore::Problem *problem, QString *why)
{
    *problem = SyncStore::NoProblem;
    why->clear();
    if (store_)
        return store_.get();
    const QString folder = setting("sync/localFolder");
    if (!folder.isEmpty()) {
        store_.reset(new FolderStore(folder));
        return store_.get();
    }
    const QString address = setting("sync/url");
    const QUrl url(address, QUrl::StrictMode);
    *problem = WebDavStore::checkAddress(url, config->value(QStringLiteral("sync/allowInsecure")).toBool(), why);
    if (*problem != SyncStore::NoProblem)
        return nullptr;
    password_.load(address, setting("sync/user"));
    if (password_.state() == SyncPassword::Loading)
        return nullptr;
    // Nothing in the keychain, or no keychain: asked for once a run, and
    // nothing is sent without an answer.
    const bool unknown = password_.state() == SyncPassword::Missing ||
                         (password_.state() == SyncPassword::MemoryOnly && password_.value().isEmpty());
    if (unknown && !setting("sync/user").isEmpty()) {
        if (!std::exchange(askedForPassword, true))
            emit passwordWanted();
        return nullptr;
    }
    const WebDavStore::Account account{url, setting("sync/folder"), setting("sync/user"), password_.value()};
    store_.reset(new WebDavStore(account, transfer));
    return store_.get();
}
