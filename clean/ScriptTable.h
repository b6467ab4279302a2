#pragma once

#include <cstdint>
#include <vector>

namespace opencc {
class Dict;
} // namespace opencc

/// One OpenCC dictionary rebuilt for greedy longest-prefix matching on
/// UTF-16 (OpenCC itself matches on UTF-8 strings, about 40 times slower):
/// a direct table for one-unit keys, and for longer ones a per-first-unit
/// length mask, a filter on the first two units and an open-addressing hash
/// probed longest first. Read-only once built, so threads may share it.
class ScriptTable
{
public:
    /// Keys longer than this make build() fail (Debian's data: at most 16).
    static constexpr int MaxKey = 30;

    /// Throws whatever OpenCC throws, and std::length_error for a key longer
    /// than MaxKey: call it inside the loader's catch-all.
    void build(const opencc::Dict &dict);

    /// The length in units of the longest key that `p` (with `rem` units
    /// left) starts with, 0 if none; *value and *valueLength give its value.
    int match(const char16_t *p, int rem, const char16_t **value, int *valueLength) const;

    /// True when every key and value is one BMP unit (not a surrogate): the
    /// dictionary is then a per-character map.
    bool isCharacterMap() const { return m_characterMap; }
    /// The value of the one-unit key `u` if it is one unit too.
    bool single(char16_t u, char16_t *to) const;
    /// Calls f(key) for every key.
    template <typename F> void forEachKey(F f) const
    {
        for (const auto &k : m_keys)
            f(m_arena.data() + k.first, int(k.second));
    }

private:
    struct Slot
    {
        uint64_t hash;
        uint32_t keyOffset;
        uint32_t valueOffset;
        uint16_t keyLength;
        uint16_t valueLength;
    };
    static bool isSurrogate(char16_t c) { return (c & 0xF800) == 0xD800; }
    static uint32_t pairIndex(char16_t a, char16_t b);
    bool pairHit(char16_t a, char16_t b) const;
    const Slot *find(uint64_t hash, const char16_t *p, int length) const;

    std::vector<char16_t> m_arena;
    std::vector<std::pair<uint32_t, uint32_t>> m_keys; // offset and length of every key
    std::vector<int32_t> m_single;                     // value offset of one-unit keys, -1 if none
    std::vector<uint16_t> m_singleLength;
    std::vector<uint8_t> m_maxLength;   // longest key per first unit
    std::vector<uint32_t> m_lengthMask; // bit n: a key of n units starts with this unit
    std::vector<uint64_t> m_pairs;      // filter on the first two units
    std::vector<Slot> m_slots;
    bool m_characterMap = true;
};
