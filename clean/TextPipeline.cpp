#include "TextPipeline.h"

namespace {

int lineStartAtOrBefore(const QString &text, int at)
{
    at = std::clamp(at, 0, text.size());
    if (at == 0)
        return 0;
    const int nl = text.lastIndexOf(QLatin1Char('\n'), at - 1);
    return nl + 1;
}

QVector<TextRange> mapped(const QVector<TextRange> &ranges, const OffsetMap &map)
{
    QVector<TextRange> out;
    out.reserve(ranges.size());
    for (const TextRange &r : ranges)
        out.append(TextRange{map.toShown(r.start), map.toShown(r.end)});
    return out;
}

} // namespace

bool TextPipeline::setSettings(const Settings &settings, QString *error)
{
    m_rules = RuleTransform(settings.rules);
    m_tidy = settings.tidy;
    QStringList problems = m_rules.problems();
    QString loadError;
    if (!m_converter.load(settings.form, &loadError))
        problems.prepend(QStringLiteral("无法进行繁简转换：%1").arg(loadError));
    if (problems.isEmpty())
        return true;
    *error = problems.join(QLatin1Char('\n'));
    return false;
}

bool TextPipeline::run(const QString &decoded, const QVector<TextRange> &headings, const RunLimits &limits,
                       Result *result, QString *error) const
{
    try {
        return runAll(decoded, headings, limits, result, error);
    } catch (...) { // std::bad_alloc: the only thing that can throw here
        *error = QStringLiteral("内存不足，无法处理正文");
        return false;
    }
}

bool TextPipeline::runAll(const QString &decoded, const QVector<TextRange> &headings, const RunLimits &limits,
                          Result *result, QString *error) const
{
    result->runaway.clear();
    if (isIdentity()) {
        result->text = decoded;
        result->map = OffsetMap::identity(decoded.size());
        return true;
    }
    QVector<TextRange> heads = TextRange::normalized(headings, decoded.size());
    QString text = decoded;
    OffsetMap map = OffsetMap::identity(decoded.size());
    if (!m_rules.isEmpty()) {
        QString next;
        OffsetMap step;
        if (!m_rules.apply(text, heads, limits, &next, &step, &result->runaway, error))
            return false;
        text = next;
        map = step;
        heads = mapped(heads, step);
    }
    if (m_converter.isActive()) {
        QString next;
        OffsetMap step;
        if (!m_converter.convert(text, 0, text.size(), limits, &next, &step, error))
            return false;
        text = next;
        map = map.then(step);
        heads = mapped(heads, step);
    }
    if (!m_tidy.isEmpty()) {
        QString next;
        OffsetMap step;
        if (!Tidy::apply(text, heads, m_tidy, limits, &next, &step)) {
            *error = QStringLiteral("已取消");
            return false;
        }
        text = next;
        map = map.then(step);
    }
    result->text = text;
    result->map = map;
    return true;
}

bool TextPipeline::applyToStretch(const QString &decoded, int from, int to, const QVector<TextRange> &headings,
                                  const RunLimits &limits, Result *result, QString *error) const
{
    from = lineStartAtOrBefore(decoded, from);
    to = std::max(from, to >= decoded.size() ? decoded.size() : lineStartAtOrBefore(decoded, to));
    // One line of context on each side: Tidy looks at the line before (is
    // it blank?) and the line after (may this line join it?).
    const int contextFrom = lineStartAtOrBefore(decoded, from - 1);
    int contextTo = decoded.indexOf(QLatin1Char('\n'), to);
    contextTo = contextTo < 0 ? decoded.size() : contextTo + 1;
    QVector<TextRange> heads;
    for (const TextRange &h : TextRange::normalized(headings, decoded.size()))
        if (h.end > contextFrom && h.start < contextTo)
            heads.append(
                TextRange{std::max(h.start, contextFrom) - contextFrom, std::min(h.end, contextTo) - contextFrom});
    Result wide;
    if (!run(decoded.mid(contextFrom, contextTo - contextFrom), heads, limits, &wide, error))
        return false;
    const int shownFrom = wide.map.toShown(from - contextFrom);
    const int shownTo = wide.map.toShown(to - contextFrom);
    result->text = wide.text.mid(shownFrom, shownTo - shownFrom);
    result->map = wide.map.slice(from - contextFrom, to - contextFrom);
    result->runaway = wide.runaway;
    return true;
}
