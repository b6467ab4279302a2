#pragma once

#include "ScriptTable.h"

#include <QString>

#include <memory>
#include <vector>

namespace opencc {
class Converter;
} // namespace opencc

/// An OpenCC converter taken apart into lookup tables: the segmentation
/// dictionary and the conversion chain, each stage a list of dictionaries
/// of which the first that matches wins (what opencc::DictGroup does).
class ScriptStages
{
public:
    struct Stage
    {
        std::vector<std::shared_ptr<const ScriptTable>> members;
        /// Every member maps one BMP unit to one: greedy matching is then a
        /// per-character map, applied in place with `characterMap`.
        bool isCharacterMap = false;
        std::vector<char16_t> characterMap;

        int match(const char16_t *p, int rem, const char16_t **value, int *valueLength, size_t firstMember = 0) const
        {
            for (size_t m = firstMember; m < members.size(); ++m)
                if (const int k = members[m]->match(p, rem, value, valueLength))
                    return k;
            return 0;
        }
    };

    /// False with a message for what the tables cannot follow (another
    /// segmentation than mmseg, an empty chain, an over-long key).
    bool build(const opencc::Converter &converter, QString *error);

    Stage segmentation;
    std::vector<Stage> stages;
    /// The segmentation dictionary is the first member of the first stage
    /// (s2t, s2tw, s2twp, s2hk, t2s): one lookup then serves both.
    bool fused = false;
    /// Units that occur in no key: a segment can end there, which changes
    /// nothing since no match can hold them.
    std::vector<uint8_t> cut;
};
