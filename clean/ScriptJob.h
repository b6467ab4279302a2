#pragma once

#include "OffsetMapBuilder.h"
#include "ScriptStages.h"

#include <QString>

#include <string>
#include <utility>
#include <vector>

/// One conversion: runs the stages over stretches of a source text in
/// order, writing straight into the QString it hands back (no second copy
/// of a 50 MB book) and, if asked, the offset map.
class ScriptJob
{
public:
    ScriptJob(const ScriptStages &stages, const QString &source, OffsetMapBuilder *builder, int expectedLength);

    /// Converts source[from, to); calls must follow each other without gaps.
    void run(int from, int to);
    /// The text converted so far; the map's last kept stretch is flushed.
    QString take();

private:
    // The output, growing in place inside its QString.
    struct Buffer
    {
        QString string;
        char16_t *data = nullptr;
        int size = 0;
        int capacity = 0;
        void reserve(int c);
        void ensure(int extra)
        {
            if (size + extra > capacity)
                reserve(std::max(capacity + capacity / 2, size + extra + 64));
        }
        void push(char16_t c)
        {
            ensure(1);
            data[size++] = c;
        }
        void append(const char16_t *p, int k);
    };

    static int codePointLength(const char16_t *p, int rem)
    {
        return (rem >= 2 && (p[0] & 0xFC00) == 0xD800 && (p[1] & 0xFC00) == 0xDC00) ? 2 : 1;
    }
    void keep(int length) { m_pendingKeep += length; }
    void replace(int sourceLength, int shownLength);
    void piece(int sourceStart, int sourceLength, int outStart, int outLength);
    void segment(int from, int to, bool skipFirst);
    void laterStages(int outStart, int sourceEnd);

    const ScriptStages &m_stages;
    const char16_t *m_source;
    OffsetMapBuilder *m_builder;
    Buffer m_out;
    std::u16string m_rewrite;
    // Token boundaries of the current segment: (offset in out, offset in source).
    std::vector<std::pair<int, int>> m_bounds;
    std::vector<std::pair<int, int>> m_newBounds;
    int m_pendingKeep = 0;
};
