#include "LinkLabel.h"

#include "Prompter.h"
#include <QUrl>

LinkLabel::LinkLabel(QWidget *parent, Qt::WindowFlags flags) : QLabel(parent, flags)
{
    setStyleSheet(QStringLiteral("text-decoration:underline;color: rgb(21, 107, 255);"));
    setCursor(Qt::PointingHandCursor);
}

void LinkLabel::setUrl(const QString &url)
{
    url_ = url;
}

void LinkLabel::mousePressEvent(QMouseEvent *)
{
    emit clicked();
    // Anything else (file:, mailto:, a bare path) could start an arbitrary program.
    if (!url_.isEmpty() && url_.toLower().startsWith(QLatin1String("http")))
        Prompter::current()->openUrl(QUrl(url_, QUrl::TolerantMode));
}
