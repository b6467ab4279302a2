#include "SentenceSplitter.h"

namespace {

bool isLineBreak(QChar c)
{
    const ushort u = c.unicode();
    return u == '\n' || u == '\r' || u == 0x0b || u == 0x0c || u == 0x85 || u == 0x2028 || u == 0x2029;
}

bool isBlank(QChar c)
{
    return c.isSpace() || c.category() == QChar::Other_Control || c.unicode() == 0xfeff;
}

bool endsSentence(QChar c)
{
    static const QString marks = QStringLiteral("。！？…；!?;．｡");
    return marks.contains(c);
}

bool closes(QChar c)
{
    static const QString marks = QStringLiteral("”’」』）》〉】〕〗〙〛\"')]}＂＇");
    return marks.contains(c);
}

bool isComma(QChar c)
{
    static const QString marks = QStringLiteral("，、：,:—");
    return marks.contains(c);
}

// Past the marks that end a sentence and the closing quotes and brackets
// after them: "……”！" stays whole.
int pastEnding(const QString &text, int at, int limit)
{
    while (at < limit && (endsSentence(text.at(at)) || closes(text.at(at))))
        ++at;
    return at;
}

// An ASCII full stop ends a sentence before a blank or the end of the text
// only: not in 3.14 or www.example.org.
bool isFullStop(const QString &text, int at, int limit)
{
    return text.at(at) == QLatin1Char('.') && (at + 1 >= limit || isBlank(text.at(at + 1)));
}

} // namespace

Sentence SentenceSplitter::next(const QString &text, int from, int limit)
{
    limit = qMin(limit, text.size());
    int start = qMax(0, from);
    while (start < limit && isBlank(text.at(start)))
        ++start;
    if (start >= limit)
        return {};
    for (int at = start; at < limit; ++at) {
        const QChar c = text.at(at);
        if (isLineBreak(c))
            return {start, at};
        if (endsSentence(c) || isFullStop(text, at, limit))
            return {start, pastEnding(text, at + 1, limit)};
        if (at - start + 1 >= LongestSentence) {
            int cut = at + 1;
            for (int back = at; back > start; --back) {
                if (isComma(text.at(back))) {
                    cut = back + 1;
                    break;
                }
            }
            // Never between the halves of a surrogate pair.
            if (cut < limit && text.at(cut).isLowSurrogate())
                ++cut;
            return {start, pastEnding(text, cut, limit)};
        }
    }
    return {start, limit};
}

bool SentenceSplitter::beginsSentence(const QString &text, int from)
{
    int back = qMin(from, text.size()) - 1;
    while (back >= 0 && isBlank(text.at(back)) && !isLineBreak(text.at(back)))
        --back;
    if (back < 0 || isLineBreak(text.at(back)))
        return true;
    while (back >= 0 && closes(text.at(back)))
        --back;
    return back >= 0 && (endsSentence(text.at(back)) || isFullStop(text, back, text.size()));
}

int SentenceSplitter::firstStartIn(const QString &text, int from, int to)
{
    if (beginsSentence(text, from))
        return from;
    const Sentence rest = next(text, from, to);
    if (!rest.isValid() || rest.end >= to)
        return from;
    const Sentence following = next(text, rest.end, to);
    return following.isValid() ? following.start : from;
}

QString SentenceSplitter::speakable(const QStringRef &sentence)
{
    QString out;
    out.reserve(sentence.size());
    bool pendingSpace = false;
    bool hasWords = false;
    for (const QChar c : sentence) {
        if (isBlank(c)) {
            // Spaces between words stay one space; the rest is dropped.
            pendingSpace = pendingSpace || c.isSpace();
            continue;
        }
        if (pendingSpace && !out.isEmpty())
            out += QLatin1Char(' ');
        pendingSpace = false;
        hasWords = hasWords || c.isLetterOrNumber();
        out += c;
    }
    return hasWords ? out : QString();
}
