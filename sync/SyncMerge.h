#pragma once

#include "SyncRecord.h"

#include <QList>

/// One book's records from every machine made into one: the newest place,
/// every bookmark any machine has, less those removed after they were added.
class SyncMerge
{
public:
    struct Result
    {
        SyncPlace place;
        QString placeDevice;
        /// The place is `own`'s: nothing to move to.
        bool placeIsOwn = true;
        QList<SyncBookmark> bookmarks; // by time added, then offset
        QList<SyncDeletion> deletions; // the removals still in force, newest first
    };
    /// Removals remembered per book: the oldest go first.
    static constexpr int MostDeletions = 200;

    /// Of equal times the place of the smaller device id wins, so that every
    /// machine picks the same one. A bookmark removed stays removed unless
    /// some machine added it again after the removal.
    static Result merge(const SyncRecord &own, const QList<SyncRecord> &others);
};
