#include "KeyLineLabel.h"

#include <QMouseEvent>

KeyLineLabel::KeyLineLabel(QWidget *parent) : QKeySequenceEdit(parent) {}

QString KeyLineLabel::sequenceText() const
{
    return keySequence().toString(QKeySequence::PortableText);
}

void KeyLineLabel::setSequenceText(const QString &text)
{
    clear();
    if (!text.isEmpty())
        setKeySequence(QKeySequence::fromString(text, QKeySequence::PortableText));
}

void KeyLineLabel::keyPressEvent(QKeyEvent *event)
{
    // Typing into the field must never change an action's key behind the
    // table's back; the capture dialog is the only way.
    Q_UNUSED(event)
}

bool KeyLineLabel::eventFilter(QObject *watched, QEvent *event)
{
    // QKeySequenceEdit watches its inner line edit, which is what the mouse hits.
    if (event->type() == QEvent::MouseButtonPress && static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton) {
        emit clicked(this);
        return true;
    }
    return QObject::eventFilter(watched, event);
}
