#include "ScriptFold.h"

#include "OpenccConfig.h"
#include "ScriptConverter.h"

#include <opencc/Dict.hpp>
#include <opencc/DictEntry.hpp>
#include <opencc/Lexicon.hpp>

namespace {

bool isOneBmpUnit(const QString &s)
{
    return s.size() == 1 && !s.at(0).isSurrogate();
}

} // namespace

const ScriptFold &ScriptFold::instance()
{
    static const ScriptFold fold(ScriptConverter::defaultDataDirectory());
    return fold;
}

ScriptFold::ScriptFold(const QString &dataDirectory, QString *error) : m_table(65536)
{
    for (int i = 0; i < 65536; ++i)
        m_table[i] = char16_t(i);
    std::vector<int> parent(65536);
    for (int i = 0; i < 65536; ++i)
        parent[i] = i;
    auto find = [&](int x) {
        while (parent[x] != x)
            x = parent[x] = parent[parent[x]];
        return x;
    };
    std::vector<char16_t> tsDefault(m_table); // what TSCharacters makes of each unit
    std::vector<bool> stKey(65536, false);
    QString problem;
    try {
        for (const char *file :
             {"TSCharacters", "STCharacters", "TWVariants", "TWVariantsRev", "HKVariants", "HKVariantsRev"}) {
            const auto dict = OpenccConfig::dictionary(
                dataDirectory + QLatin1Char('/') + QLatin1String(file) + QStringLiteral(".ocd2"), &problem);
            if (!dict)
                break;
            const opencc::LexiconPtr lexicon = dict->GetLexicon(); // keep alive while iterating
            const bool ts = qstrcmp(file, "TSCharacters") == 0;
            const bool st = qstrcmp(file, "STCharacters") == 0;
            for (const auto &entry : *lexicon) {
                const QString key = QString::fromStdString(entry->Key());
                if (!isOneBmpUnit(key))
                    continue;
                const char16_t k = key.at(0).unicode();
                if (st)
                    stKey[k] = true;
                if (ts) {
                    const QString v = QString::fromStdString(entry->GetDefault());
                    if (isOneBmpUnit(v))
                        tsDefault[k] = v.at(0).unicode();
                }
                for (const auto &value : entry->Values()) {
                    const QString v = QString::fromStdString(value);
                    if (isOneBmpUnit(v))
                        parent[find(k)] = find(v.at(0).unicode());
                }
            }
        }
    } catch (...) {
        problem = QStringLiteral("OpenCC 词典无法读取");
    }
    if (!problem.isEmpty()) {
        if (error)
            *error = problem;
        return; // a partial table would fold some classes and not others
    }
    std::vector<int> representative(65536, -1), score(65536, -1);
    for (int i = 0; i < 65536; ++i) {
        const int root = find(i);
        const int s = (tsDefault[i] == i ? 2 : 0) + (stKey[i] ? 1 : 0);
        if (s > score[root]) {
            score[root] = s;
            representative[root] = i;
        }
    }
    for (int i = 0; i < 65536; ++i)
        if (i < 0xD800 || i >= 0xE000)
            m_table[i] = char16_t(representative[find(i)]);
    m_identity = false;
}
