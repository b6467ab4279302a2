#pragma once

#include "ReplaceRule.h"

#include <QDeadlineTimer>
#include <QRegularExpression>
#include <QString>
#include <QVector>

#include <atomic>

/// One rule made ready to search: the expression compiled, the replacement
/// parsed. A matcher is used by one thread at a time; make one per thread.
class RuleMatcher
{
public:
    struct Match
    {
        int start;
        int length;
        QString replacement;
    };
    enum Outcome { Finished, Runaway, Cancelled };

    explicit RuleMatcher(const ReplaceRule &rule);
    bool isValid() const { return m_problem.isEmpty(); }
    QString problem() const { return m_problem; }

    /// Appends the matches in text[from, to) to *matches, in order, and
    /// counts them in *count; replacements are made for the first
    /// `keepAtMost` matches only (previews count far more than they show).
    /// A regular expression runs on `matchText` (the same length as `text`,
    /// lone surrogates replaced) and takes groups from `text`. Empty matches
    /// are passed over: they would change nothing or insert everywhere.
    /// Runaway when the deadline passes or PCRE2 gives up (its match limit),
    /// checked between matches; Cancelled when *cancel or *stop turns true.
    Outcome find(const QString &text, const QString &matchText, int from, int to, const QDeadlineTimer &deadline,
                 const std::atomic<bool> *cancel, const std::atomic<bool> *stop, QVector<Match> *matches, int *count,
                 int keepAtMost = INT_MAX) const;

private:
    struct Part
    {
        QString literal;
        int group = -1; // -1: literal
        QString groupName;
    };
    void parseReplacement(const QString &replacement);
    QString expand(const QRegularExpressionMatch &match, const QString &text, int base) const;

    ReplaceRule m_rule;
    QRegularExpression m_regex;
    QVector<Part> m_parts;
    bool m_templated = false;
    QString m_problem;
};
