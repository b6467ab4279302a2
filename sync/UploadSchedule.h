#pragma once

#include "SyncTiming.h"

#include <QObject>
#include <QTimer>

/// When a changed record goes to the store: once the place has stood still
/// for a while, or a while after the first change at the latest, so that a
/// reader turning pages sends a record every few minutes and not at every
/// page; after a failure, again later and later until one goes through.
class UploadSchedule : public QObject
{
    Q_OBJECT

public:
    explicit UploadSchedule(QObject *parent = nullptr);

    void setTiming(const SyncTiming &timing) { timing_ = timing; }
    /// Something changed that should be uploaded in a while.
    void changed();
    /// An exchange went through (the back-off starts anew) or failed (a
    /// retry is due later).
    void succeeded();
    void failed();
    /// Everything is being sent now: no upload is due.
    void clear();
    bool isRetrying() const { return retry.isActive(); }

signals:
    /// Time to upload.
    void due();
    /// Time to try a failed exchange again.
    void retryDue();

private:
    SyncTiming timing_;
    QTimer settle;
    QTimer longest;
    QTimer retry;
    int backOff = 0;
};
