#include "FolderStore.h"

#include "SyncRecord.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <QtConcurrent>

namespace {

const int kMostRecords = 64;

QByteArray tagOf(const QFileInfo &info)
{
    return QByteArray::number(info.size()) + '-' + QByteArray::number(info.lastModified().toMSecsSinceEpoch());
}

SyncStore::Listing failure(SyncStore::Problem problem, const QString &detail)
{
    SyncStore::Listing listing;
    listing.problem = problem;
    listing.detail = detail;
    return listing;
}

} // namespace

FolderStore::FolderStore(const QString &folder, QObject *parent) : SyncStore(parent), root(folder) {}

// Work already on the pool finishes there; its answer goes nowhere.
FolderStore::~FolderStore() = default;

void FolderStore::run(const std::function<Listing()> &work, const Listed &done)
{
    auto *watcher = new QFutureWatcher<Listing>(this);
    connect(watcher, &QFutureWatcher<Listing>::finished, this, [watcher, done] {
        watcher->deleteLater();
        done(watcher->result());
    });
    watcher->setFuture(QtConcurrent::run(work));
}

// An unmounted share must not be taken for an empty one, nor be made anew.
SyncStore::Listing FolderStore::check(const QString &root)
{
    if (root.trimmed().isEmpty())
        return failure(NotSet, QString());
    if (!QFileInfo(root).isDir())
        return failure(Folder, tr("%1 不存在").arg(QDir::toNativeSeparators(root)));
    return Listing();
}

SyncStore::Listing FolderStore::listIn(const QString &root, const QString &book, const QString &ownName,
                                       const QHash<QString, QByteArray> &known)
{
    Listing listing = check(root);
    if (listing.problem != NoProblem)
        return listing;
    const QDir folder(root + QLatin1Char('/') + book);
    const QFileInfoList entries =
        folder.entryInfoList({QStringLiteral("*.json")}, QDir::Files | QDir::NoDotAndDotDot, QDir::Name);
    for (const QFileInfo &info : entries) {
        if (info.fileName() == ownName || listing.files.size() >= kMostRecords)
            continue;
        const QByteArray tag = tagOf(info);
        if (known.value(info.fileName()) == tag) {
            listing.files.append(File{info.fileName(), tag, QByteArray(), true, false});
            continue;
        }
        if (info.size() > SyncRecord::MaxBytes) {
            listing.files.append(File{info.fileName(), tag, QByteArray(), false, true});
            continue;
        }
        QFile file(info.filePath());
        if (file.open(QIODevice::ReadOnly))
            listing.files.append(File{info.fileName(), tag, file.read(SyncRecord::MaxBytes + 1), false, false});
    }
    return listing;
}

SyncStore::Listing FolderStore::write(const QString &root, const QString &book, const QString &name,
                                      const QByteArray &bytes)
{
    Listing listing = check(root);
    if (listing.problem != NoProblem)
        return listing;
    const QString folder = root + QLatin1Char('/') + book;
    if (!QDir().mkpath(folder))
        return failure(Folder, tr("无法创建 %1").arg(QDir::toNativeSeparators(folder)));
    QSaveFile file(folder + QLatin1Char('/') + name);
    if (file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit())
        return listing;
    return failure(file.error() == QFileDevice::ResourceError ? Quota : Folder, file.errorString());
}

void FolderStore::list(const QString &book, const QString &ownName, const QHash<QString, QByteArray> &known,
                       const Listed &done)
{
    const QString folder = root;
    run([folder, book, ownName, known] { return listIn(folder, book, ownName, known); }, done);
}

void FolderStore::put(const QString &book, const QString &name, const QByteArray &bytes, const Done &done)
{
    const QString folder = root;
    run([folder, book, name, bytes] { return write(folder, book, name, bytes); },
        [done](const Listing &listing) { done(listing.problem, listing.detail); });
}

void FolderStore::probe(const Done &done)
{
    const QString folder = root;
    run([folder] { return check(folder); }, [done](const Listing &listing) { done(listing.problem, listing.detail); });
}
