#pragma once

#include "OffsetMap.h"
#include "ReplaceRule.h"
#include "RuleMatcher.h"
#include "RulePreview.h"
#include "RunLimits.h"
#include "TextRange.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QVector>

/// Applies the enabled replacement rules, in `order` (rules of equal order
/// keep their list order), one after the other to a text.
///
/// The text is cut into stretches of about 64 K characters that end at
/// line ends, and each goes through the whole rule chain (see RuleRun); no
/// match crosses such a boundary, so a rule that should span lines may miss
/// a place that straddles one. Headings-only rules search each heading
/// range on its own, body-only rules each stretch between them.
class RuleTransform
{
public:
    RuleTransform() = default;
    explicit RuleTransform(const QList<ReplaceRule> &rules);

    /// Nothing to apply (no enabled rule that can run).
    bool isEmpty() const { return m_rules.isEmpty(); }
    /// Rules left out because they cannot run, one message each.
    QStringList problems() const { return m_problems; }

    /// *result is the text after the rules, *map maps `text` onto it.
    /// `headings` are the heading lines of `text` (any order; clamped).
    /// A rule that runs over limits.msPerRule, or whose expression
    /// backtracks without end, is left out entirely (the text keeps what the
    /// rules before it did) and its display name goes to *runaway.
    /// False (with *error) only when cancelled or out of memory.
    bool apply(const QString &text, const QVector<TextRange> &headings, const RunLimits &limits, QString *result,
               OffsetMap *map, QStringList *runaway, QString *error) const;

    /// Counts the places `rule` matches in `text` (enabled or not) and
    /// describes the first `maxExamples` of them.
    static RulePreview preview(const QString &text, const QVector<TextRange> &headings, const ReplaceRule &rule,
                               int maxExamples, const RunLimits &limits);

    /// [from, to) cut into stretches of about `size` characters ending at
    /// line ends (a longer line stays whole).
    static QVector<TextRange> chunks(const QString &text, int from, int to, int size = 65536);

private:
    static RuleMatcher::Outcome findAll(const ReplaceRule &rule, const QString &text, const QString &matchText,
                                        const QVector<TextRange> &subjects, const RunLimits &limits, int keepAtMost,
                                        QVector<RuleMatcher::Match> *matches, int *count);

    QList<ReplaceRule> m_rules;
    QStringList m_problems;
};
