#include "SyncState.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

namespace {

const int kSamples = 32;
const int kSampleLength = 128;
// Room for a few dozen machines' records of the largest size.
const qint64 kLargestState = 64 << 20;

using Key = QPair<int, QString>;

} // namespace

SyncState::SyncState(const QString &folder, const QString &key, const QString &deviceId) : folder(folder), key_(key)
{
    own_.deviceId = deviceId;
}

QString SyncState::keyOf(const QString &decodedText)
{
    QCryptographicHash hash(QCryptographicHash::Sha1);
    hash.addData(QByteArray::number(decodedText.size()));
    const int size = decodedText.size();
    for (int i = 0; i < kSamples; ++i) {
        const int at = size <= kSampleLength ? 0 : int(qint64(size - kSampleLength) * i / (kSamples - 1));
        hash.addData(decodedText.mid(at, kSampleLength).toUtf8());
        if (size <= kSampleLength)
            break;
    }
    return QString::fromLatin1(hash.result().toHex());
}

QString SyncState::path() const
{
    return folder + QLatin1Char('/') + key_ + QStringLiteral(".json");
}

bool SyncState::load()
{
    QFile file(path());
    if (!file.open(QIODevice::ReadOnly) || file.size() > kLargestState)
        return false;
    const QJsonObject object = QJsonDocument::fromJson(file.readAll()).object();
    SyncRecord record;
    QString why;
    if (!SyncRecord::parse(object.value(QLatin1String("record")).toString().toUtf8(), &record, &why))
        return false;
    record.deviceId = own_.deviceId;
    own_ = record;
    files.clear();
    const QJsonObject stored = object.value(QLatin1String("files")).toObject();
    for (auto it = stored.begin(); it != stored.end(); ++it) {
        const QJsonObject entry = it.value().toObject();
        files.insert(it.key(), Cached{entry.value(QLatin1String("tag")).toString().toLatin1(),
                                      QByteArray::fromBase64(entry.value(QLatin1String("bytes")).toString().toLatin1()),
                                      entry.value(QLatin1String("large")).toBool()});
    }
    known = true;
    uploadedRevision = 0;
    revision = object.value(QLatin1String("dirty")).toBool() ? 1 : 0;
    return true;
}

bool SyncState::save() const
{
    QJsonObject stored;
    for (auto it = files.constBegin(); it != files.constEnd(); ++it)
        stored.insert(it.key(), QJsonObject{{"tag", QString::fromLatin1(it->tag)},
                                            {"bytes", QString::fromLatin1(it->bytes.toBase64())},
                                            {"large", it->tooLarge}});
    const QJsonObject object{{"record", QString::fromUtf8(own_.toJson())}, {"dirty", isDirty()}, {"files", stored}};
    QDir().mkpath(folder);
    QSaveFile file(path());
    return file.open(QIODevice::WriteOnly) && file.write(QJsonDocument(object).toJson(QJsonDocument::Compact)) >= 0 &&
           file.commit();
}

bool SyncState::observeBookmarks(const QList<Bookmark> &bookmarks, qint64 now)
{
    known = true;
    QHash<Key, const Bookmark *> present;
    for (const Bookmark &bookmark : bookmarks)
        present.insert(Key(bookmark.offset, bookmark.title), &bookmark);
    bool changed = false;
    QHash<Key, bool> synced;
    for (int i = own_.bookmarks.size() - 1; i >= 0; --i) {
        const SyncBookmark &bookmark = own_.bookmarks.at(i);
        const Key key(bookmark.offset, bookmark.title);
        synced.insert(key, true);
        if (present.contains(key))
            continue;
        own_.deletions.prepend(SyncDeletion{bookmark.offset, bookmark.title, now});
        own_.bookmarks.removeAt(i);
        changed = true;
    }
    for (auto it = present.constBegin(); it != present.constEnd(); ++it) {
        if (synced.contains(it.key()))
            continue;
        own_.bookmarks.append(SyncBookmark{it.key().first, it.key().second, it.value()->summary, now});
        // Added again: an earlier removal no longer holds.
        for (int i = own_.deletions.size() - 1; i >= 0; --i) {
            if (Key(own_.deletions.at(i).offset, own_.deletions.at(i).title) == it.key())
                own_.deletions.removeAt(i);
        }
        changed = true;
    }
    if (changed)
        touch();
    return changed;
}

bool SyncState::notePlace(const SyncPlace &place)
{
    known = true;
    if (place.offset == own_.place.offset && place.context == own_.place.context)
        return false;
    own_.place = place;
    touch();
    return true;
}

bool SyncState::adopt(const SyncMerge::Result &merged, const SyncPlace *place)
{
    const bool changed = !(merged.bookmarks == own_.bookmarks && merged.deletions == own_.deletions) ||
                         (place && !(*place == own_.place));
    own_.bookmarks = merged.bookmarks;
    own_.deletions = merged.deletions;
    if (place)
        own_.place = *place;
    if (changed)
        touch();
    return changed;
}

QHash<QString, QByteArray> SyncState::knownTags() const
{
    QHash<QString, QByteArray> tags;
    for (auto it = files.constBegin(); it != files.constEnd(); ++it)
        tags.insert(it.key(), it->tag);
    return tags;
}

void SyncState::takeFiles(const QList<SyncStore::File> &listed)
{
    QHash<QString, Cached> kept;
    for (const SyncStore::File &file : listed) {
        if (file.unchanged && files.contains(file.name))
            kept.insert(file.name, files.value(file.name));
        else if (!file.unchanged)
            kept.insert(file.name, Cached{file.tag, file.tooLarge ? QByteArray() : file.bytes, file.tooLarge});
    }
    files = kept;
}

QList<SyncRecord> SyncState::records(QList<QPair<QString, QString>> *skipped) const
{
    QList<SyncRecord> records;
    for (auto it = files.constBegin(); it != files.constEnd(); ++it) {
        SyncRecord record;
        QString why;
        if (it->tooLarge)
            skipped->append(qMakePair(it.key(), SyncRecord::tooLargeText()));
        else if (SyncRecord::parse(it->bytes, &record, &why))
            records.append(record);
        else
            skipped->append(qMakePair(it.key(), why));
    }
    return records;
}
