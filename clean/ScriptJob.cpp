#include "ScriptJob.h"

#include <cstring>

void ScriptJob::Buffer::reserve(int c)
{
    if (c <= capacity)
        return;
    string.resize(c); // new units stay uninitialised
    data = reinterpret_cast<char16_t *>(string.data());
    capacity = c;
}

void ScriptJob::Buffer::append(const char16_t *p, int k)
{
    ensure(k);
    if (k == 1)
        data[size] = *p;
    else
        std::memcpy(data + size, p, size_t(k) * 2);
    size += k;
}

ScriptJob::ScriptJob(const ScriptStages &stages, const QString &source, OffsetMapBuilder *builder, int expectedLength)
    : m_stages(stages), m_source(reinterpret_cast<const char16_t *>(source.utf16())), m_builder(builder)
{
    m_out.reserve(expectedLength + expectedLength / 32 + 16);
}

QString ScriptJob::take()
{
    if (m_builder && m_pendingKeep) {
        m_builder->keep(m_pendingKeep);
        m_pendingKeep = 0;
    }
    m_out.string.resize(m_out.size);
    QString out = std::move(m_out.string);
    m_out = Buffer();
    return out;
}

void ScriptJob::replace(int sourceLength, int shownLength)
{
    if (m_pendingKeep) {
        m_builder->keep(m_pendingKeep);
        m_pendingKeep = 0;
    }
    m_builder->replace(sourceLength, shownLength);
}

// Source piece [a, a + la) became out[o, o + ld).
void ScriptJob::piece(int a, int la, int o, int ld)
{
    const char16_t *sp = m_source + a;
    const char16_t *d = m_out.data + o;
    if (la == 1 && ld == 1 && (sp[0] & 0xF800) != 0xD800 && (d[0] & 0xF800) != 0xD800) {
        keep(1); // the common case: one BMP character
        return;
    }
    if (la == ld) {
        auto kind = [](char16_t u) { return (u & 0xFC00) == 0xD800 ? 1 : (u & 0xFC00) == 0xDC00 ? 2 : 0; };
        bool aligned = true;
        for (int i = 0; i < la && aligned; ++i)
            aligned = kind(sp[i]) == kind(d[i]);
        if (aligned) {
            keep(la); // unit i became unit i, no surrogate pair split
            return;
        }
    }
    int sourcePoints = 0, outPoints = 0;
    for (int i = 0; i < la; i += codePointLength(sp + i, la - i))
        ++sourcePoints;
    for (int k = 0; k < ld; k += codePointLength(d + k, ld - k))
        ++outPoints;
    if (sourcePoints != outPoints) {
        replace(la, ld);
        return;
    }
    for (int i = 0, k = 0; i < la;) { // code point by code point (BMP ↔ non-BMP)
        const int wi = codePointLength(sp + i, la - i);
        const int wk = codePointLength(d + k, ld - k);
        if (wi == wk)
            keep(wi);
        else
            replace(wi, wk);
        i += wi;
        k += wk;
    }
}

void ScriptJob::run(int from, int to)
{
    const ScriptStages &c = m_stages;
    int i = from;
    int pending = -1; // start of a run the segmentation did not match
    const char16_t *v;
    int vl;
    while (i < to) {
        const int k = c.segmentation.match(m_source + i, to - i, &v, &vl);
        if (k == 0) {
            const int w = codePointLength(m_source + i, to - i);
            if (w == 1 && c.cut[m_source[i]]) {
                if (pending >= 0) {
                    segment(pending, i, c.fused);
                    pending = -1;
                }
                m_out.push(m_source[i]);
                if (m_builder)
                    keep(1);
            } else if (pending < 0) {
                pending = i;
            }
            i += w;
            continue;
        }
        if (pending >= 0) {
            segment(pending, i, c.fused);
            pending = -1;
        }
        if (c.fused) { // the segment is one stage-0 token
            m_bounds.clear();
            const int o0 = m_out.size;
            m_bounds.push_back({o0, i});
            m_out.append(v, vl);
            m_bounds.push_back({m_out.size, i + k});
            laterStages(o0, i + k);
        } else {
            segment(i, i + k, false);
        }
        i += k;
    }
    if (pending >= 0)
        segment(pending, to, c.fused);
}

// Segment [a, b): stage 0 token by token (skipping member 0 in a run the
// segmentation dictionary, which is that member, did not match), then the rest.
void ScriptJob::segment(int a, int b, bool skipFirst)
{
    m_bounds.clear();
    const int o0 = m_out.size;
    const ScriptStages::Stage &stage = m_stages.stages[0];
    const char16_t *v;
    int vl;
    for (int i = a; i < b;) {
        m_bounds.push_back({m_out.size, i});
        const int k = stage.match(m_source + i, b - i, &v, &vl, skipFirst ? 1 : 0);
        if (k) {
            m_out.append(v, vl);
            i += k;
        } else {
            const int w = codePointLength(m_source + i, b - i);
            m_out.append(m_source + i, w);
            i += w;
        }
    }
    m_bounds.push_back({m_out.size, b});
    laterStages(o0, b);
}

// Stages 1.. work on this segment's output out[o0, end) only (a match never
// crosses a segment end); m_bounds keeps the boundaries that survive.
void ScriptJob::laterStages(int o0, int sourceEnd)
{
    for (size_t si = 1; si < m_stages.stages.size(); ++si) {
        const ScriptStages::Stage &stage = m_stages.stages[si];
        if (stage.isCharacterMap) {
            for (int j = o0; j < m_out.size; ++j)
                m_out.data[j] = stage.characterMap[m_out.data[j]];
            continue;
        }
        // Up to the first match the greedy walk copies code points one by
        // one, so that part stays as it is.
        const int end = m_out.size;
        const char16_t *v;
        int vl;
        int p = o0, k = 0;
        while (p < end && !(k = stage.match(m_out.data + p, end - p, &v, &vl)))
            p += codePointLength(m_out.data + p, end - p);
        if (p >= end)
            continue;
        const int rewriteFrom = p;
        m_rewrite.clear();
        m_newBounds.clear();
        size_t j = 0;
        while (j < m_bounds.size() && m_bounds[j].first < p)
            m_newBounds.push_back(m_bounds[j++]);
        while (p < end) {
            while (j < m_bounds.size() && m_bounds[j].first < p)
                ++j;
            if (j < m_bounds.size() && m_bounds[j].first == p)
                m_newBounds.push_back({rewriteFrom + int(m_rewrite.size()), m_bounds[j].second});
            if (!k)
                k = stage.match(m_out.data + p, end - p, &v, &vl);
            if (k) {
                m_rewrite.append(v, vl);
                p += k;
            } else {
                const int w = codePointLength(m_out.data + p, end - p);
                m_rewrite.append(m_out.data + p, w);
                p += w;
            }
            k = 0;
        }
        m_out.size = rewriteFrom;
        m_out.append(m_rewrite.data(), int(m_rewrite.size()));
        m_newBounds.push_back({m_out.size, sourceEnd});
        m_bounds.swap(m_newBounds);
    }
    if (!m_builder)
        return;
    for (size_t q = 0; q + 1 < m_bounds.size(); ++q)
        piece(m_bounds[q].second, m_bounds[q + 1].second - m_bounds[q].second, m_bounds[q].first,
              m_bounds[q + 1].first - m_bounds[q].first);
}
