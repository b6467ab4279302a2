#include "PipelineTransform.h"

#include "ChapterScanner.h"

bool PipelineTransform::setSettings(const TextPipeline::Settings &settings, QString *error)
{
    converts = settings.form != ScriptConverter::None;
    // Headings matter to rules kept off them (or to them) and to tidying.
    needsHeadings = !settings.tidy.isEmpty();
    for (const ReplaceRule &rule : settings.rules)
        needsHeadings = needsHeadings || (rule.enabled && rule.scope != ReplaceRule::Both);
    const bool usable = pipeline.setSettings(settings, error);
    converts = converts && !(!usable && error->contains(QStringLiteral("繁简")));
    return usable;
}

QVector<TextRange> PipelineTransform::headings(const QString &text, const ChapterRule &rule,
                                               const std::atomic<bool> *cancel) const
{
    QVector<TextRange> found;
    if (!needsHeadings)
        return found;
    ChapterScanner(rule).scan(
        text,
        [&](const Chapter &chapter) {
            int end = text.indexOf(QLatin1Char('\n'), chapter.offset);
            found.append({chapter.offset, end < 0 ? text.size() : end});
        },
        [cancel](int) { return !cancel || !cancel->load(std::memory_order_relaxed); });
    return found;
}

bool PipelineTransform::apply(const QString &decoded, const ChapterRule &rule, const std::atomic<bool> *cancel,
                              QString *shown, OffsetMap *map, QStringList *runaway) const
{
    RunLimits limits;
    limits.cancel = cancel;
    limits.msPerRule = ruleBudget;
    const QVector<TextRange> heads = headings(decoded, rule, cancel);
    if (limits.cancelled())
        return false;
    TextPipeline::Result result;
    QString error;
    if (!pipeline.run(decoded, heads, limits, &result, &error))
        return false;
    *shown = result.text;
    *map = result.map;
    *runaway = result.runaway;
    return true;
}

// Only the stretch is looked at: the text around it may not be read yet.
bool PipelineTransform::applyToStretch(const QString &decoded, int from, int to, const ChapterRule &rule,
                                       QString *shown, OffsetMap *map) const
{
    const QString part = decoded.mid(from, to - from);
    QStringList runaway;
    return apply(part, rule, nullptr, shown, map, &runaway);
}

QString PipelineTransform::foldedForSearch(const QString &text) const
{
    return ScriptConverter::folded(text);
}
