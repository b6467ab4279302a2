#pragma once

#include <QMutex>
#include <QThread>

/// Emits the inherited finished() once, `delay` ms after the last of a burst
/// of trigger() calls.
class DelayRun : public QThread
{
    Q_OBJECT

public:
    explicit DelayRun(int delay);
    ~DelayRun() override;

    /// Moves the deadline to now + delay and starts the thread when idle.
    /// Called from the GUI thread.
    void trigger();

protected:
    void run() override;

private:
    static qint64 now();

    const int delay;
    QMutex lock;
    // Milliseconds on a monotonic clock, so a burst across midnight or a
    // change of the wall clock still waits its full delay. -1: never armed.
    qint64 deadline = -1;
    bool leaving = false; // the run has seen its deadline pass
};
