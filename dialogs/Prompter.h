#pragma once

#include <QColor>
#include <QFont>
#include <QString>
#include <QUrl>

class QWidget;

/// Everything modal or outward the reader does: message boxes, questions,
/// the file, font and colour pickers and the web browser. The window, its
/// commands and the dialogs all ask through the current Prompter, so that
/// tests can put one in place that answers instead of a person.
class Prompter
{
public:
    virtual ~Prompter() = default;

    /// The Prompter in use: the last one installed, else one that asks the user.
    static Prompter *current();
    /// Makes `prompter` the current one (not owned); null: the user's again.
    static void install(Prompter *prompter);

    /// An information box titled "提示" with a single OK button.
    virtual void information(QWidget *parent, const QString &text);
    /// A warning box titled "提示" with a single OK button.
    virtual void warning(QWidget *parent, const QString &text);
    /// A question titled "提示" with OK and Cancel; true only for OK.
    virtual bool question(QWidget *parent, const QString &text);
    /// A question titled "提示" with Yes and No (deleting); true only for Yes.
    virtual bool confirm(QWidget *parent, const QString &text);
    /// A line of text asked for; a null string when cancelled.
    virtual QString text(QWidget *parent, const QString &title, const QString &label);
    /// A secret asked for, not shown as it is typed; a null string when cancelled.
    virtual QString password(QWidget *parent, const QString &title, const QString &label);
    /// A folder chosen from `start`; empty when cancelled.
    virtual QString folderName(QWidget *parent, const QString &caption, const QString &start);
    virtual QString openFileName(QWidget *parent, const QString &caption, const QString &start, const QString &filter);
    virtual QString saveFileName(QWidget *parent, const QString &caption, const QString &start, const QString &filter);
    /// A font chosen from `initial`; *ok false when cancelled.
    virtual QFont font(QWidget *parent, const QFont &initial, bool *ok);
    /// A colour chosen from `initial`; invalid when cancelled.
    virtual QColor color(QWidget *parent, const QColor &initial);
    virtual void openUrl(const QUrl &url);
};
