#pragma once

#include "Chapter.h"
#include "ChapterRule.h"

#include <QDeadlineTimer>
#include <QRegExp>
#include <QRegularExpression>
#include <QString>

#include <functional>

/// Finds chapter headings ("第十章", "第12回", "第三卷 终局", ...) line by line,
/// by a ChapterRule (Standard unless told otherwise).
///
/// A line ends at a line feed or U+2029; each line yields at most one
/// heading, and a blank line none. Standard: the heading must start the line
/// after optional white space (U+00A0 counts as a space); this gives the same
/// chapters as searching a plain-text QTextDocument of the whole text with
/// the same pattern, without building the document. The offset is that of
/// the line's first "第" (Standard) or first non-space character (Strict,
/// Custom); the title is the trimmed line.
class ChapterScanner
{
public:
    /// An invalid custom rule scans as Standard.
    explicit ChapterScanner(const ChapterRule &rule = ChapterRule());

    /// Scans `text` from the start. `found` receives each chapter in text
    /// order; `keepGoing`, asked before each line with where it starts, stops
    /// the scan when false. Returns false when stopped.
    bool scan(const QString &text, const std::function<void(const Chapter &)> &found,
              const std::function<bool(int)> &keepGoing);

    /// How many headings the rule finds in `text`, for a preview. Gives up at
    /// `deadline`; *complete then says false, the count covers the lines
    /// scanned so far and *scanned says how far that was.
    int count(const QString &text, QDeadlineTimer deadline = QDeadlineTimer(QDeadlineTimer::Forever),
              bool *complete = nullptr, int *scanned = nullptr);

    /// The Standard heading pattern, matched against one line.
    static QString pattern();

private:
    bool matchLine(const QChar *line, int length, Chapter *chapter);
    bool matchStandard(const QChar *line, int length, int first, Chapter *chapter);
    bool matchStrict(const QChar *line, int first, int last, Chapter *chapter);
    bool matchCustom(const QChar *line, int length, int first, int last, Chapter *chapter);

    ChapterRule::Kind kind;
    QRegExp expression;
    QRegularExpression regularExpression; // Strict and Custom
};
