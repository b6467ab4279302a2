#pragma once

#include "TextPipeline.h"
#include "TextTransform.h"

/// The book's TextTransform made of a TextPipeline: rules, script and tidying.
/// The headings the rules and tidying treat apart are found with the book's
/// chapter rule.
class PipelineTransform : public TextTransform
{
public:
    /// False (with *error) when part of the settings cannot be used; the rest applies.
    bool setSettings(const TextPipeline::Settings &settings, QString *error);
    bool isIdentity() const { return pipeline.isIdentity(); }
    /// How long one rule may take over the whole book (ms) before it is left out.
    void setRuleBudget(int ms) { ruleBudget = ms; }
    /// Whether a script is shown other than the file's.
    bool convertsScript() const { return converts; }

    bool apply(const QString &decoded, const ChapterRule &rule, const std::atomic<bool> *cancel, QString *shown,
               OffsetMap *map, QStringList *runaway) const override;
    bool applyToStretch(const QString &decoded, int from, int to, const ChapterRule &rule, QString *shown,
                        OffsetMap *map) const override;
    bool foldsForSearch() const override { return converts; }
    QString foldedForSearch(const QString &text) const override;

private:
    QVector<TextRange> headings(const QString &text, const ChapterRule &rule, const std::atomic<bool> *cancel) const;

    TextPipeline pipeline;
    bool converts = false;
    bool needsHeadings = false;
    int ruleBudget = RunLimits().msPerRule;
};
