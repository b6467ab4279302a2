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

} // namespace

JumpTarget JumpTarget::parse(const QString &input, int length, const QVector<int> &chapterStarts)
{
    JumpTarget target;
    if (length <= 0) {
        target.error = tr("请先打开一本书");
        return target;
    }
    const QString text = narrowed(input);
    static const QRegularExpression percent(QStringLiteral("^(\\d{1,3}(?:\\.\\d+)?)\\s*%$"));
    static const QRegularExpression chapter(QStringLiteral("^(?:第\\s*)?(\\d{1,9})\\s*(?:章)?$"));
    const QRegularExpressionMatch byPercent = percent.match(text);
    if (byPercent.hasMatch() && byPercent.captured(1).toDouble() <= 100) {
        const double share = byPercent.captured(1).toDouble() / 100;
        target.offset = qMin(length - 1, int(share * length));
        return target;
    }
    const QRegularExpressionMatch byChapter = chapter.match(text);
    const int number = byChapter.hasMatch() ? byChapter.captured(1).toInt() : 0;
    if (number >= 1 && number <= chapterStarts.size()) {
        target.offset = chapterStarts.at(number - 1);
        return target;
    }
    target.error = chapterStarts.isEmpty()
                       ? tr("无法跳转到“%1”：请输入 0% 到 100% 之间的百分比，如 37.5%（这本书没有分章）").arg(input)
                       : tr("无法跳转到“%1”：请输入 0% 到 100% 之间的百分比，如 37.5%，或 1 到 %2 之间的章节号")
                             .arg(input, QString::number(chapterStarts.size()));
    return target;
}
