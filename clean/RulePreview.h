#pragma once

#include <QString>
#include <QVector>

/// What one rule would do to a text, for the live preview of the rules
/// dialog: how many places it matches and a few of them in context.
struct RulePreview
{
    struct Example
    {
        int position = 0; // in the text the preview ran on
        QString before;   // up to 10 characters before the match
        QString matched;
        QString after;       // up to 10 characters after it
        QString replacement; // what the match would become
    };
    int count = 0;
    QVector<Example> examples;
    /// The rule ran over its budget (count is then a lower bound).
    bool runaway = false;
    bool cancelled = false;
    /// Why the rule cannot run (empty pattern, bad expression); empty if it can.
    QString problem;
};
