#include "ChapterScanner.h"

namespace {

const char16_t kFirst = u'第';

bool endsLine(QChar c)
{
    return c.unicode() == u'\n' || c.unicode() == QChar::ParagraphSeparator;
}

bool isSpaceForMatching(QChar c)
{
    return c.isSpace(); // U+00A0 is a space to QChar as well
}

} // namespace

QString ChapterScanner::pattern()
{
    const QString numerals = QStringLiteral("[0-9一二三四五六七八九零〇十百千万\\s]+");
    const QString heading = QStringLiteral("第") + numerals;
    return QStringLiteral("^\\s*(") + heading + QStringLiteral("章|") + heading + QStringLiteral("回|") + heading +
           QStringLiteral("节|") + heading + QStringLiteral("卷|") + heading + QStringLiteral("\\s+\\w{1,16})");
}

ChapterScanner::ChapterScanner() : expression(pattern(), Qt::CaseSensitive, QRegExp::RegExp) {}

bool ChapterScanner::matchLine(const QChar *line, int length, Chapter *chapter)
{
    // Cheap pre-test: the pattern needs "第" as the line's first non-space.
    int first = 0;
    while (first < length && isSpaceForMatching(line[first]))
        ++first;
    if (first == length || line[first].unicode() != kFirst)
        return false;

    const QString original(line, length);
    QString forMatching = original;
    forMatching.replace(QChar::Nbsp, QLatin1Char(' '));
    if (expression.indexIn(forMatching) != 0)
        return false;
    chapter->title = original.trimmed();
    chapter->offset = first; // relative to the line; the caller adds its start
    chapter->valid = true;
    return true;
}

bool ChapterScanner::scan(const QString &text, const std::function<void(const Chapter &)> &found,
                          const std::function<bool()> &keepGoing)
{
    const QChar *const data = text.constData();
    const int size = text.size();
    int lineStart = 0;
    while (lineStart <= size) {
        if (!keepGoing())
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
