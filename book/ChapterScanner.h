#pragma once

#include "Chapter.h"

#include <QRegExp>
#include <QString>

#include <functional>

/// Finds chapter headings ("第十章", "第12回", "第三卷 终局", ...) line by line.
///
/// A line ends at a line feed or U+2029; each line yields at most one
/// heading, which must start the line after optional white space (U+00A0
/// counts as a space). This gives the same chapters as searching a plain-text
/// QTextDocument of the whole text with the same pattern, without building
/// the document.
class ChapterScanner
{
public:
    ChapterScanner();

    /// Scans `text` from the start. `found` receives each chapter in text
    /// order; `keepGoing`, asked between lines, stops the scan when false.
    /// Returns false when stopped.
    bool scan(const QString &text, const std::function<void(const Chapter &)> &found,
              const std::function<bool()> &keepGoing);

    /// The heading pattern, matched against one line.
    static QString pattern();

private:
    bool matchLine(const QChar *line, int length, Chapter *chapter);

    QRegExp expression;
};
