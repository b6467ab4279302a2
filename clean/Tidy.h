#pragma once

#include "OffsetMap.h"
#include "RunLimits.h"
#include "TextRange.h"

#include <QString>
#include <QVector>

/// Layout clean-up of a text whose line ends are '\n', with an offset map.
/// Each option works on its own; all decisions are taken on the lines as
/// they come in, so the options do not depend on each other's order.
class Tidy
{
public:
    struct Options
    {
        /// A run of blank lines (only whitespace, U+3000 included) keeps its
        /// first line; the others go with their line ends.
        bool foldBlankLines = false;
        /// Every paragraph (a non-blank line that is not a heading and not
        /// joined to the line before) starts with exactly U+3000 U+3000 in
        /// place of whatever leading whitespace it had.
        bool indentParagraphs = false;
        /// A line that does not end a sentence, followed by a line that
        /// neither is blank nor starts with whitespace, loses its line end
        /// (for Latin letters or digits on both sides it becomes a space).
        /// Headings are never joined to their neighbours.
        bool joinWrappedLines = false;

        bool isEmpty() const { return !foldBlankLines && !indentParagraphs && !joinWrappedLines; }
    };

    /// Tidies `text` into *out with *map from `text` onto it. `headings`
    /// are heading lines of `text` (any order; clamped). False only when
    /// cancelled.
    static bool apply(const QString &text, const QVector<TextRange> &headings, const Options &options,
                      const RunLimits &limits, QString *out, OffsetMap *map);

    /// Whether a line whose last non-blank character is `c` ends a sentence.
    static bool endsSentence(QChar c);
    /// Whitespace for these rules: QChar::isSpace (U+3000 included) but not '\n'.
    static bool isBlank(QChar c) { return c != QLatin1Char('\n') && c.isSpace(); }
};
