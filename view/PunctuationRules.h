#pragma once

#include <QString>

class GraphemeBreaks;

/// Chinese typesetting's 避头尾 for the lines of a page: closing marks never
/// start a line, opening marks never end one, and the two halves of a
/// "……" or "——" stay together.
class PunctuationRules
{
public:
    explicit PunctuationRules(GraphemeBreaks *graphemes);

    /// Whether a line of `text` may end at `pos`, a cluster boundary.
    bool mayBreakAt(const QString &text, int pos) const;
    /// The count of the line that starts at `start` and would hold `count`
    /// characters, moved to where it may end: up to three clusters fewer;
    /// failing that, one cluster more when that cluster is a mark that must
    /// not start a line (it hangs past the page's edge); else unchanged.
    /// A line ended by its line feed is never moved.
    int lineLength(const QString &text, int start, int count) const;

private:
    bool mustNotStartLine(const QString &text, int pos) const;
    static bool splitsPair(const QString &text, int pos);

    GraphemeBreaks *graphemes;
};
