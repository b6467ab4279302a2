#include "Tidy.h"

#include "OffsetMapBuilder.h"

namespace {

struct Line
{
    int start = 0;
    int end = 0;        // the line end or the text end
    int indentEnd = 0;  // after the leading whitespace
    int contentEnd = 0; // after the last non-blank character
    bool hasLineEnd = false;
    bool heading = false;

    bool isBlank() const { return indentEnd == end; }
};

// Hands out the lines of a text in order, each marked when it overlaps a
// heading range (ranges sorted and merged).
class LineReader
{
public:
    LineReader(const QString &text, const QVector<TextRange> &headings) : m_text(text), m_headings(headings) {}

    bool atEnd() const { return m_at > m_text.size(); }

    Line next()
    {
        const QChar *p = m_text.constData();
        const int n = m_text.size();
        Line line;
        line.start = m_at;
        line.end = m_at;
        while (line.end < n && p[line.end] != QLatin1Char('\n'))
            ++line.end;
        line.hasLineEnd = line.end < n;
        line.indentEnd = line.start;
        while (line.indentEnd < line.end && Tidy::isBlank(p[line.indentEnd]))
            ++line.indentEnd;
        line.contentEnd = line.end;
        while (line.contentEnd > line.indentEnd && Tidy::isBlank(p[line.contentEnd - 1]))
            --line.contentEnd;
        while (m_heading < m_headings.size() && m_headings[m_heading].end <= line.start)
            ++m_heading;
        line.heading =
            m_heading < m_headings.size() && m_headings[m_heading].start < std::max(line.end, line.start + 1);
        m_at = line.end + 1; // past the text end after its last line
        return line;
    }

private:
    const QString &m_text;
    const QVector<TextRange> &m_headings;
    int m_at = 0;
    int m_heading = 0;
};

bool isLatinWord(QChar c)
{
    return c.unicode() < 0x2E80 && c.isLetterOrNumber(); // below the CJK blocks
}

} // namespace

bool Tidy::endsSentence(QChar c)
{
    static const QString closers = QStringLiteral("。！？…」』”’）】》〉〕.!?\"')]～~");
    return closers.contains(c);
}

bool Tidy::apply(const QString &text, const QVector<TextRange> &headings, const Options &options,
                 const RunLimits &limits, QString *out, OffsetMap *map)
{
    if (options.isEmpty()) {
        *out = text;
        *map = OffsetMap::identity(text.size());
        return true;
    }
    static const QString indent = QStringLiteral("\u3000\u3000");
    const QVector<TextRange> heads = TextRange::normalized(headings, text.size());
    const QChar *p = text.constData();
    QString result;
    result.reserve(text.size() + text.size() / 16);
    OffsetMapBuilder builder;
    LineReader reader(text, heads);
    Line line = reader.next();
    bool previousBlank = false;
    bool continues = false; // this line was joined to the one before: no paragraph start
    for (int count = 1;; ++count) {
        if ((count & 0xFFF) == 0 && limits.cancelled())
            return false;
        const bool hasNext = !reader.atEnd();
        const Line next = hasNext ? reader.next() : Line();
        if (line.isBlank() && options.foldBlankLines && previousBlank) {
            builder.replace(line.end - line.start + (line.hasLineEnd ? 1 : 0), 0);
        } else {
            int from = line.start;
            if (options.indentParagraphs && !line.isBlank() && !line.heading && !continues &&
                QStringRef(&text, line.start, line.indentEnd - line.start) != indent) {
                result += indent;
                builder.replace(line.indentEnd - line.start, indent.size());
                from = line.indentEnd;
            }
            const bool join = options.joinWrappedLines && line.hasLineEnd && hasNext && !line.isBlank() &&
                              !next.isBlank() && !line.heading && !next.heading && next.indentEnd == next.start &&
                              !endsSentence(p[line.contentEnd - 1]);
            const int keepTo = join ? line.contentEnd : line.end + (line.hasLineEnd ? 1 : 0);
            result.append(p + from, keepTo - from);
            builder.keep(keepTo - from);
            if (join) { // trailing whitespace goes with the line end
                const bool space = isLatinWord(p[line.contentEnd - 1]) && isLatinWord(p[next.start]);
                if (space)
                    result += QLatin1Char(' ');
                builder.replace(line.end + 1 - line.contentEnd, space ? 1 : 0);
            }
            continues = join;
        }
        previousBlank = line.isBlank();
        if (!hasNext)
            break;
        line = next;
    }
    *out = result;
    *map = builder.finish();
    return true;
}
