#include "Capabilities.h"

#include "AutoTurner.h"
#include "PreferenceDialog.h"
#include "Prompter.h"
#include "ReadAloud.h"
#include "Reader.h"
#include "SpeechPreferences.h"

#include <QEvent>
#include <QWidget>

Capabilities::Capabilities(Reader *reader, CommandDispatcher *dispatcher, QWidget *window)
    : QObject(window), reader(reader), window(window),
      autoTurner_(new AutoTurner(reader->session(), reader->config(), window)),
      readAloud_(new ReadAloud(reader, window))
{
    autoTurner_->addTo(dispatcher);
    readAloud_->addTo(dispatcher);
    connect(autoTurner_, &AutoTurner::changed, window, QOverload<>::of(&QWidget::update));
    connect(readAloud_, &ReadAloud::changed, window, QOverload<>::of(&QWidget::update));
    connect(readAloud_, &ReadAloud::message, window,
            [window](const QString &text) { Prompter::current()->information(window, text); });
    window->installEventFilter(this);
}

void Capabilities::paint(QPainter *painter, const QRect &page) const
{
    if (autoTurner_->isTurning())
        autoTurner_->paintMark(painter, page);
    readAloud_->paintNote(painter, page);
}

void Capabilities::addPreferencePages(PreferenceDialog *dialog)
{
    dialog->addPage(new SpeechPreferences(reader->config(), readAloud_->engine()), tr("朗读"));
}

// Hiding the window (a key, a double click, a command from outside) stops
// pages turning and silences the voice at once.
bool Capabilities::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == window && event->type() == QEvent::Hide) {
        autoTurner_->stop();
        readAloud_->silence();
    } else if (watched == window && event->type() == QEvent::Show) {
        readAloud_->windowShown();
    }
    return false;
}
