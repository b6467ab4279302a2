#include "DelayRun.h"

#include <chrono>

DelayRun::DelayRun(int delay) : QThread(nullptr), delay(delay) {}

DelayRun::~DelayRun()
{
    wait();
}

qint64 DelayRun::now()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

void DelayRun::trigger()
{
    QMutexLocker locker(&lock);
    deadline = now() + delay;
    // A run that has seen its deadline pass is on its way out and would not
    // see this one: it is let finish, and a new run waits for this deadline.
    if (leaving) {
        locker.unlock();
        wait();
        locker.relock();
    }
    if (!isRunning()) {
        leaving = false;
        start(QThread::InheritPriority);
    }
}

void DelayRun::run()
{
    QMutexLocker locker(&lock);
    // Sleeps until the deadline; a trigger meanwhile moves it, so the sleep
    // is taken again for what is left.
    for (qint64 left = deadline - now(); left > 0; left = deadline - now()) {
        locker.unlock();
        QThread::msleep(ulong(left));
        locker.relock();
    }
    leaving = true;
}
