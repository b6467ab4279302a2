#include "ChapterScanner.h"

namespace {

const char16_t kFirst = u'第';
// Strict headings are short; a longer line is prose that starts like one.
const int kStrictMaxLength = 40;

bool endsLine(QChar c)
{
    return c.unicode() == u'\n' || c.unicode() == QChar::ParagraphSeparator;
}

bool isSpaceForMatching(QChar c)
{
    return c.isSpace(); // U+00A0 is a space to QChar as well
}

QString strictPattern()
{
    const QString number = QStringLiteral("[0-9０-９〇零一二三四五六七八九十百千万两壹贰叁肆伍陆柒捌玖拾佰仟萬]+");
    // What may follow a heading's unit: nothing, or a space or a separator
    // and a title. A unit running straight into text ("第十回合时") is prose.
    const QString end = QStringLiteral("(?:$|[\\s：:、.·—])");
    return QStringLiteral("^(?:第\\s*") + number + QStringLiteral("\\s*[章回节卷集部篇幕]") + end +
           QStringLiteral("|第\\s*") + number + QStringLiteral("\\s+\\w") +
           QStringLiteral("|(?:Chapter|CHAPTER)\\s*[0-9０-９]+") + end +
           QStringLiteral("|(?:序章|序言|楔子|引子|前言|尾声|后记|终章|番外)(?:") + number + QStringLiteral(")?") +
           end + QLatin1Char(')');
}

// The characters a strict heading can start with: a quick test before the
// expression.
bool mayStartStrictHeading(QChar c)
{
    static const QString starts = QStringLiteral("第C序楔引前尾后终番");
    return starts.contains(c);
}

} // namespace

QString ChapterScanner::pattern()
{
    const QString numerals = QStringLiteral("[0-9一二三四五六七八九零〇十百千万\\s]+");
    const QString heading = QStringLiteral("第") + numerals;
    return QStringLiteral("^\\s*(") + heading + QStringLiteral("章|") + heading + QStringLiteral("回|") + heading +
           QStringLiteral("节|") + heading + QStringLiteral("卷|") + heading + QStringLiteral("\\s+\\w{1,16})");
}

ChapterScanner::ChapterScanner(const ChapterRule &rule)
    : kind(rule.isValid() ? rule.kind() : ChapterRule::Standard),
      expression(pattern(), Qt::CaseSensitive, QRegExp::RegExp)
{
    if (kind == ChapterRule::Strict)
        regularExpression.setPattern(strictPattern());
    else if (kind == ChapterRule::Custom)
        regularExpression.setPattern(rule.pattern());
    regularExpression.setPatternOptions(QRegularExpression::UseUnicodePropertiesOption);
}

bool ChapterScanner::matchStandard(const QChar *line, int length, int first, Chapter *chapter)
{
    // Cheap pre-test: the pattern needs "第" as the line's first non-space.
    if (line[first].unicode() != kFirst)
        return false;
    const QString original(line, length);
    QString forMatching = original;
    forMatching.replace(QChar::Nbsp, QLatin1Char(' '));
    if (expression.indexIn(forMatching) != 0)
        return false;
    chapter->title = original.trimmed();
    chapter->offset = first; // relative to the line; the caller adds its start
    return true;
}

bool ChapterScanner::matchStrict(const QChar *line, int first, int last, Chapter *chapter)
{
    const int length = last - first + 1;
    if (length > kStrictMaxLength || !mayStartStrictHeading(line[first]))
        return false;
    const QString trimmed = QString::fromRawData(line + first, length);
    if (!regularExpression.match(trimmed).hasMatch())
        return false;
    chapter->title = QString(line + first, length);
    chapter->offset = first;
    return true;
}

bool ChapterScanner::matchCustom(const QChar *line, int length, int first, int last, Chapter *chapter)
{
    if (!regularExpression.match(QString::fromRawData(line, length)).hasMatch())
        return false;
    chapter->title = QString(line + first, last - first + 1);
    chapter->offset = first;
    return true;
}

bool ChapterScanner::matchLine(const QChar *line, int length, Chapter *chapter)
{
    int first = 0;
    while (first < length && isSpaceForMatching(line[first]))
        ++first;
    if (first == length)
        return false;
    int last = length - 1;
    while (isSpaceForMatching(line[last]))
        --last;
    bool matched = false;
    switch (kind) {
    case ChapterRule::Standard:
        matched = matchStandard(line, length, first, chapter);
        break;
    case ChapterRule::Strict:
        matched = matchStrict(line, first, last, chapter);
        break;
    case ChapterRule::Custom:
        matched = matchCustom(line, length, first, last, chapter);
        break;
    }
    chapter->valid = matched;
    return matched;
}

bool ChapterScanner::scan(const QString &text, const std::function<void(const Chapter &)> &found,
                          const std::function<bool(int)> &keepGoing)
{
    const QChar *const data = text.constData();
    const int size = text.size();
    int lineStart = 0;
    while (lineStart <= size) {
        if (!keepGoing(lineStart))
            return false;
        int lineEnd = lineStart;
        while (lineEnd < size && !endsLine(data[lineEnd]))
            ++lineEnd;
        Chapter chapter;
        if (matchLine(data + lineStart, lineEnd - lineStart, &chapter)) {
            chapter.offset += lineStart;
            found(chapter);
        }
        lineStart = lineEnd + 1;
    }
    return true;
}

int ChapterScanner::count(const QString &text, QDeadlineTimer deadline, bool *complete, int *scanned)
{
    int found = 0;
    int reached = 0;
    // The clock is read at every line: one line of a custom pattern may use
    // PCRE's whole match limit, some tens of milliseconds.
    const bool finished = scan(
        text, [&](const Chapter &) { ++found; },
        [&](int at) {
            reached = at;
            return !deadline.hasExpired();
        });
    if (complete)
        *complete = finished;
    if (scanned)
        *scanned = finished ? text.size() : reached;
    return found;
}
