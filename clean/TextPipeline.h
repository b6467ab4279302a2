#pragma once

#include "OffsetMap.h"
#include "ReplaceRule.h"
#include "RuleTransform.h"
#include "RunLimits.h"
#include "ScriptConverter.h"
#include "TextRange.h"
#include "Tidy.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QVector>

/// The display pipeline: decoded text → replacement rules → script
/// conversion → tidying → the shown text, with one offset map from the
/// decoded text onto the shown text (stored offsets stay decoded ones).
///
/// run() and applyToStretch() are const and may run on worker threads,
/// several at once; setSettings() must not run at the same time. Copies
/// are cheap (the converter's tables are shared).
class TextPipeline
{
public:
    struct Settings
    {
        QList<ReplaceRule> rules;
        ScriptConverter::Form form = ScriptConverter::None;
        Tidy::Options tidy;
    };
    struct Result
    {
        QString text;
        OffsetMap map;
        /// Display names of rules left out for running over their budget:
        /// the reader should switch them off and say so, naming them.
        QStringList runaway;
    };

    /// Takes the settings: compiles the rules and loads the script form.
    /// False with a message when the form cannot be loaded (the pipeline
    /// then converts nothing) or a rule cannot run (it is left out); the
    /// rest of the settings still apply.
    bool setSettings(const Settings &settings, QString *error);
    /// Messages for the rules left out by setSettings().
    QStringList problems() const { return m_rules.problems(); }
    /// Nothing to do: run() hands back the decoded text itself (not a copy)
    /// and an identity map.
    bool isIdentity() const { return m_rules.isEmpty() && !m_converter.isActive() && m_tidy.isEmpty(); }

    /// The shown text of `decoded`. `headings` are its heading lines as
    /// [start, end) ranges (without the line end). False (with *error) only
    /// when cancelled or out of memory.
    bool run(const QString &decoded, const QVector<TextRange> &headings, const RunLimits &limits, Result *result,
             QString *error) const;

    /// The shown text of decoded[from, to) alone, to show the visible part
    /// before the whole book is done; `from` and `to` are moved back to line
    /// starts. result->map maps that stretch (counted from 0) onto
    /// result->text, which is exactly the whole run's shown text between
    /// map.toShown(from) and map.toShown(to), with the same map there,
    /// provided that no rule matches across a line end or removes or adds
    /// one (the stretch sees one line of context on either side, for the
    /// blank-line and joining decisions of Tidy), and that no rule runs over
    /// its budget in one run and not in the other (pass runaway rules of the
    /// whole run as disabled).
    bool applyToStretch(const QString &decoded, int from, int to, const QVector<TextRange> &headings,
                        const RunLimits &limits, Result *result, QString *error) const;

private:
    bool runAll(const QString &decoded, const QVector<TextRange> &headings, const RunLimits &limits, Result *result,
                QString *error) const;

    RuleTransform m_rules;
    ScriptConverter m_converter;
    Tidy::Options m_tidy;
};
