#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include <functional>

// Dialogs and message boxes run through exec(), which returns only when they
// close: these helpers act from inside that event loop.

/// Hands the first modal widget of type T that opens to `action`, once.
template <typename T> class ModalAnswer
{
public:
    explicit ModalAnswer(std::function<void(T *)> action) : action(std::move(action))
    {
        QObject::connect(&timer, &QTimer::timeout, [this] {
            if (T *widget = qobject_cast<T *>(QApplication::activeModalWidget())) {
                timer.stop();
                answered = true;
                this->action(widget);
            }
        });
        timer.start(5);
    }

    bool answered = false;

private:
    std::function<void(T *)> action;
    QTimer timer;
};

/// Records every message box that opens and closes it with `answer`, or with
/// Escape when the box does not offer that button.
class MessageBoxes
{
public:
    explicit MessageBoxes(QMessageBox::StandardButton answer = QMessageBox::Ok)
    {
        QObject::connect(&timer, &QTimer::timeout, [this, answer] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            if (!box)
                return;
            texts << box->text();
            titles << box->windowTitle();
            icons << box->icon();
            buttons << box->standardButtons();
            if (QAbstractButton *button = box->button(answer))
                button->click();
            else
                box->reject();
        });
        timer.start(5);
    }

    QStringList texts;
    QStringList titles;
    QList<QMessageBox::Icon> icons;
    QList<QMessageBox::StandardButtons> buttons;

private:
    QTimer timer;
};
