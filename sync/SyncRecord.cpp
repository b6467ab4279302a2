#include "SyncRecord.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

#include <climits>

namespace {

const int kLongestText = 2000;
const int kMostEntries = 10000;
// Past the year 9999: no clock gives that, a damaged file may.
const double kLatestTime = 253402300800000.0;

bool isWhole(const QJsonValue &value, double lowest, double highest)
{
    if (!value.isDouble())
        return false;
    const double number = value.toDouble();
    return number >= lowest && number <= highest && number == double(qint64(number));
}

bool readOffset(const QJsonObject &object, int *offset)
{
    if (!isWhole(object.value(QLatin1String("offset")), 0, INT_MAX))
        return false;
    *offset = int(object.value(QLatin1String("offset")).toDouble());
    return true;
}

bool readTime(const QJsonObject &object, const char *key, qint64 *time)
{
    if (!isWhole(object.value(QLatin1String(key)), 0, kLatestTime))
        return false;
    *time = qint64(object.value(QLatin1String(key)).toDouble());
    return true;
}

bool readText(const QJsonObject &object, const char *key, QString *text, int longest = kLongestText)
{
    const QJsonValue value = object.value(QLatin1String(key));
    if (!value.isString() || value.toString().size() > longest)
        return false;
    *text = value.toString();
    return true;
}

bool readPlace(const QJsonValue &value, SyncPlace *place)
{
    const QJsonObject object = value.toObject();
    const QJsonValue percent = object.value(QLatin1String("percent"));
    if (!value.isObject() || !readOffset(object, &place->offset) || !percent.isDouble() || percent.toDouble() < 0 ||
        percent.toDouble() > 100 || !readText(object, "context", &place->context, 4 * SyncRecord::ContextLength) ||
        !readTime(object, "changed", &place->changedAt))
        return false;
    place->percent = percent.toDouble();
    return true;
}

bool readBookmarks(const QJsonValue &value, QList<SyncBookmark> *bookmarks)
{
    if (!value.isArray() || value.toArray().size() > kMostEntries)
        return false;
    for (const QJsonValue &entry : value.toArray()) {
        const QJsonObject object = entry.toObject();
        SyncBookmark bookmark;
        if (!entry.isObject() || !readOffset(object, &bookmark.offset) || !readText(object, "title", &bookmark.title) ||
            !readText(object, "summary", &bookmark.summary) || !readTime(object, "added", &bookmark.addedAt))
            return false;
        bookmarks->append(bookmark);
    }
    return true;
}

bool readDeletions(const QJsonValue &value, QList<SyncDeletion> *deletions)
{
    if (!value.isArray() || value.toArray().size() > kMostEntries)
        return false;
    for (const QJsonValue &entry : value.toArray()) {
        const QJsonObject object = entry.toObject();
        SyncDeletion deletion;
        if (!entry.isObject() || !readOffset(object, &deletion.offset) || !readText(object, "title", &deletion.title) ||
            !readTime(object, "deleted", &deletion.deletedAt))
            return false;
        deletions->append(deletion);
    }
    return true;
}

} // namespace

QByteArray SyncRecord::toJson() const
{
    QJsonArray marks;
    for (const SyncBookmark &bookmark : bookmarks)
        marks.append(QJsonObject{{"offset", bookmark.offset},
                                 {"title", bookmark.title},
                                 {"summary", bookmark.summary},
                                 {"added", double(bookmark.addedAt)}});
    QJsonArray gone;
    for (const SyncDeletion &deletion : deletions)
        gone.append(QJsonObject{
            {"offset", deletion.offset}, {"title", deletion.title}, {"deleted", double(deletion.deletedAt)}});
    const QJsonObject where{{"offset", place.offset},
                            {"percent", place.percent},
                            {"context", place.context},
                            {"changed", double(place.changedAt)}};
    const QJsonObject record{{"format", Format}, {"device", deviceId}, {"deviceName", deviceName},
                             {"place", where},   {"bookmarks", marks}, {"deleted", gone}};
    return QJsonDocument(record).toJson(QJsonDocument::Compact);
}

bool SyncRecord::parse(const QByteArray &bytes, SyncRecord *record, QString *why)
{
    const auto fail = [why](const QString &reason) {
        *why = reason;
        return false;
    };
    if (bytes.size() > MaxBytes)
        return fail(tooLargeText());
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError)
        return fail(tr("不是 JSON（%1）").arg(error.errorString()));
    if (!document.isObject())
        return fail(tr("不是进度记录"));
    const QJsonObject object = document.object();
    const QJsonValue format = object.value(QLatin1String("format"));
    if (!format.isDouble())
        return fail(tr("不是进度记录"));
    if (format.toDouble() != Format)
        return fail(tr("格式 %1，本程序只认识格式 %2").arg(format.toDouble()).arg(Format));
    static const QRegularExpression deviceIds(QStringLiteral("^[A-Za-z0-9-]{1,64}$"));
    SyncRecord read;
    if (!readText(object, "device", &read.deviceId) || !deviceIds.match(read.deviceId).hasMatch())
        return fail(tr("设备标识无效"));
    if (!readText(object, "deviceName", &read.deviceName, 200))
        return fail(tr("设备名称无效"));
    if (!readPlace(object.value(QLatin1String("place")), &read.place))
        return fail(tr("阅读位置无效"));
    if (!readBookmarks(object.value(QLatin1String("bookmarks")), &read.bookmarks))
        return fail(tr("书签已损坏"));
    if (!readDeletions(object.value(QLatin1String("deleted")), &read.deletions))
        return fail(tr("删除记录已损坏"));
    *record = read;
    return true;
}
