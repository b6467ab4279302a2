#include "ShownText.h"

#include "OffsetMapBuilder.h"

#include <QtConcurrent>

namespace {
// Up to this many characters a transform runs at once (tens of ms); beyond,
// the page shows from a stretch first.
const int kAtOnce = 1 << 20;
// The stretch around the place: before it, and after (what a page may need).
const int kBefore = 8 * 1024;
const int kAfter = 32 * 1024;

int lineStartAtOrBefore(const QString &text, int at)
{
    at = qBound(0, at, text.size());
    return at == 0 || at == text.size() ? at : text.lastIndexOf(QLatin1Char('\n'), at - 1) + 1;
}

} // namespace

ShownText::ShownText() : QObject(nullptr)
{
    connect(&shaping, &QFutureWatcher<Result>::finished, this, &ShownText::onFinished);
}

ShownText::~ShownText()
{
    cancel();
}

void ShownText::setTransform(std::shared_ptr<const TextTransform> transform)
{
    this->transform = std::move(transform);
}

void ShownText::cancel()
{
    if (stop)
        stop->store(true);
    shaping.waitForFinished();
    stop.reset();
}

void ShownText::shape(const QString &decoded, int place, const ChapterRule &rule, bool keepShown)
{
    cancel();
    source = decoded;
    if (!transform) {
        take({decoded, OffsetMap::identity(decoded.size()), {}, true});
        return;
    }
    if (decoded.size() <= kAtOnce) {
        Result result;
        result.done = transform->apply(decoded, rule, nullptr, &result.text, &result.map, &result.runaway);
        if (!result.done)
            result = {decoded, OffsetMap::identity(decoded.size()), {}, true};
        take(result);
        return;
    }
    if (!keepShown)
        showStretch(decoded, lineStartAtOrBefore(decoded, place - kBefore),
                    lineStartAtOrBefore(decoded, place + kAfter), rule);
    complete = false;
    stop = std::make_shared<std::atomic<bool>>(false);
    shaping.setFuture(QtConcurrent::run([decoded, rule, transform = transform, stop = stop] {
        Result result;
        result.done = transform->apply(decoded, rule, stop.get(), &result.text, &result.map, &result.runaway);
        return result;
    }));
}

void ShownText::shapeStretch(const QString &decoded, int from, int to, const ChapterRule &rule)
{
    cancel();
    source = decoded;
    if (!transform) {
        take({decoded, OffsetMap::identity(decoded.size()), {}, true});
        return;
    }
    showStretch(decoded, from, to, rule);
    complete = false; // until shape() takes the whole
}

// Until the rest is done the stretch is all there is to show: the map sends
// everything before and after it to its ends.
void ShownText::showStretch(const QString &decoded, int from, int to, const ChapterRule &rule)
{
    QString part;
    OffsetMap partMap;
    if (!transform->applyToStretch(decoded, from, to, rule, &part, &partMap)) {
        part = decoded.mid(from, to - from);
        partMap = OffsetMap::identity(part.size());
    }
    OffsetMapBuilder builder;
    builder.replace(from, 0);
    builder.append(partMap);
    builder.replace(decoded.size() - to, 0);
    previous = map_;
    text_ = part;
    map_ = builder.finish();
}

void ShownText::take(const Result &result)
{
    previous = map_;
    text_ = result.text;
    map_ = result.map;
    complete = true;
    if (!result.runaway.isEmpty())
        emit ranOver(result.runaway);
}

void ShownText::wait()
{
    if (complete)
        return;
    shaping.waitForFinished();
    onFinished();
}

void ShownText::onFinished()
{
    if (complete || !stop || stop->load())
        return;
    const Result result = shaping.result();
    stop.reset();
    // Out of memory: the decoded text is shown rather than nothing.
    take(result.done ? result : Result{source, OffsetMap::identity(source.size()), {}, true});
    emit finished();
}

int ShownText::carried(int position, int shift) const
{
    return map_.toShown(previous.toSource(position) + shift);
}
