#pragma once

#include "OffsetMap.h"
#include "ReplaceRule.h"
#include "RuleMatcher.h"
#include "RunLimits.h"
#include "TextRange.h"

#include <QList>
#include <QString>
#include <QVector>

#include <atomic>
#include <memory>

/// One attempt at applying rules to a text, stretch by stretch: each stretch
/// of about 64 K characters (ending at a line end) goes through the whole
/// rule chain while it is in the cache, and the result is put together
/// once, instead of copying the whole book for every rule.
///
/// Each rule's time is added up over all stretches and threads; the first
/// rule to run over its budget (or to make PCRE2 give up) stops the
/// attempt, so that the caller can start again without it.
class RuleRun
{
public:
    /// Failed: out of memory, or a result no string can hold.
    enum Outcome { Finished, Runaway, Cancelled, Failed };

    /// `rules` in the order to apply; `headings` normalized.
    RuleRun(const QList<ReplaceRule> &rules, const QString &text, const QVector<TextRange> &headings,
            const RunLimits &limits);

    Outcome run();
    /// The index in `rules` of the rule that ran over (after Runaway).
    int runawayRule() const { return m_runaway.load(); }
    QString text() const { return m_text; }
    OffsetMap map() const { return m_map; }

    // Shared with RuleTransform::preview().
    static bool hasLoneSurrogate(const QString &s);
    /// The same length with every lone surrogate made U+FFFD: PCRE2 refuses
    /// (or, unchecked, misreads) invalid UTF-16, and positions must not move.
    static QString withoutLoneSurrogates(const QString &s);
    /// Where a rule of `scope` searches: the heading ranges, the stretches
    /// between them, or all of [0, length).
    static QVector<TextRange> subjects(const QString &text, const QVector<TextRange> &headings,
                                       ReplaceRule::Scope scope);
    /// `text` with `matches` replaced; *map maps `text` onto it.
    static qint64 replacedLength(const QString &text, const QVector<RuleMatcher::Match> &matches);
    static QString replaced(const QString &text, const QVector<RuleMatcher::Match> &matches, OffsetMap *map);

private:
    struct Part;
    void runChunks(int first, int last, Part *part);
    Outcome runChunk(const TextRange &chunk, const QVector<RuleMatcher> &matchers, QString *out, OffsetMap *map);

    QList<ReplaceRule> m_rules;
    const QString &m_source;
    QVector<TextRange> m_headings;
    RunLimits m_limits;
    QVector<TextRange> m_chunks;
    std::unique_ptr<std::atomic<qint64>[]> m_spentNs;
    std::atomic<int> m_runaway{-1};
    std::atomic<bool> m_stop{false};
    QString m_text;
    OffsetMap m_map;
};
