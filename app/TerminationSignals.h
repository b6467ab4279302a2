#pragma once

#include <QObject>

class QSocketNotifier;

/// SIGTERM (logout), SIGHUP (a closed terminal) and SIGINT end the reader as
/// its quit command does: the event loop ends and whatever waits to be
/// written (the reading place on a slow disk) is written first. Without it
/// the default handlers would kill the process on the spot.
class TerminationSignals : public QObject
{
    Q_OBJECT

public:
    explicit TerminationSignals(QObject *parent = nullptr);
    ~TerminationSignals() override;

signals:
    /// A termination signal arrived; delivered on the GUI thread.
    void received(int signal);

private:
    void onSignal();

    QSocketNotifier *notifier = nullptr;
};
