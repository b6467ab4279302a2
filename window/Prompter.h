#pragma once

#include <QString>
#include <QUrl>

class QWidget;

/// The modal and outward things the window does: message boxes, the file
/// dialog and the web browser. Tests put an answering Prompter in its place.
class Prompter
{
public:
    virtual ~Prompter() = default;
    /// An information box titled "提示" with a single OK button.
    virtual void information(QWidget *parent, const QString &text);
    /// A question titled "提示" with OK and Cancel; true only for OK.
    virtual bool question(QWidget *parent, const QString &text);
    /// A line of text asked for; a null string when cancelled.
    virtual QString text(QWidget *parent, const QString &title, const QString &label);
    virtual QString openFileName(QWidget *parent, const QString &caption, const QString &start, const QString &filter);
    virtual void openUrl(const QUrl &url);
};
