#pragma once

#include "SyncStore.h"

#include <QFutureWatcher>

/// The records in a folder that another program keeps in step between
/// machines (Syncthing, a Nextcloud client, a network share):
/// <folder>/<book>/<machine>.json. Whatever else ends in .json there is
/// read as a record too, so the conflict copies such programs leave
/// ("x.sync-conflict-….json", "x (conflicted copy …).json") join the merge.
/// All file work runs on the thread pool: a share may be slow or gone.
class FolderStore : public SyncStore
{
    Q_OBJECT

public:
    explicit FolderStore(const QString &folder, QObject *parent = nullptr);
    ~FolderStore() override;

    void list(const QString &book, const QString &ownName, const QHash<QString, QByteArray> &known,
              const Listed &done) override;
    /// Atomic: a machine reading at the same time sees the old file or the new.
    void put(const QString &book, const QString &name, const QByteArray &bytes, const Done &done) override;
    void probe(const Done &done) override;

private:
    static Listing listIn(const QString &root, const QString &book, const QString &ownName,
                          const QHash<QString, QByteArray> &known);
    static Listing write(const QString &root, const QString &book, const QString &name, const QByteArray &bytes);
    static Listing check(const QString &root);
    void run(const std::function<Listing()> &work, const Listed &done);

    QString root;
};
