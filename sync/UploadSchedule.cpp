#include "UploadSchedule.h"

UploadSchedule::UploadSchedule(QObject *parent) : QObject(parent)
{
    for (QTimer *timer : {&settle, &longest, &retry})
        timer->setSingleShot(true);
    const auto fire = [this] {
        clear();
        emit due();
    };
    connect(&settle, &QTimer::timeout, this, fire);
    connect(&longest, &QTimer::timeout, this, fire);
    connect(&retry, &QTimer::timeout, this, &UploadSchedule::retryDue);
}

void UploadSchedule::changed()
{
    // While a retry waits, the change goes with it.
    if (retry.isActive())
        return;
    settle.start(timing_.settle);
    if (!longest.isActive())
        longest.start(timing_.longest);
}

void UploadSchedule::succeeded()
{
    backOff = 0;
    retry.stop();
}

void UploadSchedule::failed()
{
    backOff = backOff == 0 ? timing_.firstRetry : qMin(timing_.lastRetry, backOff * 2);
    clear();
    retry.start(backOff);
}

void UploadSchedule::clear()
{
    settle.stop();
    longest.stop();
}
