#pragma once

/// How long sync waits for what, in ms (tests and benchmarks shorten them).
struct SyncTiming
{
    /// An upload once the place has stood still this long...
    int settle = 30000;
    /// ...or at the latest this long after the first move not uploaded.
    int longest = 180000;
    /// A failed exchange is tried again after this long, then twice as long
    /// each time, up to `lastRetry`.
    int firstRetry = 5000;
    int lastRetry = 600000;
    /// How long the notice of a move to another machine's place offers undo.
    int undo = 8000;
    /// The server may stay silent this long within a request.
    int transfer = 15000;
    /// A keychain job may take this long.
    int keychain = 10000;
};
