// A file-system layer for the record store that fails on purpose: it passes
// every call to the real one, counts reads, writes, syncs and locks, and makes
// the Nth one of a kind fail (or report a full disk). Installed as the default,
// so every store file the process opens afterwards goes through it; the
// encryption sits above it and is not affected.
#pragma once

#include <string>

namespace qdtest {

enum class FaultKind { None, Read, Write, Sync, Lock, DiskFull };

const char* toString(FaultKind kind);

struct FaultCounts {
    long long reads = 0;
    long long writes = 0;
    long long syncs = 0;
    long long locks = 0;
    long long of(FaultKind kind) const;
};

class FaultVfs {
public:
    // Installs the layer (once per process) and resets it.
    static void install();
    // From now on count from zero and fail the `nth` call of `kind` (1-based).
    // With `persistent`, every later call of that kind fails too.
    static void arm(FaultKind kind, long long nth, bool persistent = false);
    // Counting goes on, nothing fails.
    static void disarm();
    static FaultCounts counts();
    // How many calls were made to fail since the last arm().
    static long long injected();
};

} // namespace qdtest
