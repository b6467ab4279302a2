#pragma once

#include "ReplaceRule.h"

#include <QByteArray>
#include <QList>
#include <QStringList>

/// The replacement-rule files the common Chinese reading apps exchange: a
/// JSON array of objects with name, group, pattern, replacement, isRegex,
/// isEnabled, order, scopeTitle and scopeContent (or one such object).
class RuleFile
{
public:
    /// Reads the rules of `json` into *rules (replacing its contents).
    /// Defaults for missing fields: enabled, plain text (isRegex false),
    /// order 0, empty name, group and replacement, scopeContent true,
    /// scopeTitle false; null counts as missing. An entry that is not an
    /// object, has no pattern, a field of the wrong type, a regular
    /// expression that does not compile, or neither scope, is skipped with a
    /// message "第 N 条：…" (N counts from 1) in *problems.
    /// False (with a message) when the data is not a JSON array or object.
    static bool read(const QByteArray &json, QList<ReplaceRule> *rules, QStringList *problems);
    /// UTF-8 JSON, one rule per line; reads back into equal rules, with
    /// the fields this reader does not know.
    static QByteArray write(const QList<ReplaceRule> &rules);

private:
    static bool readOne(const QJsonObject &o, ReplaceRule *rule, QString *problem);
};
