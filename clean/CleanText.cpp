#include "CleanText.h"

#include "ReaderConfig.h"
#include "ReadingSession.h"
#include "RuleFile.h"
#include "configSettings.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QTextCodec>

#include <algorithm>

namespace {
// Our own field of a rule kept for one book: other programs keep it as it is.
const char kBookField[] = "tavrilBook";
const char *const kForms[] = {"none", "simplified", "traditional", "taiwan", "hongkong"};

int formOf(const QString &name)
{
    for (int i = 0; i < 5; ++i) {
        if (name == QLatin1String(kForms[i]))
            return i;
    }
    return -1;
}
} // namespace

CleanText::CleanText(ReadingSession *session, ReaderConfig *config, QObject *parent)
    : QObject(parent), session(session), config(config)
{
    load();
    Book *book = session->book();
    book->setTransformSource([this](const QString &path) { return transformFor(path); });
    connect(book, &Book::transformRanOver, this, &CleanText::onRanOver);
    connect(config, &ReaderConfig::settingChanged, this, [this](const QString &key) {
        if (key.startsWith(QLatin1String("clean/")))
            reshape();
    });
}

CleanText::~CleanText()
{
    session->book()->setTransformSource(nullptr);
}

QString CleanText::storePath()
{
    return QFileInfo(configSettings()->fileName()).absolutePath() + QStringLiteral("/tavril-clean.json");
}

QString CleanText::bookOf(const ReplaceRule &rule)
{
    return rule.json.value(QLatin1String(kBookField)).toString();
}

void CleanText::setBook(ReplaceRule *rule, const QString &bookPath)
{
    if (bookPath.isEmpty())
        rule->json.remove(QLatin1String(kBookField));
    else
        rule->json.insert(QLatin1String(kBookField), bookPath);
}

// A damaged file leaves the reader with no rules, and is kept for the user.
void CleanText::load()
{
    QFile file(storePath());
    if (!file.open(QIODevice::ReadOnly))
        return;
    const QJsonObject store = QJsonDocument::fromJson(file.read(16 << 20)).object();
    QStringList problems;
    RuleFile::read(QJsonDocument(store.value(QStringLiteral("rules")).toArray()).toJson(), &rules_, &problems);
    const QJsonObject scripts = store.value(QStringLiteral("bookScripts")).toObject();
    for (auto it = scripts.begin(); it != scripts.end(); ++it) {
        const int form = formOf(it.value().toString());
        if (form >= 0)
            bookScripts.insert(it.key(), form);
    }
}

bool CleanText::save()
{
    QJsonObject scripts;
    for (auto it = bookScripts.cbegin(); it != bookScripts.cend(); ++it)
        scripts.insert(it.key(), QLatin1String(kForms[it.value()]));
    QJsonObject store;
    store.insert(QStringLiteral("rules"), QJsonDocument::fromJson(RuleFile::write(rules_)).array());
    store.insert(QStringLiteral("bookScripts"), scripts);
    QSaveFile file(storePath());
    const QByteArray bytes = QJsonDocument(store).toJson();
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        emit message(tr("净化规则无法保存：%1").arg(file.errorString()));
        return false;
    }
    return true;
}

void CleanText::setRules(const QList<ReplaceRule> &rules)
{
    rules_ = rules;
    save();
    reshape();
}

ScriptConverter::Form CleanText::scriptFor(const QString &path) const
{
    const int own = bookScript(path);
    return ScriptConverter::Form(own >= 0 ? own : config->value(QStringLiteral("clean/script")).toInt());
}

void CleanText::setBookScript(const QString &path, int form)
{
    if (form < 0 || form > 4)
        bookScripts.remove(path);
    else
        bookScripts.insert(path, form);
    save();
    reshape();
}

std::shared_ptr<const TextTransform> CleanText::transformFor(const QString &path) const
{
    TextPipeline::Settings settings;
    for (const ReplaceRule &rule : rules_) {
        const QString book = bookOf(rule);
        if (rule.enabled && (book.isEmpty() || book == path))
            settings.rules << rule;
    }
    std::stable_sort(settings.rules.begin(), settings.rules.end(),
                     [](const ReplaceRule &a, const ReplaceRule &b) { return a.order < b.order; });
    settings.form = scriptFor(path);
    settings.tidy.foldBlankLines = config->value(QStringLiteral("clean/foldBlank")).toBool();
    settings.tidy.indentParagraphs = config->value(QStringLiteral("clean/indent")).toBool();
    settings.tidy.joinWrappedLines = config->value(QStringLiteral("clean/join")).toBool();
    if (settings.rules.isEmpty() && settings.form == ScriptConverter::None && settings.tidy.isEmpty())
        return nullptr;
    // The same settings give the same transform: the script tables load once.
    QByteArray key = RuleFile::write(settings.rules) + QByteArray::number(int(settings.form)) +
                     QByteArray::number(settings.tidy.foldBlankLines) +
                     QByteArray::number(settings.tidy.indentParagraphs) +
                     QByteArray::number(settings.tidy.joinWrappedLines) + QByteArray::number(ruleBudget);
    if (cached && key == cachedKey)
        return cached;
    auto transform = std::make_shared<PipelineTransform>();
    transform->setRuleBudget(ruleBudget);
    QString problem;
    if (!transform->setSettings(settings, &problem) && !toldScriptProblem) {
        toldScriptProblem = true;
        auto *self = const_cast<CleanText *>(this);
        QMetaObject::invokeMethod(
            self, [self, problem] { emit self->message(problem); }, Qt::QueuedConnection);
    }
    cached = transform;
    cachedKey = key;
    return cached;
}

void CleanText::reshape()
{
    session->book()->reshape();
}

// A rule that ran over its time is switched off for good, and named.
void CleanText::onRanOver(const QStringList &names)
{
    for (ReplaceRule &rule : rules_) {
        if (rule.enabled && names.contains(rule.displayName()))
            rule.enabled = false;
    }
    save();
    emit message(tr("这些净化规则处理太慢，已停用：%1").arg(names.join(QStringLiteral("、"))));
}

bool CleanText::saveShownText(const QString &target, QString *error) const
{
    Book *book = session->book();
    if (!book->hasText()) {
        *error = tr("请先打开一本书");
        return false;
    }
    book->waitForText();
    QSaveFile file(target);
    const QByteArray bytes = book->text().toUtf8();
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        *error = file.errorString();
        return false;
    }
    return true;
}
