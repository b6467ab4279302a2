#include "ScriptConverter.h"

#include "OffsetMapBuilder.h"
#include "OpenccConfig.h"
#include "ScriptFold.h"
#include "ScriptJob.h"
#include "ScriptStages.h"

#include <opencc/Converter.hpp>

#include <QHash>
#include <QMutex>

#include <thread>

namespace {

// Pieces converted between two looks at the cancel flag, and the length
// from which a whole-text conversion takes a second thread.
constexpr int PieceLength = 1 << 18;
constexpr int ParallelFrom = 1 << 20;

QMutex failuresLock;
QHash<QString, QString> failures; // data directory + config → why it failed
// Tables built once per config and kept: a second book in the same script,
// or a load started early (preload()), costs nothing. Held while a load
// runs, so that two loads of one config build it once.
QMutex loadLock;
QHash<QString, std::shared_ptr<const ScriptStages>> loaded;

// The line start nearest after `at` in [from, to), or `to`.
int lineStartAfter(const QString &text, int at, int to)
{
    const int nl = text.indexOf(QLatin1Char('\n'), at);
    return nl < 0 || nl >= to ? to : nl + 1;
}

} // namespace

QString ScriptConverter::configName(Form form)
{
    switch (form) {
    case Simplified:
        return QStringLiteral("t2s");
    case Traditional:
        return QStringLiteral("s2t");
    case Taiwan:
        return QStringLiteral("s2twp");
    case HongKong:
        return QStringLiteral("s2hk");
    case None:
        break;
    }
    return QString();
}

bool ScriptConverter::load(Form form, QString *error)
{
    return load(form, defaultDataDirectory(), error);
}

void ScriptConverter::preload(Form form)
{
    if (form == None)
        return;
    std::thread([form] {
        ScriptConverter converter;
        QString error;
        converter.load(form, &error);
    }).detach();
}

bool ScriptConverter::load(Form form, const QString &dataDirectory, QString *error)
{
    m_stages.reset();
    m_form = None;
    const QString name = configName(form);
    if (name.isEmpty())
        return true;
    if (!prepare(name, dataDirectory, nullptr, error))
        return false;
    m_form = form;
    return true;
}

bool ScriptConverter::loadConfig(const QByteArray &json, const QString &dataDirectory, QString *error)
{
    m_stages.reset();
    m_form = None;
    return prepare(QString(), dataDirectory, &json, error);
}

bool ScriptConverter::prepare(const QString &name, const QString &dataDirectory, const QByteArray *json, QString *error)
{
    const QString key = dataDirectory + QLatin1Char('/') + name;
    if (!json) {
        QMutexLocker lock(&failuresLock);
        const auto it = failures.constFind(key);
        if (it != failures.constEnd()) {
            *error = it.value();
            return false;
        }
    }
    QMutexLocker building(&loadLock);
    if (!json && loaded.contains(key)) {
        m_stages = loaded.value(key);
        return true;
    }
    auto stages = std::make_shared<ScriptStages>();
    {
        // The OpenCC converter is needed only while the tables are built.
        const std::shared_ptr<opencc::Converter> converter =
            json ? OpenccConfig::fromJson(*json, dataDirectory, error) : OpenccConfig::load(name, dataDirectory, error);
        if (converter && stages->build(*converter, error)) {
            m_stages = stages;
            if (!json)
                loaded.insert(key, stages);
            return true;
        }
    }
    if (!json) {
        QMutexLocker lock(&failuresLock);
        failures.insert(key, *error);
    }
    return false;
}

bool ScriptConverter::convertPart(const QString &text, int from, int to, const RunLimits &limits, QString *out,
                                  OffsetMap *map, QString *error) const
{
    OffsetMapBuilder builder;
    ScriptJob job(*m_stages, text, map ? &builder : nullptr, to - from);
    for (int at = from; at < to;) {
        if (limits.cancelled()) {
            *error = QStringLiteral("已取消");
            return false;
        }
        const int end = to - at > PieceLength ? lineStartAfter(text, at + PieceLength, to) : to;
        job.run(at, end);
        at = end;
    }
    *out = job.take();
    if (map)
        *map = builder.finish();
    return true;
}

bool ScriptConverter::convert(const QString &text, int from, int to, const RunLimits &limits, QString *out,
                              OffsetMap *map, QString *error) const
{
    from = std::clamp(from, 0, text.size());
    to = std::clamp(to, from, text.size());
    if (!m_stages) {
        *out = from == 0 && to == text.size() ? text : text.mid(from, to - from);
        if (map)
            *map = OffsetMap::identity(to - from);
        return true;
    }
    try {
        const int middle = lineStartAfter(text, from + (to - from) / 2, to);
        if (limits.threads < 2 || to - from < ParallelFrom || middle >= to)
            return convertPart(text, from, to, limits, out, map, error);
        QString second, secondError;
        OffsetMap secondMap;
        bool secondDone = false;
        std::thread worker([&] {
            try {
                secondDone = convertPart(text, middle, to, limits, &second, map ? &secondMap : nullptr, &secondError);
            } catch (...) {
                secondError = QStringLiteral("内存不足，无法转换");
            }
        });
        bool firstDone = false;
        try {
            firstDone = convertPart(text, from, middle, limits, out, map, error);
        } catch (...) {
            *error = QStringLiteral("内存不足，无法转换");
        }
        worker.join();
        if (!firstDone || !secondDone) {
            if (firstDone)
                *error = secondError;
            return false;
        }
        out->append(second); // realloc usually grows the first half in place
        if (map) {
            OffsetMapBuilder joined;
            joined.append(*map);
            joined.append(secondMap);
            *map = joined.finish();
        }
        return true;
    } catch (...) {
        *error = QStringLiteral("内存不足，无法转换");
        return false;
    }
}

QString ScriptConverter::convert(const QString &text, OffsetMap *map) const
{
    QString out, error;
    if (convert(text, 0, text.size(), RunLimits(), &out, map, &error))
        return out;
    if (map)
        *map = OffsetMap::identity(text.size());
    return text;
}

QChar ScriptConverter::fold(QChar c)
{
    return ScriptFold::instance().fold(c);
}

QString ScriptConverter::folded(const QString &text)
{
    const ScriptFold &fold = ScriptFold::instance();
    if (fold.isIdentity())
        return text;
    QString out(text.size(), Qt::Uninitialized);
    const QChar *s = text.constData();
    QChar *d = out.data();
    for (int i = 0; i < text.size(); ++i)
        d[i] = fold.fold(s[i]);
    return out;
}
