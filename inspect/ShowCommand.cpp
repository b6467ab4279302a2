#include "ShowCommand.h"

#include "BookText.h"
#include "PipelineTransform.h"
#include "RuleFile.h"
#include "takeOption.h"

#include <QFile>

#include <cstdio>

namespace {

int complain(const QString &message, int code = 2)
{
    std::fprintf(stderr, "tavril-inspect: %s\n", qPrintable(message));
    return code;
}

bool readSettings(const QString &script, const QString &rules, const QString &tidy, TextPipeline::Settings *settings,
                  QString *error)
{
    static const QStringList forms = {"", "simplified", "traditional", "taiwan", "hongkong"};
    const int form = forms.indexOf(script);
    if (form < 0) {
        *error = QStringLiteral("unknown script: %1 (simplified, traditional, taiwan or hongkong)").arg(script);
        return false;
    }
    settings->form = ScriptConverter::Form(form);
    for (const QString &option : tidy.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        if (option == QLatin1String("blank"))
            settings->tidy.foldBlankLines = true;
        else if (option == QLatin1String("indent"))
            settings->tidy.indentParagraphs = true;
        else if (option == QLatin1String("join"))
            settings->tidy.joinWrappedLines = true;
        else {
            *error = QStringLiteral("unknown tidying: %1 (blank, indent, join)").arg(option);
            return false;
        }
    }
    if (rules.isEmpty())
        return true;
    QFile file(rules);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot read %1: %2").arg(rules, file.errorString());
        return false;
    }
    QStringList problems;
    if (!RuleFile::read(file.readAll(), &settings->rules, &problems)) {
        *error = QStringLiteral("not a rule file: %1 (%2)").arg(rules, problems.join(QStringLiteral("; ")));
        return false;
    }
    // Entries that cannot be used are left out, and said.
    for (const QString &problem : problems)
        complain(problem);
    return true;
}

} // namespace

int showCommand(QStringList args)
{
    QString script, rules, tidy;
    if (!takeOption(args, QStringLiteral("--script"), &script) ||
        !takeOption(args, QStringLiteral("--rules"), &rules) || !takeOption(args, QStringLiteral("--tidy"), &tidy) ||
        args.size() != 1)
        return complain(QStringLiteral("usage: tavril-inspect show [--script simplified|traditional|taiwan|hongkong] "
                                       "[--rules FILE.json] [--tidy blank,indent,join] BOOK"));
    TextPipeline::Settings settings;
    QString error;
    if (!readSettings(script, rules, tidy, &settings, &error))
        return complain(error);
    const BookText book = BookText::read(args.first(), TextEncoding::Auto);
    if (book.error != BookText::NoError)
        return complain(QStringLiteral("cannot read %1").arg(args.first()));
    PipelineTransform transform;
    if (!transform.setSettings(settings, &error))
        complain(error);
    QString shown;
    OffsetMap map;
    QStringList runaway;
    if (!transform.apply(book.text, ChapterRule(), nullptr, &shown, &map, &runaway))
        return complain(QStringLiteral("out of memory"));
    for (const QString &name : runaway)
        complain(QStringLiteral("rule left out, it ran too long: %1").arg(name));
    const QByteArray utf8 = shown.toUtf8();
    std::fwrite(utf8.constData(), 1, size_t(utf8.size()), stdout);
    return std::fflush(stdout) == 0 ? 0 : 2;
}
