#include "JumpTarget.h"

#include <QCoreApplication>
#include <QRegularExpression>

namespace {

// Full-width digits, point and percent sign as their ASCII twins.
QString narrowed(const QString &input)
{
    QString text = input.trimmed();
    for (QChar &c : text) {
        const char16_t u = c.unicode();
        if ((u >= 0xFF10 && u <= 0xFF19) || u == 0xFF05 || u == 0xFF0E)
            c = QChar(u - 0xFEE0);
    }
    return text;
}

QString tr(const char *text)
{
    return QCoreApplication::translate("JumpTarget", text);
}

const QString kDigits = QStringLiteral("零一二三四五六七八九");
const QString kNumerals = QStringLiteral("0-9〇零一二两三四五六七八九十百千万壹贰叁肆伍陆柒捌玖拾佰仟萬");

int digitOf(QChar c)
{
    static const QString more = QStringLiteral("〇一二三四五六七八九");
    static const QString formal = QStringLiteral("零壹贰叁肆伍陆柒捌玖");
    if (c == QChar(u'两'))
        return 2;
    for (const QString &digits : {kDigits, more, formal}) {
        const int at = digits.indexOf(c);
        if (at >= 0)
            return at;
    }
    return -1;
}

qint64 unitOf(QChar c)
{
    switch (c.unicode()) {
    case u'十':
    case u'拾':
        return 10;
    case u'百':
    case u'佰':
        return 100;
    case u'千':
    case u'仟':
        return 1000;
    case u'万':
    case u'萬':
        return 10000;
    default:
        return 0;
    }
}

// "十二" = 12, "一百零八" = 108, "三万二千" = 32000; digits alone read as a
// written-out number ("一二" = 12).
qint64 chineseNumber(const QString &text)
{
    bool hasUnit = false;
    for (QChar c : text)
        hasUnit = hasUnit || unitOf(c) > 0;
    if (!hasUnit) {
        qint64 value = 0;
        for (QChar c : text) {
            if (digitOf(c) < 0 || value > 100000000)
                return -1;
            value = value * 10 + digitOf(c);
        }
        return value;
    }
    qint64 total = 0;   // the part before a 万
    qint64 section = 0; // below 万
    qint64 digit = -1;
    for (QChar c : text) {
        const qint64 unit = unitOf(c);
        if (unit == 10000) {
            total = (total + section + qMax<qint64>(digit, 0)) * 10000;
            section = 0;
            digit = -1;
        } else if (unit > 0) {
            section += (digit < 0 ? 1 : digit) * unit; // 十二: a unit alone is one of it
            digit = -1;
        } else if (digitOf(c) >= 0) {
            digit = digitOf(c);
        } else {
            return -1;
        }
    }
    return total + section + qMax<qint64>(digit, 0);
}

} // namespace

qint64 JumpTarget::numberIn(const QString &numerals)
{
    const QString text = narrowed(numerals);
    if (text.isEmpty())
        return -1;
    bool arabic = false;
    const qint64 value = text.toLongLong(&arabic);
    if (arabic)
        return value >= 0 && text.size() <= 9 ? value : -1;
    return chineseNumber(text);
}

qint64 JumpTarget::headingNumber(const QString &heading)
{
    static const QRegularExpression number(QStringLiteral("第\\s*([%1]+)\\s*[章回节卷集部篇幕]").arg(kNumerals));
    const QRegularExpressionMatch found = number.match(narrowed(heading));
    return found.hasMatch() ? numberIn(found.captured(1)) : -1;
}

JumpTarget JumpTarget::parse(const QString &input, const QString &text, const QList<Chapter> &chapters)
{
    JumpTarget target;
    const int length = text.size();
    if (length <= 0) {
        target.error = tr("请先打开一本书");
        return target;
    }
    const QString typed = narrowed(input);
    static const QRegularExpression percent(QStringLiteral("^(\\d{1,3}(?:\\.\\d+)?)\\s*%$"));
    const QRegularExpressionMatch byPercent = percent.match(typed);
    if (byPercent.hasMatch() && byPercent.captured(1).toDouble() <= 100) {
        const int place = qMin(length - 1, int(byPercent.captured(1).toDouble() / 100 * length));
        // The line that holds the place, from its start: a page never
        // begins in the middle of a word.
        target.offset = place > 0 ? text.lastIndexOf(QLatin1Char('\n'), place - 1) + 1 : 0;
        return target;
    }
    static const QRegularExpression chapter(
        QStringLiteral("^(?:第\\s*)?([%1]{1,12})\\s*(?:[章回节卷集部篇幕])?$").arg(kNumerals));
    const QRegularExpressionMatch byChapter = chapter.match(typed);
    const qint64 number = byChapter.hasMatch() ? numberIn(byChapter.captured(1)) : -1;
    bool numbered = false;
    for (const Chapter &entry : chapters) {
        const qint64 carried = headingNumber(entry.title);
        numbered = numbered || carried >= 0;
        if (number >= 0 && carried == number) {
            target.offset = entry.offset;
            return target;
        }
    }
    // Headings without numbers: the number counts the list.
    if (!numbered && number >= 1 && number <= chapters.size()) {
        target.offset = chapters.at(int(number) - 1).offset;
        return target;
    }
    target.error = chapters.isEmpty()
                       ? tr("无法跳转到“%1”：请输入 0% 到 100% 之间的百分比，如 37.5%（这本书没有分章）").arg(input)
                   : numbered ? tr("无法跳转到“%1”：请输入 0% 到 100% 之间的百分比，如 37.5%，或书中某一章的章节号，"
                                   "如 12 或 第十二章")
                                    .arg(input)
                              : tr("无法跳转到“%1”：请输入 0% 到 100% 之间的百分比，如 37.5%，或 1 到 %2 之间的章节号")
                                    .arg(input, QString::number(chapters.size()));
    return target;
}
