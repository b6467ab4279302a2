#include "OneKeySequenceEdit.h"

#include <QKeyEvent>

OneKeySequenceEdit::OneKeySequenceEdit(QWidget *parent) : QKeySequenceEdit(parent) {}

void OneKeySequenceEdit::setSequenceText(const QString &text)
{
    clear();
    const QKeySequence chord = parseChord(text);
    if (!chord.isEmpty())
        setKeySequence(chord);
}

void OneKeySequenceEdit::keyPressEvent(QKeyEvent *event)
{
    // Backspace, with any modifiers, always means "no key"; it can therefore
    // never be captured itself.
    if (event->key() == Qt::Key_Backspace) {
        clear();
    } else {
        QKeySequenceEdit::keyPressEvent(event);
        // Setting the sequence ends QKeySequenceEdit's recording, so the next
        // press starts a new chord instead of appending a second one.
        const QString first = keySequence().toString(QKeySequence::PortableText).section(QLatin1Char(','), 0, 0);
        const QKeySequence chord = parseChord(first);
        if (chord.isEmpty())
            clear();
        else
            setKeySequence(chord);
    }
    emit editingFinished();
}

QKeySequence OneKeySequenceEdit::parseChord(const QString &text)
{
    // Text that names no key (a stored value gone bad, or the comma key's
    // text cut in two) parses to Qt::Key_unknown, which would be saved as a
    // sequence that is not empty and yet has no text: make it plainly empty.
    // Only the first chord of a longer text is kept.
    const QKeySequence sequence = QKeySequence::fromString(text, QKeySequence::PortableText);
    if (sequence.isEmpty() || (sequence[0] & ~Qt::KeyboardModifierMask) == Qt::Key_unknown)
        return QKeySequence();
    return QKeySequence(sequence[0]);
}
