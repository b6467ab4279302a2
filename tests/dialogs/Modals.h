#pragma once

// exec() returns only when its dialog closes: Modals answers from inside that event loop.

#include <QtWidgets>

#include <functional>

/// What a modal widget showed when it came up (text and buttons: a message box's).
struct SeenModal
{
    QString title;
    QString text;
    QMessageBox::StandardButtons buttons;
    QObject *parent;
};

/// Records each modal widget and gives it the next queued answer, else `button` to a message box, else reject().
class Modals : public QObject
{
public:
    explicit Modals(QMessageBox::StandardButton button = QMessageBox::Ok) : button(button)
    {
        connect(&timer, &QTimer::timeout, this, &Modals::poll);
        timer.start(5);
    }

    /// Hands the next modal to `action` as a T; one of another type is rejected.
    template <typename T> void expect(const std::function<void(T *)> &action)
    {
        answers.enqueue([action](QDialog *modal) {
            if (T *widget = qobject_cast<T *>(modal))
                action(widget);
            else
                modal->reject();
        });
    }

    QStringList texts() const
    {
        QStringList result;
        for (const SeenModal &modal : seen)
            result << modal.text;
        return result;
    }

    QMessageBox::StandardButton button;
    QList<SeenModal> seen;

private:
    void poll()
    {
        auto *modal = qobject_cast<QDialog *>(QApplication::activeModalWidget());
        // Guarded: a dialog of the next call may come back at the same address.
        if (!modal || handled.contains(modal))
            return;
        handled << modal;
        auto *box = qobject_cast<QMessageBox *>(modal);
        seen << SeenModal{modal->windowTitle(), box ? box->text() : QString(),
                          box ? box->standardButtons() : QMessageBox::NoButton, modal->parent()};
        // An answer runs from a timer of its own: while this one's slot runs,
        // it cannot fire for a message box that the answer opens.
        if (!answers.isEmpty())
            QTimer::singleShot(0, modal, [answer = answers.dequeue(), modal] { answer(modal); });
        else if (box && box->button(button))
            box->button(button)->click();
        else
            modal->reject();
    }

    QQueue<std::function<void(QDialog *)>> answers;
    QList<QPointer<QDialog>> handled;
    QTimer timer;
};
