#include "RuleTransform.h"

#include "RuleMatcher.h"
#include "RuleRun.h"

#include <QDeadlineTimer>

#include <algorithm>
#include <thread>

namespace {

constexpr int ParallelFrom = 1 << 20;

} // namespace

RuleTransform::RuleTransform(const QList<ReplaceRule> &rules)
{
    for (const ReplaceRule &rule : rules) {
        if (!rule.enabled)
            continue;
        QString problem;
        if (rule.check(&problem))
            m_rules.append(rule);
        else
            m_problems.append(QStringLiteral("规则「%1」%2，未使用").arg(rule.displayName(), problem));
    }
    std::stable_sort(m_rules.begin(), m_rules.end(),
                     [](const ReplaceRule &a, const ReplaceRule &b) { return a.order < b.order; });
}

QVector<TextRange> RuleTransform::chunks(const QString &text, int from, int to, int size)
{
    QVector<TextRange> out;
    const QChar *p = text.constData();
    from = std::clamp(from, 0, text.size());
    to = std::clamp(to, from, text.size());
    size = std::max(size, 1);
    while (from < to) {
        int end = to - from > size ? from + size : to;
        if (end < to) {
            int nl = end - 1;
            while (nl >= from && p[nl] != QLatin1Char('\n'))
                --nl;
            if (nl < from) { // a line longer than `size` stays whole
                nl = end;
                while (nl < to && p[nl] != QLatin1Char('\n'))
                    ++nl;
            }
            end = std::min(nl + 1, to);
        }
        out.append(TextRange{from, end});
        from = end;
    }
    return out;
}

bool RuleTransform::apply(const QString &text, const QVector<TextRange> &headings, const RunLimits &limits,
                          QString *result, OffsetMap *map, QStringList *runaway, QString *error) const
{
    const QVector<TextRange> heads = TextRange::normalized(headings, text.size());
    QList<ReplaceRule> rules = m_rules;
    // A rule that runs over is dropped and the run starts again without it:
    // at most one restart per rule, each costing what was done so far.
    while (!rules.isEmpty()) {
        RuleRun run(rules, text, heads, limits);
        switch (run.run()) {
        case RuleRun::Finished:
            *result = run.text();
            *map = run.map();
            return true;
        case RuleRun::Runaway:
            runaway->append(rules.takeAt(run.runawayRule()).displayName());
            continue;
        case RuleRun::Cancelled:
            *error = QStringLiteral("已取消");
            return false;
        case RuleRun::Failed:
            *error = QStringLiteral("内存不足，或替换后的正文过长，无法应用替换规则");
            return false;
        }
    }
    *result = text;
    *map = OffsetMap::identity(text.size());
    return true;
}

RulePreview RuleTransform::preview(const QString &text, const QVector<TextRange> &headings, const ReplaceRule &rule,
                                   int maxExamples, const RunLimits &limits)
{
    RulePreview preview;
    try {
        if (!rule.check(&preview.problem))
            return preview;
        const QString matchText = RuleRun::hasLoneSurrogate(text) ? RuleRun::withoutLoneSurrogates(text) : text;
        const QVector<TextRange> subjects =
            RuleRun::subjects(text, TextRange::normalized(headings, text.size()), rule.scope);
        QVector<RuleMatcher::Match> matches;
        const RuleMatcher::Outcome outcome =
            findAll(rule, text, matchText, subjects, limits, std::max(0, maxExamples), &matches, &preview.count);
        preview.runaway = outcome == RuleMatcher::Runaway;
        preview.cancelled = outcome == RuleMatcher::Cancelled;
        for (const RuleMatcher::Match &m : qAsConst(matches)) {
            const int before = std::max(0, m.start - 10);
            preview.examples.append(RulePreview::Example{m.start, text.mid(before, m.start - before),
                                                         text.mid(m.start, m.length), text.mid(m.start + m.length, 10),
                                                         m.replacement});
        }
    } catch (...) { // std::bad_alloc
        preview = RulePreview();
        preview.problem = QStringLiteral("内存不足");
    }
    return preview;
}

RuleMatcher::Outcome RuleTransform::findAll(const ReplaceRule &rule, const QString &text, const QString &matchText,
                                            const QVector<TextRange> &subjects, const RunLimits &limits, int keepAtMost,
                                            QVector<RuleMatcher::Match> *matches, int *count)
{
    const QDeadlineTimer deadline(std::max(0, limits.msPerRule), Qt::PreciseTimer);
    std::atomic<bool> stop{false};
    struct Half
    {
        QVector<RuleMatcher::Match> matches;
        int count = 0;
        RuleMatcher::Outcome outcome = RuleMatcher::Finished;
    };
    auto run = [&](int first, int last, Half *half) {
        try {
            const RuleMatcher matcher(rule); // one per thread: a matcher is not shared
            for (int i = first; i < last && half->outcome == RuleMatcher::Finished; ++i)
                half->outcome = matcher.find(text, matchText, subjects[i].start, subjects[i].end, deadline,
                                             limits.cancel, &stop, &half->matches, &half->count, keepAtMost);
        } catch (...) { // out of memory: counted as running over
            half->outcome = RuleMatcher::Runaway;
        }
        if (half->outcome != RuleMatcher::Finished)
            stop = true;
    };
    Half first, second;
    int split = subjects.size();
    if (limits.threads >= 2 && text.size() >= ParallelFrom) {
        split = 0;
        for (int sum = 0; split < subjects.size() && sum < text.size() / 2; ++split)
            sum += subjects[split].end - subjects[split].start;
    }
    if (split < subjects.size()) {
        std::thread worker(run, split, int(subjects.size()), &second);
        run(0, split, &first);
        worker.join();
    } else {
        run(0, split, &first);
    }
    *matches = first.matches + second.matches;
    if (matches->size() > keepAtMost)
        matches->resize(keepAtMost);
    *count = first.count + second.count;
    if (limits.cancelled())
        return RuleMatcher::Cancelled;
    if (first.outcome == RuleMatcher::Runaway || second.outcome == RuleMatcher::Runaway)
        return RuleMatcher::Runaway;
    return RuleMatcher::Finished;
}
