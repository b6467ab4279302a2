#pragma once

#include <QString>

/// A stretch of the book's text, [start, end).
struct Sentence
{
    int start = -1;
    int end = -1;
    bool isValid() const { return start >= 0 && end > start; }
    bool operator==(const Sentence &other) const { return start == other.start && end == other.end; }
};

/// Cuts a book's text into the sentences a voice reads one at a time:
/// after 。！？…； (and their ASCII kin) and at line ends, with the closing
/// quotes and brackets that follow kept with their sentence. Only the text
/// asked for is looked at, so the cost does not grow with the book.
class SentenceSplitter
{
public:
    /// A sentence longer than this is cut after its last comma before it
    /// (or here, when it has none): a voice needs a breath.
    static constexpr int LongestSentence = 120;

    /// The first sentence that begins at or after `from` (blank lines and
    /// leading spaces skipped), ending at `limit` at the latest; invalid when
    /// nothing but blanks is left before `limit`.
    static Sentence next(const QString &text, int from, int limit);
    /// Where the first sentence that begins in [from, to) starts, skipping
    /// the end of one begun before `from`; `from` when none begins there.
    static int firstStartIn(const QString &text, int from, int to);
    /// True when `from` is a sentence's first character (or blanks before it).
    static bool beginsSentence(const QString &text, int from);
    /// What a speech service is handed for `sentence`: line breaks and tabs
    /// as one space, control characters dropped, trimmed (an empty line would
    /// garble the message in speech-dispatcher). Empty when there is nothing
    /// to say: no letter or digit in it.
    static QString speakable(const QStringRef &sentence);
};
