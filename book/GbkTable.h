#pragma once

#include <QtGlobal>

#include <memory>

/// GBK pair -> character, taken once from Qt's own GBK codec so both agree.
/// 0 marks a pair that does not decode to exactly one ordinary character.
class GbkTable
{
public:
    static const GbkTable &instance();
    char16_t at(uint pair) const { return map[pair]; }

private:
    GbkTable();
    std::unique_ptr<char16_t[]> map;
};
