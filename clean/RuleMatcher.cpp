#include "RuleMatcher.h"

#include <QStringRef>

RuleMatcher::RuleMatcher(const ReplaceRule &rule) : m_rule(rule)
{
    if (!rule.check(&m_problem))
        return;
    if (rule.isRegex) {
        m_regex = rule.regularExpression();
        m_regex.optimize();
        parseReplacement(rule.replacement);
    }
}

void RuleMatcher::parseReplacement(const QString &r)
{
    QString literal;
    auto flush = [&] {
        if (!literal.isEmpty())
            m_parts.append(Part{literal, -1, QString()});
        literal.clear();
    };
    for (int i = 0; i < r.size(); ++i) {
        const QChar c = r.at(i);
        if (c == QLatin1Char('\\') && i + 1 < r.size()) {
            literal += r.at(++i);
        } else if (c == QLatin1Char('$') && i + 1 < r.size() && r.at(i + 1).isDigit() && r.at(i + 1).unicode() < 128) {
            flush();
            m_parts.append(Part{QString(), r.at(++i).unicode() - '0', QString()});
        } else if (c == QLatin1Char('$') && i + 1 < r.size() && r.at(i + 1) == QLatin1Char('{') &&
                   r.indexOf(QLatin1Char('}'), i + 2) > i + 2) {
            const int close = r.indexOf(QLatin1Char('}'), i + 2);
            const QString name = r.mid(i + 2, close - i - 2);
            bool isNumber = false;
            const int number = name.toInt(&isNumber);
            flush();
            m_parts.append(isNumber ? Part{QString(), number, QString()} : Part{QString(), -1, name});
            i = close;
        } else {
            literal += c;
        }
    }
    flush();
    m_templated = m_parts.size() != 1 || m_parts.first().group >= 0 || !m_parts.first().groupName.isEmpty();
    if (!m_templated && !m_parts.isEmpty())
        m_rule.replacement = m_parts.first().literal; // escapes resolved once
    else if (m_parts.isEmpty())
        m_rule.replacement.clear();
}

QString RuleMatcher::expand(const QRegularExpressionMatch &match, const QString &text, int base) const
{
    QString out;
    for (const Part &p : m_parts) {
        if (p.group < 0 && p.groupName.isEmpty()) {
            out += p.literal;
            continue;
        }
        // Groups come from the original text, not the copy that was matched.
        const int start = p.group >= 0 ? match.capturedStart(p.group) : match.capturedStart(p.groupName);
        const int end = p.group >= 0 ? match.capturedEnd(p.group) : match.capturedEnd(p.groupName);
        if (start >= 0 && end > start)
            out += QStringRef(&text, base + start, end - start);
    }
    return out;
}

RuleMatcher::Outcome RuleMatcher::find(const QString &text, const QString &matchText, int from, int to,
                                       const QDeadlineTimer &deadline, const std::atomic<bool> *cancel,
                                       const std::atomic<bool> *stop, QVector<Match> *matches, int *count,
                                       int keepAtMost) const
{
    if (!isValid())
        return Finished;
    auto interrupted = [&]() -> int {
        if ((cancel && cancel->load(std::memory_order_relaxed)) || (stop && stop->load(std::memory_order_relaxed)))
            return Cancelled;
        return deadline.hasExpired() ? Runaway : Finished;
    };
    if (!m_rule.isRegex) {
        const QStringRef subject(&text, from, to - from);
        for (int at = 0;;) {
            if (const int why = interrupted())
                return Outcome(why);
            const int i = subject.indexOf(m_rule.pattern, at);
            if (i < 0)
                return Finished;
            if (matches->size() < keepAtMost)
                matches->append(Match{from + i, m_rule.pattern.size(), m_rule.replacement});
            ++*count;
            at = i + m_rule.pattern.size();
        }
    }
    // matchText holds no lone surrogate, so PCRE2 need not check the
    // subject again on every call (checking it made a match cost 10 µs).
    const QStringRef subject(&matchText, from, to - from);
    for (int at = 0; at <= subject.size();) {
        if (const int why = interrupted())
            return Outcome(why);
        const QRegularExpressionMatch m = m_regex.match(subject, at, QRegularExpression::NormalMatch,
                                                        QRegularExpression::DontCheckSubjectStringMatchOption);
        if (!m.isValid())
            return Runaway; // PCRE2 hit its match limit: the pattern backtracks without end
        if (!m.hasMatch())
            return Finished;
        const int start = m.capturedStart();
        const int end = m.capturedEnd();
        if (end == start) {
            // Step over a whole surrogate pair: PCRE2 must start on a character.
            at = end + (end + 1 < subject.size() && subject.at(end).isHighSurrogate() ? 2 : 1);
            continue;
        }
        if (matches->size() < keepAtMost)
            matches->append(Match{from + start, end - start, m_templated ? expand(m, text, from) : m_rule.replacement});
        ++*count;
        at = end;
    }
    return Finished;
}
