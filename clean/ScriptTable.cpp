#include "ScriptTable.h"

#include <opencc/Dict.hpp>
#include <opencc/DictEntry.hpp>
#include <opencc/Lexicon.hpp>

#include <QString>

#include <algorithm>
#include <cstring>
#include <stdexcept>

namespace {

constexpr uint64_t Seed = 1469598103934665603ull; // FNV-1a over UTF-16 units
constexpr uint64_t Multiplier = 1099511628211ull;
constexpr uint32_t PairBits = 1u << 20;

} // namespace

uint32_t ScriptTable::pairIndex(char16_t a, char16_t b)
{
    return ((uint32_t(a) * 40503u) ^ (uint32_t(b) * 2654435761u)) & (PairBits - 1);
}

bool ScriptTable::pairHit(char16_t a, char16_t b) const
{
    const uint32_t i = pairIndex(a, b);
    return m_pairs[i >> 6] >> (i & 63) & 1;
}

const ScriptTable::Slot *ScriptTable::find(uint64_t hash, const char16_t *p, int length) const
{
    const size_t mask = m_slots.size() - 1;
    for (size_t pos = hash & mask;; pos = (pos + 1) & mask) {
        const Slot &s = m_slots[pos];
        if (!s.keyLength)
            return nullptr;
        if (s.hash == hash && s.keyLength == length && std::memcmp(m_arena.data() + s.keyOffset, p, length * 2) == 0)
            return &s;
    }
}

int ScriptTable::match(const char16_t *p, int rem, const char16_t **value, int *valueLength) const
{
    const char16_t c0 = p[0];
    const int longest = std::min<int>(m_maxLength[c0], rem);
    if (longest >= 2 && pairHit(c0, p[1])) {
        uint64_t hashes[MaxKey + 1];
        uint64_t acc = Seed;
        for (int l = 1; l <= longest; ++l) {
            acc = (acc ^ p[l - 1]) * Multiplier;
            hashes[l] = acc;
        }
        const uint32_t mask = m_lengthMask[c0];
        for (int l = longest; l >= 2; --l) {
            if (!(mask & (1u << l)))
                continue;
            if (const Slot *s = find(hashes[l], p, l)) {
                *value = m_arena.data() + s->valueOffset;
                *valueLength = s->valueLength;
                return l;
            }
        }
    }
    const int32_t v = m_single[c0];
    if (v >= 0 && !isSurrogate(c0)) {
        *value = m_arena.data() + v;
        *valueLength = m_singleLength[c0];
        return 1;
    }
    return 0;
}

bool ScriptTable::single(char16_t u, char16_t *to) const
{
    if (m_single[u] < 0 || m_singleLength[u] != 1)
        return false;
    *to = m_arena[m_single[u]];
    return true;
}

void ScriptTable::build(const opencc::Dict &dict)
{
    m_single.assign(65536, -1);
    m_singleLength.assign(65536, 0);
    m_maxLength.assign(65536, 0);
    m_lengthMask.assign(65536, 0);
    m_pairs.assign(PairBits / 64, 0);
    // Keep the lexicon alive while iterating: a DictGroup builds a new one
    // on every call, and iterating a temporary one dangles.
    const opencc::LexiconPtr lexicon = dict.GetLexicon();
    std::vector<std::pair<uint32_t, uint32_t>> values;
    for (const auto &entry : *lexicon) {
        const std::u16string k = QString::fromStdString(entry->Key()).toStdU16String();
        const std::u16string v = QString::fromStdString(entry->GetDefault()).toStdU16String();
        if (k.empty())
            continue;
        if (k.size() > size_t(MaxKey))
            throw std::length_error("OpenCC dictionary key longer than 30 UTF-16 units");
        if (v.size() > 0xFFFF)
            throw std::length_error("OpenCC dictionary value too long");
        const uint32_t ko = uint32_t(m_arena.size());
        m_arena.insert(m_arena.end(), k.begin(), k.end());
        const uint32_t vo = uint32_t(m_arena.size());
        m_arena.insert(m_arena.end(), v.begin(), v.end());
        m_keys.push_back({ko, uint32_t(k.size())});
        m_characterMap = m_characterMap && k.size() == 1 && v.size() == 1 && !isSurrogate(k[0]) && !isSurrogate(v[0]);
        if (k.size() == 1) {
            m_single[k[0]] = int32_t(vo);
            m_singleLength[k[0]] = uint16_t(v.size());
            continue;
        }
        m_maxLength[k[0]] = std::max<uint8_t>(m_maxLength[k[0]], uint8_t(k.size()));
        m_lengthMask[k[0]] |= 1u << k.size();
        const uint32_t i = pairIndex(k[0], k[1]);
        m_pairs[i >> 6] |= 1ull << (i & 63);
        values.push_back({vo, uint32_t(v.size())});
    }
    size_t capacity = 16;
    while (capacity < values.size() * 2)
        capacity <<= 1;
    m_slots.assign(capacity, Slot{0, 0, 0, 0, 0});
    size_t n = 0;
    for (const auto &key : m_keys) {
        if (key.second == 1)
            continue;
        uint64_t acc = Seed;
        for (uint32_t j = 0; j < key.second; ++j)
            acc = (acc ^ m_arena[key.first + j]) * Multiplier;
        size_t pos = acc & (capacity - 1);
        while (m_slots[pos].keyLength)
            pos = (pos + 1) & (capacity - 1);
        m_slots[pos] = Slot{acc, key.first, values[n].first, uint16_t(key.second), uint16_t(values[n].second)};
        ++n;
    }
}
