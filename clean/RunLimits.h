#pragma once

#include <atomic>

/// How long a transform may take and how to stop it. Work that grows with
/// the book or runs a user's pattern runs off the GUI thread under these.
struct RunLimits
{
    /// Time one replacement rule may take over the whole text (added up
    /// over the threads); a rule that runs over is left out and named as a
    /// runaway.
    int msPerRule = 3000;
    /// Set to true (from any thread) to stop; checked between matches and
    /// between stretches of about 64 K characters.
    const std::atomic<bool> *cancel = nullptr;
    /// Worker threads a run may use (the text is split at line ends).
    int threads = 2;

    bool cancelled() const { return cancel && cancel->load(std::memory_order_relaxed); }
};
