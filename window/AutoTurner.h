#pragma once

#include <QObject>
#include <QTimer>

class CommandDispatcher;
class QPainter;
class QRect;
class QWidget;
class ReaderConfig;
class ReadingSession;

/// Pages that turn by themselves every few seconds (自动翻页), until the
/// reader does anything else: another command, a key, a click, the wheel,
/// hiding the window, or the end of the book.
class AutoTurner : public QObject
{
    Q_OBJECT

public:
    AutoTurner(ReadingSession *session, ReaderConfig *config, QWidget *window);

    /// Registers the command, and stops at any other command.
    void addTo(CommandDispatcher *dispatcher);
    bool isTurning() const { return timer.isActive(); }
    void toggle();
    void stop();
    /// A small sign at the top right of the page while pages turn.
    void paintMark(QPainter *painter, const QRect &page) const;

signals:
    /// Started or stopped: the sign comes or goes.
    void changed();

private:
    void turn();

    ReadingSession *session;
    ReaderConfig *config;
    QWidget *window;
    QTimer timer;
};
