#pragma once

#include <QString>
#include <QVector>

#include <set>

/// The occurrences of a keyword in a text, and which of them carry a mark.
///
/// An occurrence is a literal, case-insensitive match; an empty keyword has
/// none. markAll() counts without overlap from the start of the text and
/// marks what it counts; mark() marks one more occurrence. No list of all
/// occurrences is kept (a common character in a 50 MB book has hundreds of
/// thousands): only the first counted occurrence of each stretch of the text,
/// from which marksIn() walks to the part of the text on screen.
class KeywordSearch
{
public:
    /// `text` is not copied and must outlive the search.
    explicit KeywordSearch(const QString &text);

    /// Starts over with another keyword: no marks, not counted.
    void reset(const QString &keyword);
    const QString &keyword() const { return key; }

    /// Start of the first occurrence at or after `from`, or -1.
    int next(int from) const;
    /// Start of the last occurrence before `before`, or -1.
    int previous(int before) const;

    /// Counts the occurrences without overlap from the start and marks them.
    int markAll();
    bool allMarked() const { return counted; }
    void mark(int start);
    /// Starts of the marked occurrences that overlap [from, to), ascending.
    QVector<int> marksIn(int from, int to) const;

private:
    int nextBefore(int from, int limit) const;
    bool matchesAt(int start) const;
    int nextByAnchor(int from) const;
    int previousByAnchor(int before) const;
    void addCountedMarks(int from, int to, QVector<int> *starts) const;

    const QString &text;
    QString key;
    // next() and previous() scan for the keyword's character with the fewest
    // case variants, then compare the keyword there: several times faster
    // than QString's case-insensitive search over a whole book. Keywords with
    // surrogates are left to QString (anchor -1).
    QString folded;
    int anchor = -1;
    bool anchorHasVariants = false;
    bool counted = false;
    int count = 0;
    // The first counted occurrence in each stretch of 65,536 characters that
    // has one: the count can be taken up there without walking from the start.
    QVector<int> stretchStarts;
    std::set<int> singles; // marked one by one by next and previous
};
