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
    deadline.store(now() + delay);
    if (!isRunning())
        start(QThread::InheritPriority);
}

void DelayRun::run()
{
    while (now() < deadline.load())
        QThread::msleep(1);
}
