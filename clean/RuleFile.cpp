#include "RuleFile.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <cmath>
#include <limits>

namespace {

enum class Kind { Text, Flag, Integer };

// False when the field is there (not null) and of another type.
bool take(const QJsonObject &o, const char *key, Kind kind, QJsonValue *value, QString *problem)
{
    *value = o.value(QLatin1String(key));
    if (value->isUndefined() || value->isNull())
        return true;
    bool fits = false;
    const char *wanted = "";
    switch (kind) {
    case Kind::Text:
        fits = value->isString();
        wanted = "文字";
        break;
    case Kind::Flag:
        fits = value->isBool();
        wanted = "true 或 false";
        break;
    case Kind::Integer: {
        const double d = value->toDouble();
        fits = value->isDouble() && std::floor(d) == d && d >= std::numeric_limits<int>::min() &&
               d <= std::numeric_limits<int>::max();
        wanted = "整数";
        break;
    }
    }
    if (!fits)
        *problem = QStringLiteral("%1 的类型不对（应为%2）").arg(QLatin1String(key), QString::fromUtf8(wanted));
    return fits;
}

} // namespace

bool RuleFile::readOne(const QJsonObject &o, ReplaceRule *rule, QString *problem)
{
    QJsonValue v;
    rule->json = o;
    if (!take(o, "name", Kind::Text, &v, problem))
        return false;
    rule->name = v.toString();
    if (!take(o, "group", Kind::Text, &v, problem))
        return false;
    rule->group = v.toString();
    if (!take(o, "pattern", Kind::Text, &v, problem))
        return false;
    rule->pattern = v.toString();
    if (!take(o, "replacement", Kind::Text, &v, problem))
        return false;
    rule->replacement = v.toString();
    if (!take(o, "isRegex", Kind::Flag, &v, problem))
        return false;
    rule->isRegex = v.toBool(false);
    if (!take(o, "isEnabled", Kind::Flag, &v, problem))
        return false;
    rule->enabled = v.toBool(true);
    if (!take(o, "order", Kind::Integer, &v, problem))
        return false;
    rule->order = v.toInt(0);
    if (!take(o, "scopeTitle", Kind::Flag, &v, problem))
        return false;
    const bool headings = v.toBool(false);
    if (!take(o, "scopeContent", Kind::Flag, &v, problem))
        return false;
    const bool body = v.toBool(true);
    if (!headings && !body) {
        *problem = QStringLiteral("既不作用于标题也不作用于正文");
        return false;
    }
    rule->scope = headings && body ? ReplaceRule::Both : headings ? ReplaceRule::HeadingsOnly : ReplaceRule::BodyOnly;
    return rule->check(problem);
}

bool RuleFile::read(const QByteArray &json, QList<ReplaceRule> *rules, QStringList *problems)
{
    rules->clear();
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError) {
        problems->append(QStringLiteral("不是有效的规则文件（JSON 在第 %1 字节处出错：%2）")
                             .arg(error.offset + 1)
                             .arg(error.errorString()));
        return false;
    }
    QJsonArray entries;
    if (doc.isArray())
        entries = doc.array();
    else if (doc.isObject())
        entries.append(doc.object());
    else {
        problems->append(QStringLiteral("规则文件应为一个 JSON 数组或对象"));
        return false;
    }
    for (int i = 0; i < entries.size(); ++i) {
        const QJsonValue entry = entries.at(i);
        QString problem;
        ReplaceRule rule;
        if (!entry.isObject())
            problem = QStringLiteral("不是一个对象");
        else if (readOne(entry.toObject(), &rule, &problem)) {
            rules->append(rule);
            continue;
        }
        const QString name = entry.toObject().value(QLatin1String("name")).toString();
        problems->append(QStringLiteral("第 %1 条%2：%3，已跳过")
                             .arg(i + 1)
                             .arg(name.isEmpty() ? QString() : QStringLiteral("（%1）").arg(name), problem));
    }
    return true;
}

QByteArray RuleFile::write(const QList<ReplaceRule> &rules)
{
    // One compact object per line: small enough to mail, easy to diff.
    QByteArray out = "[";
    for (int i = 0; i < rules.size(); ++i) {
        out += i ? ",\n" : "\n";
        out += QJsonDocument(rules.at(i).toJson()).toJson(QJsonDocument::Compact);
    }
    out += "\n]\n";
    return out;
}
