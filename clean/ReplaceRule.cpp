#include "ReplaceRule.h"

namespace {

const char *const KnownFields[] = {"name",      "group", "pattern",    "replacement", "isRegex",
                                   "isEnabled", "order", "scopeTitle", "scopeContent"};

} // namespace

QString ReplaceRule::displayName() const
{
    return name.isEmpty() ? pattern : name;
}

QJsonObject ReplaceRule::unknownFields() const
{
    QJsonObject rest = json;
    for (const char *key : KnownFields)
        rest.remove(QLatin1String(key));
    return rest;
}

QJsonObject ReplaceRule::toJson() const
{
    QJsonObject o = json;
    o.insert(QStringLiteral("name"), name);
    o.insert(QStringLiteral("group"), group);
    o.insert(QStringLiteral("pattern"), pattern);
    o.insert(QStringLiteral("replacement"), replacement);
    o.insert(QStringLiteral("isRegex"), isRegex);
    o.insert(QStringLiteral("isEnabled"), enabled);
    o.insert(QStringLiteral("order"), order);
    o.insert(QStringLiteral("scopeTitle"), scope != BodyOnly);
    o.insert(QStringLiteral("scopeContent"), scope != HeadingsOnly);
    return o;
}

QRegularExpression ReplaceRule::regularExpression() const
{
    return QRegularExpression(pattern,
                              QRegularExpression::UseUnicodePropertiesOption | QRegularExpression::MultilineOption);
}

bool ReplaceRule::check(QString *problem) const
{
    if (pattern.isEmpty()) {
        *problem = QStringLiteral("缺少要替换的内容（pattern）");
        return false;
    }
    if (!isRegex)
        return true;
    const QRegularExpression re = regularExpression();
    if (!re.isValid()) {
        *problem = QStringLiteral("正则表达式有误（%1，位置 %2）").arg(re.errorString()).arg(re.patternErrorOffset());
        return false;
    }
    return true;
}

bool ReplaceRule::operator==(const ReplaceRule &o) const
{
    return name == o.name && group == o.group && pattern == o.pattern && replacement == o.replacement &&
           isRegex == o.isRegex && enabled == o.enabled && order == o.order && scope == o.scope &&
           unknownFields() == o.unknownFields();
}
