#include "SyncMerge.h"

#include <QHash>
#include <QPair>

#include <algorithm>
#include <tuple>

namespace {

using Key = QPair<int, QString>;

bool isNewer(const SyncPlace &place, const QString &device, const SyncPlace &than, const QString &thanDevice)
{
    if (place.changedAt != than.changedAt)
        return place.changedAt > than.changedAt;
    return device < thanDevice;
}

} // namespace

SyncMerge::Result SyncMerge::merge(const SyncRecord &own, const QList<SyncRecord> &others)
{
    Result result;
    result.place = own.place;
    result.placeDevice = own.deviceId;
    QHash<Key, SyncBookmark> added;
    QHash<Key, qint64> deleted;
    const auto take = [&](const SyncRecord &record) {
        for (const SyncBookmark &bookmark : record.bookmarks) {
            const Key key(bookmark.offset, bookmark.title);
            const auto known = added.constFind(key);
            if (known == added.constEnd() || bookmark.addedAt > known->addedAt)
                added.insert(key, bookmark);
        }
        for (const SyncDeletion &deletion : record.deletions) {
            qint64 &at = deleted[Key(deletion.offset, deletion.title)];
            at = qMax(at, deletion.deletedAt);
        }
    };
    take(own);
    for (const SyncRecord &record : others) {
        take(record);
        if (isNewer(record.place, record.deviceId, result.place, result.placeDevice)) {
            result.place = record.place;
            result.placeDevice = record.deviceId;
            result.placeIsOwn = false;
        }
    }
    for (const SyncBookmark &bookmark : qAsConst(added)) {
        const auto removed = deleted.constFind(Key(bookmark.offset, bookmark.title));
        if (removed == deleted.constEnd() || bookmark.addedAt > *removed)
            result.bookmarks.append(bookmark);
    }
    std::sort(result.bookmarks.begin(), result.bookmarks.end(), [](const SyncBookmark &a, const SyncBookmark &b) {
        return std::tie(a.addedAt, a.offset, a.title) < std::tie(b.addedAt, b.offset, b.title);
    });
    for (auto it = deleted.constBegin(); it != deleted.constEnd(); ++it) {
        const auto back = added.constFind(it.key());
        if (back == added.constEnd() || back->addedAt <= it.value())
            result.deletions.append(SyncDeletion{it.key().first, it.key().second, it.value()});
    }
    std::sort(result.deletions.begin(), result.deletions.end(), [](const SyncDeletion &a, const SyncDeletion &b) {
        return std::tie(b.deletedAt, a.offset, a.title) < std::tie(a.deletedAt, b.offset, b.title);
    });
    result.deletions = result.deletions.mid(0, MostDeletions);
    return result;
}
