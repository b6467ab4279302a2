#include "ScriptStages.h"

#include <opencc/Conversion.hpp>
#include <opencc/ConversionChain.hpp>
#include <opencc/Converter.hpp>
#include <opencc/Dict.hpp>
#include <opencc/DictGroup.hpp>
#include <opencc/Exception.hpp>
#include <opencc/MaxMatchSegmentation.hpp>

#include <exception>

namespace {

using Cache = std::vector<std::pair<const opencc::Dict *, std::shared_ptr<const ScriptTable>>>;

void flatten(const opencc::DictPtr &dict, std::vector<opencc::DictPtr> *out)
{
    if (auto group = std::dynamic_pointer_cast<opencc::DictGroup>(dict)) {
        for (const auto &member : group->GetDicts())
            flatten(member, out);
    } else if (dict) {
        out->push_back(dict);
    }
}

// OpenCC's loader shares one Dict object per file, so a table is built once
// per object and shared between stages.
ScriptStages::Stage makeStage(const opencc::DictPtr &dict, Cache *cache)
{
    ScriptStages::Stage stage;
    std::vector<opencc::DictPtr> flat;
    flatten(dict, &flat);
    for (const auto &member : flat) {
        std::shared_ptr<const ScriptTable> table;
        for (const auto &entry : *cache)
            if (entry.first == member.get())
                table = entry.second;
        if (!table) {
            auto built = std::make_shared<ScriptTable>();
            built->build(*member);
            table = built;
            cache->push_back({member.get(), table});
        }
        stage.members.push_back(table);
    }
    stage.isCharacterMap = !stage.members.empty();
    for (const auto &t : stage.members)
        stage.isCharacterMap = stage.isCharacterMap && t->isCharacterMap();
    if (stage.isCharacterMap) {
        stage.characterMap.resize(65536);
        for (int u = 0; u < 65536; ++u) {
            stage.characterMap[u] = char16_t(u);
            for (const auto &t : stage.members) {
                char16_t to;
                if (t->single(char16_t(u), &to)) {
                    stage.characterMap[u] = to;
                    break;
                }
            }
        }
    }
    return stage;
}

} // namespace

bool ScriptStages::build(const opencc::Converter &converter, QString *error)
{
    try {
        auto mmseg = std::dynamic_pointer_cast<opencc::MaxMatchSegmentation>(converter.GetSegmentation());
        if (!mmseg) {
            *error = QStringLiteral("OpenCC 配置使用了不支持的分词方式");
            return false;
        }
        Cache cache;
        segmentation = makeStage(mmseg->GetDict(), &cache);
        stages.clear();
        for (const opencc::ConversionPtr &c : converter.GetConversionChain()->GetConversions())
            stages.push_back(makeStage(c->GetDict(), &cache));
        if (stages.empty() || segmentation.members.empty()) {
            *error = QStringLiteral("OpenCC 配置没有词典");
            return false;
        }
        fused = segmentation.members.size() == 1 && !stages[0].members.empty() &&
                stages[0].members[0] == segmentation.members[0];
        cut.assign(65536, 1);
        for (const auto &entry : cache)
            entry.second->forEachKey([this](const char16_t *key, int length) {
                for (int i = 0; i < length; ++i)
                    cut[key[i]] = 0;
            });
        for (int u = 0xD800; u < 0xE000; ++u)
            cut[u] = 0;
        return true;
    } catch (const opencc::Exception &e) {
        *error = QStringLiteral("OpenCC：%1").arg(QString::fromUtf8(e.what())).left(300);
    } catch (const std::exception &e) {
        *error = QStringLiteral("OpenCC 词典无法使用：%1").arg(QString::fromUtf8(e.what())).left(300);
    } catch (...) {
        *error = QStringLiteral("OpenCC 词典无法使用");
    }
    return false;
}
