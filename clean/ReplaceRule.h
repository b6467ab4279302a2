#pragma once

#include <QJsonObject>
#include <QRegularExpression>
#include <QString>

/// One user replacement rule (净化规则): every place where `pattern` occurs
/// is replaced by `replacement` (empty: removed).
///
/// Regular expressions are PCRE2 through QRegularExpression with Unicode
/// properties (\s, \w, \d know CJK and U+3000) and multi-line anchors (^ and
/// $ match at every line). In the replacement, $0..$9 (one digit) and
/// ${name} or ${12} insert groups (an absent group inserts nothing), and a
/// backslash makes the next character literal (\$ gives $). A plain rule's
/// replacement is taken literally.
struct ReplaceRule
{
    enum Scope { HeadingsOnly, BodyOnly, Both };

    QString name;
    QString group;
    QString pattern;
    QString replacement;
    bool isRegex = false;
    bool enabled = true;
    int order = 0;
    Scope scope = BodyOnly;
    /// The object the rule was read from: fields this reader does not know
    /// are written back unchanged.
    QJsonObject json;

    /// The name to show: the name, or the pattern when it has none.
    QString displayName() const;
    /// The fields of `json` that are not the ones above.
    QJsonObject unknownFields() const;
    /// `json` with the fields above written over it.
    QJsonObject toJson() const;
    /// False (with a reason in Chinese) for an empty pattern or a regular
    /// expression that does not compile.
    bool check(QString *problem) const;
    /// The compiled expression, with the options every rule uses.
    QRegularExpression regularExpression() const;

    /// Equal fields and equal unknown fields.
    bool operator==(const ReplaceRule &other) const;
    bool operator!=(const ReplaceRule &other) const { return !(*this == other); }
};
