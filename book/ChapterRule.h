#pragma once

#include <QString>

/// Which lines the chapter scan takes for headings: the reader's long-standing
/// pattern (Standard), a stricter one that passes over prose lines which only
/// happen to start like a heading (Strict), or a user's regular expression
/// matched against each line (Custom). A value type, stored by name().
class ChapterRule
{
public:
    enum Kind { Standard, Strict, Custom };

    ChapterRule() = default;
    static ChapterRule strict();
    /// A user's pattern, found anywhere in a line unless anchored with "^";
    /// Unicode-aware, so \s takes U+3000 and \w takes hanzi. An invalid one
    /// makes a rule that isValid() says no to, and that is never applied:
    /// the scan then uses Standard.
    static ChapterRule custom(const QString &pattern);
    /// The rule stored as `name` ("standard", "strict" or "custom", the last
    /// with `pattern`). Standard for an unknown name or an invalid pattern.
    static ChapterRule fromName(const QString &name, const QString &pattern = QString());

    /// False for an empty pattern or one Qt cannot compile; *error then gets
    /// the reason (Qt's message) and *errorOffset where it was found.
    static bool isValidPattern(const QString &pattern, QString *error = nullptr, int *errorOffset = nullptr);

    Kind kind() const { return kind_; }
    /// "standard", "strict" or "custom".
    QString name() const;
    /// The user's pattern; empty unless Custom.
    QString pattern() const { return pattern_; }
    /// False only for a Custom rule whose pattern is invalid.
    bool isValid() const;

    bool operator==(const ChapterRule &other) const { return kind_ == other.kind_ && pattern_ == other.pattern_; }
    bool operator!=(const ChapterRule &other) const { return !(*this == other); }

private:
    ChapterRule(Kind kind, const QString &pattern) : kind_(kind), pattern_(pattern) {}

    Kind kind_ = Standard;
    QString pattern_;
};
