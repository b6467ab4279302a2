#include "ChapterRule.h"

#include <QCoreApplication>
#include <QRegularExpression>

namespace {

const char *const kNames[] = {"standard", "strict", "custom"};

} // namespace

ChapterRule ChapterRule::strict()
{
    return ChapterRule(Strict, QString());
}

ChapterRule ChapterRule::custom(const QString &pattern)
{
    return ChapterRule(Custom, pattern);
}

ChapterRule ChapterRule::fromName(const QString &name, const QString &pattern)
{
    if (name == QLatin1String(kNames[Strict]))
        return strict();
    if (name == QLatin1String(kNames[Custom]) && isValidPattern(pattern))
        return custom(pattern);
    return ChapterRule();
}

bool ChapterRule::isValidPattern(const QString &pattern, QString *error, int *errorOffset)
{
    // An empty pattern matches every line: far more likely a field left
    // blank than a wish to make every line a chapter.
    if (pattern.isEmpty()) {
        if (error)
            *error = QCoreApplication::translate("ChapterRule", "the pattern is empty");
        if (errorOffset)
            *errorOffset = 0;
        return false;
    }
    const QRegularExpression expression(pattern, QRegularExpression::UseUnicodePropertiesOption);
    if (error)
        *error = expression.isValid() ? QString() : expression.errorString();
    if (errorOffset)
        *errorOffset = expression.isValid() ? -1 : expression.patternErrorOffset();
    return expression.isValid();
}

QString ChapterRule::name() const
{
    return QLatin1String(kNames[kind_]);
}

bool ChapterRule::isValid() const
{
    return kind_ != Custom || isValidPattern(pattern_);
}
