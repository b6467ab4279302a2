#include "RuleRun.h"

#include "OffsetMapBuilder.h"
#include "RuleTransform.h"

#include <QDeadlineTimer>

#include <algorithm>
#include <chrono>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

// Texts big enough to be worth a second thread.
constexpr int ParallelFrom = 1 << 20;
// Longer texts do not fit a QString (Qt 5 on 64-bit: about 2^30 units).
constexpr qint64 MaxLength = (qint64(1) << 30) - 64;

bool isLoneAt(const QChar *p, int i, int n)
{
    if (p[i].isHighSurrogate())
        return !(i + 1 < n && p[i + 1].isLowSurrogate());
    return p[i].isLowSurrogate() && !(i > 0 && p[i - 1].isHighSurrogate());
}

bool containsSurrogate(const QString &s)
{
    return std::any_of(s.cbegin(), s.cend(), [](QChar c) { return c.isSurrogate(); });
}

} // namespace

struct RuleRun::Part
{
    QString text;
    OffsetMapBuilder builder;
    Outcome outcome = Finished;
};

bool RuleRun::hasLoneSurrogate(const QString &s)
{
    const QChar *p = s.constData();
    const int n = s.size();
    for (int i = 0; i < n; ++i)
        if ((p[i].unicode() & 0xF800) == 0xD800 && isLoneAt(p, i, n))
            return true;
    return false;
}

QString RuleRun::withoutLoneSurrogates(const QString &s)
{
    QString out = s;
    const QChar *p = s.constData();
    for (int i = 0; i < s.size(); ++i)
        if ((p[i].unicode() & 0xF800) == 0xD800 && isLoneAt(p, i, s.size()))
            out[i] = QChar(QChar::ReplacementCharacter);
    return out;
}

QVector<TextRange> RuleRun::subjects(const QString &text, const QVector<TextRange> &headings, ReplaceRule::Scope scope)
{
    if (scope == ReplaceRule::Both)
        return RuleTransform::chunks(text, 0, text.size());
    QVector<TextRange> out;
    int bodyFrom = 0;
    for (const TextRange &h : headings) {
        if (scope == ReplaceRule::HeadingsOnly)
            out += RuleTransform::chunks(text, h.start, h.end);
        else
            out += RuleTransform::chunks(text, bodyFrom, h.start);
        bodyFrom = std::max(bodyFrom, h.end);
    }
    if (scope == ReplaceRule::BodyOnly)
        out += RuleTransform::chunks(text, bodyFrom, text.size());
    return out;
}

qint64 RuleRun::replacedLength(const QString &text, const QVector<RuleMatcher::Match> &matches)
{
    qint64 length = text.size();
    for (const RuleMatcher::Match &m : matches)
        length += m.replacement.size() - m.length;
    return length;
}

QString RuleRun::replaced(const QString &text, const QVector<RuleMatcher::Match> &matches, OffsetMap *map)
{
    QString out(int(replacedLength(text, matches)), Qt::Uninitialized);
    QChar *d = out.data();
    const QChar *s = text.constData();
    OffsetMapBuilder builder;
    int at = 0;
    for (const RuleMatcher::Match &m : matches) {
        d = std::copy(s + at, s + m.start, d);
        builder.keep(m.start - at);
        d = std::copy(m.replacement.cbegin(), m.replacement.cend(), d);
        builder.replace(m.length, m.replacement.size());
        at = m.start + m.length;
    }
    std::copy(s + at, s + text.size(), d);
    builder.keep(text.size() - at);
    *map = builder.finish();
    return out;
}

RuleRun::RuleRun(const QList<ReplaceRule> &rules, const QString &text, const QVector<TextRange> &headings,
                 const RunLimits &limits)
    : m_rules(rules), m_source(text), m_headings(headings), m_limits(limits),
      m_chunks(RuleTransform::chunks(text, 0, text.size())), m_spentNs(new std::atomic<qint64>[rules.size()])
{
    for (int i = 0; i < rules.size(); ++i)
        m_spentNs[i] = 0;
}

RuleRun::Outcome RuleRun::runChunk(const TextRange &chunk, const QVector<RuleMatcher> &matchers, QString *out,
                                   OffsetMap *map)
{
    QString piece = m_source.mid(chunk.start, chunk.end - chunk.start);
    OffsetMap pieceMap = OffsetMap::identity(piece.size());
    QVector<TextRange> heads; // the headings of this stretch, in its own positions
    auto h = std::upper_bound(m_headings.cbegin(), m_headings.cend(), chunk.start,
                              [](int at, const TextRange &r) { return at < r.end; });
    for (; h != m_headings.cend() && h->start < chunk.end; ++h)
        heads.append(
            TextRange{std::max(h->start, chunk.start) - chunk.start, std::min(h->end, chunk.end) - chunk.start});
    bool lone = hasLoneSurrogate(piece);
    QString matchText = lone ? withoutLoneSurrogates(piece) : piece;
    const qint64 budgetNs = qint64(std::max(0, m_limits.msPerRule)) * 1000000;
    for (int r = 0; r < m_rules.size(); ++r) {
        // at(): the list is shared with the transform's, and a non-const
        // look-up would detach it from two threads at once.
        const ReplaceRule &rule = m_rules.at(r);
        QVector<TextRange> parts;
        if (rule.scope == ReplaceRule::Both) {
            parts.append(TextRange{0, piece.size()});
        } else {
            QVector<TextRange> shifted;
            for (const TextRange &h : heads)
                shifted.append(TextRange{pieceMap.toShown(h.start), pieceMap.toShown(h.end)});
            parts = subjects(piece, shifted, rule.scope);
        }
        const auto started = Clock::now();
        const qint64 leftNs = budgetNs - m_spentNs[r].load(std::memory_order_relaxed);
        const QDeadlineTimer deadline(std::chrono::nanoseconds(std::max<qint64>(0, leftNs)), Qt::PreciseTimer);
        QVector<RuleMatcher::Match> matches;
        int count = 0;
        RuleMatcher::Outcome found = RuleMatcher::Finished;
        for (const TextRange &s : parts) {
            found = matchers[r].find(piece, matchText, s.start, s.end, deadline, m_limits.cancel, &m_stop, &matches,
                                     &count);
            if (found != RuleMatcher::Finished)
                break;
        }
        const qint64 spent = std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now() - started).count();
        const bool overBudget = m_spentNs[r].fetch_add(spent) + spent > budgetNs;
        if (found == RuleMatcher::Cancelled)
            return m_limits.cancelled() ? Cancelled : Runaway; // or the other thread found a runaway
        if (found == RuleMatcher::Runaway || overBudget) {
            int none = -1;
            m_runaway.compare_exchange_strong(none, r);
            return Runaway;
        }
        if (matches.isEmpty())
            continue;
        if (replacedLength(piece, matches) > MaxLength)
            return Failed;
        OffsetMap step;
        piece = replaced(piece, matches, &step);
        pieceMap = pieceMap.then(step);
        if (lone || containsSurrogate(rule.pattern) || containsSurrogate(rule.replacement))
            lone = hasLoneSurrogate(piece);
        matchText = lone ? withoutLoneSurrogates(piece) : piece;
    }
    *out = piece;
    *map = pieceMap;
    return Finished;
}

void RuleRun::runChunks(int first, int last, Part *part)
{
    try {
        QVector<RuleMatcher> matchers; // one set per thread: a matcher is not shared
        for (const ReplaceRule &rule : qAsConst(m_rules))
            matchers.append(RuleMatcher(rule));
        part->text.reserve(first < last ? m_chunks.at(last - 1).end - m_chunks.at(first).start : 0);
        for (int c = first; c < last && part->outcome == Finished; ++c) {
            QString piece;
            OffsetMap map;
            part->outcome = runChunk(m_chunks.at(c), matchers, &piece, &map);
            if (part->outcome != Finished)
                break;
            if (part->text.size() + qint64(piece.size()) > MaxLength) {
                part->outcome = Failed; // no string holds the result
                break;
            }
            part->text += piece;
            part->builder.append(map);
        }
    } catch (...) { // std::bad_alloc: nothing else throws here
        part->outcome = Failed;
    }
    if (part->outcome != Finished)
        m_stop = true; // the other thread's work is of no use now
}

RuleRun::Outcome RuleRun::run()
{
    const int n = m_chunks.size();
    Part first;
    if (m_limits.threads < 2 || m_source.size() < ParallelFrom || n < 2) {
        runChunks(0, n, &first);
    } else {
        const int split = int(std::lower_bound(m_chunks.cbegin(), m_chunks.cend(), m_source.size() / 2,
                                               [](const TextRange &c, int at) { return c.end < at; }) -
                              m_chunks.cbegin());
        Part second;
        std::thread worker(&RuleRun::runChunks, this, std::max(1, split), n, &second);
        runChunks(0, std::max(1, split), &first);
        worker.join();
        // A real outcome wins over the stop one thread caused in the other.
        const auto rank = [](Outcome o) { return o == Failed ? 3 : o == Runaway ? 2 : o == Cancelled ? 1 : 0; };
        if (rank(second.outcome) > rank(first.outcome))
            first.outcome = second.outcome;
        if (first.outcome == Finished) {
            first.text += second.text;
            first.builder.append(second.builder.finish());
        }
    }
    if (first.outcome != Finished && first.outcome != Failed && m_limits.cancelled())
        return Cancelled;
    if (first.outcome != Finished)
        return first.outcome;
    m_text = first.text;
    m_map = first.builder.finish();
    return Finished;
}
