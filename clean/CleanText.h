#pragma once

#include "PipelineTransform.h"
#include "ReplaceRule.h"
#include "ScriptConverter.h"

#include <QHash>
#include <QList>
#include <QObject>

#include <memory>

class ReaderConfig;
class ReadingSession;

/// Clean text (净化): the user's replacement rules, the script a book is
/// shown in and the tidying of paragraphs, turned into the transform the open
/// book is shown through. The rules and the per-book scripts live in a file
/// beside the settings file ("tavril-clean.json"); the tidying and the script
/// for all books in the settings.
class CleanText : public QObject
{
    Q_OBJECT

public:
    CleanText(ReadingSession *session, ReaderConfig *config, QObject *parent = nullptr);
    ~CleanText() override;

    /// Every rule, in the order they are listed.
    QList<ReplaceRule> rules() const { return rules_; }
    /// Stores the rules and shows the open book through them.
    void setRules(const QList<ReplaceRule> &rules);
    /// The book a rule is kept for; empty for all books.
    static QString bookOf(const ReplaceRule &rule);
    static void setBook(ReplaceRule *rule, const QString &bookPath);

    /// The script the book at `path` is shown in: its own choice, or the one for all books.
    ScriptConverter::Form scriptFor(const QString &path) const;
    /// The book's own choice; -1: none (the one for all books).
    int bookScript(const QString &path) const { return bookScripts.value(path, -1); }
    void setBookScript(const QString &path, int form);

    /// What the book at `path` is shown through; null when it is shown as it is.
    std::shared_ptr<const TextTransform> transformFor(const QString &path) const;
    /// Writes the open book's shown text to `target` (UTF-8); false with a reason.
    bool saveShownText(const QString &target, QString *error) const;
    /// Where the rules are kept.
    static QString storePath();
    /// How long one rule may take over a whole book (ms) before it is
    /// switched off (tests shorten it).
    void setRuleBudget(int ms) { ruleBudget = ms; }

signals:
    /// Something the user must be told.
    void message(const QString &text);

private:
    void load();
    bool save();
    void reshape();
    void onRanOver(const QStringList &names);

    ReadingSession *session;
    ReaderConfig *config;
    QList<ReplaceRule> rules_;
    QHash<QString, int> bookScripts;
    mutable std::shared_ptr<const PipelineTransform> cached;
    mutable QByteArray cachedKey;
    mutable bool toldScriptProblem = false;
    int ruleBudget = RunLimits().msPerRule;
};
