#include "support/FaultVfs.h"

#include <sqlite3.h>

#include <atomic>
#include <cstring>
#include <mutex>

namespace qdtest {
namespace {

sqlite3_vfs* real = nullptr;
sqlite3_vfs shim{};

std::atomic<int> armedKind{static_cast<int>(FaultKind::None)};
std::atomic<long long> armedAt{0};
std::atomic<bool> armedPersistent{false};
std::atomic<long long> injectedCount{0};
std::atomic<long long> reads{0}, writes{0}, syncs{0}, locks{0};

// Counts a call of `kind`; true when it is to fail.
bool fails(FaultKind kind) {
    std::atomic<long long>& counter = kind == FaultKind::Read    ? reads
                                      : kind == FaultKind::Write ? writes
                                      : kind == FaultKind::Sync  ? syncs
                                                                 : locks;
    const long long n = ++counter;
    FaultKind armed = static_cast<FaultKind>(armedKind.load());
    if (armed == FaultKind::DiskFull) armed = FaultKind::Write;
    if (armed != kind) return false;
    const long long at = armedAt.load();
    if (n == at || (armedPersistent.load() && n > at)) {
        ++injectedCount;
        return true;
    }
    return false;
}

struct File {
    sqlite3_file base;
    sqlite3_file* real;
};

sqlite3_file* inner(sqlite3_file* f) {
    return reinterpret_cast<File*>(f)->real;
}

int xClose(sqlite3_file* f) {
    sqlite3_file* r = inner(f);
    const int rc = r->pMethods ? r->pMethods->xClose(r) : SQLITE_OK;
    return rc;
}
int xRead(sqlite3_file* f, void* buf, int amount, sqlite3_int64 offset) {
    if (fails(FaultKind::Read)) return SQLITE_IOERR_READ;
    return inner(f)->pMethods->xRead(inner(f), buf, amount, offset);
}
int xWrite(sqlite3_file* f, const void* buf, int amount, sqlite3_int64 offset) {
    if (fails(FaultKind::Write))
        return static_cast<FaultKind>(armedKind.load()) == FaultKind::DiskFull ? SQLITE_FULL
                                                                               : SQLITE_IOERR_WRITE;
    return inner(f)->pMethods->xWrite(inner(f), buf, amount, offset);
}
int xTruncate(sqlite3_file* f, sqlite3_int64 size) {
    return inner(f)->pMethods->xTruncate(inner(f), size);
}
int xSync(sqlite3_file* f, int flags) {
    if (fails(FaultKind::Sync)) return SQLITE_IOERR_FSYNC;
    return inner(f)->pMethods->xSync(inner(f), flags);
}
int xFileSize(sqlite3_file* f, sqlite3_int64* size) {
    return inner(f)->pMethods->xFileSize(inner(f), size);
}
int xLock(sqlite3_file* f, int level) {
    if (fails(FaultKind::Lock)) return SQLITE_IOERR_LOCK;
    return inner(f)->pMethods->xLock(inner(f), level);
}
int xUnlock(sqlite3_file* f, int level) {
    return inner(f)->pMethods->xUnlock(inner(f), level);
}
int xCheckReservedLock(sqlite3_file* f, int* out) {
    return inner(f)->pMethods->xCheckReservedLock(inner(f), out);
}
int xFileControl(sqlite3_file* f, int op, void* arg) {
    return inner(f)->pMethods->xFileControl(inner(f), op, arg);
}
int xSectorSize(sqlite3_file* f) {
    return inner(f)->pMethods->xSectorSize(inner(f));
}
int xDeviceCharacteristics(sqlite3_file* f) {
    return inner(f)->pMethods->xDeviceCharacteristics(inner(f));
}
int xShmMap(sqlite3_file* f, int page, int size, int extend, void volatile** out) {
    return inner(f)->pMethods->xShmMap(inner(f), page, size, extend, out);
}
int xShmLock(sqlite3_file* f, int offset, int n, int flags) {
    // Taking a lock can fail; giving one up cannot.
    if ((flags & SQLITE_SHM_LOCK) && fails(FaultKind::Lock)) return SQLITE_IOERR_SHMLOCK;
    return inner(f)->pMethods->xShmLock(inner(f), offset, n, flags);
}
void xShmBarrier(sqlite3_file* f) {
    inner(f)->pMethods->xShmBarrier(inner(f));
}
int xShmUnmap(sqlite3_file* f, int deleteFlag) {
    return inner(f)->pMethods->xShmUnmap(inner(f), deleteFlag);
}
int xFetch(sqlite3_file* f, sqlite3_int64 offset, int amount, void** out) {
    // Memory-mapped reads would bypass the counting: decline them.
    (void)f;
    (void)offset;
    (void)amount;
    *out = nullptr;
    return SQLITE_OK;
}
int xUnfetch(sqlite3_file* f, sqlite3_int64 offset, void* p) {
    return inner(f)->pMethods->xUnfetch(inner(f), offset, p);
}

const sqlite3_io_methods methods = {3,
                                    xClose,
                                    xRead,
                                    xWrite,
                                    xTruncate,
                                    xSync,
                                    xFileSize,
                                    xLock,
                                    xUnlock,
                                    xCheckReservedLock,
                                    xFileControl,
                                    xSectorSize,
                                    xDeviceCharacteristics,
                                    xShmMap,
                                    xShmLock,
                                    xShmBarrier,
                                    xShmUnmap,
                                    xFetch,
                                    xUnfetch};

int xOpen(sqlite3_vfs*, const char* name, sqlite3_file* f, int flags, int* outFlags) {
    File* file = reinterpret_cast<File*>(f);
    file->real = reinterpret_cast<sqlite3_file*>(file + 1);
    std::memset(file->real, 0, static_cast<std::size_t>(real->szOsFile));
    const int rc = real->xOpen(real, name, file->real, flags, outFlags);
    file->base.pMethods = file->real->pMethods ? &methods : nullptr;
    return rc;
}
int xDelete(sqlite3_vfs*, const char* name, int syncDir) {
    return real->xDelete(real, name, syncDir);
}
int xAccess(sqlite3_vfs*, const char* name, int flags, int* out) {
    return real->xAccess(real, name, flags, out);
}
int xFullPathname(sqlite3_vfs*, const char* name, int n, char* out) {
    return real->xFullPathname(real, name, n, out);
}
void* xDlOpen(sqlite3_vfs*, const char* name) {
    return real->xDlOpen(real, name);
}
void xDlError(sqlite3_vfs*, int n, char* msg) {
    real->xDlError(real, n, msg);
}
void (*xDlSym(sqlite3_vfs*, void* h, const char* sym))(void) {
    return real->xDlSym(real, h, sym);
}
void xDlClose(sqlite3_vfs*, void* h) {
    real->xDlClose(real, h);
}
int xRandomness(sqlite3_vfs*, int n, char* out) {
    return real->xRandomness(real, n, out);
}
int xSleep(sqlite3_vfs*, int us) {
    return real->xSleep(real, us);
}
int xCurrentTime(sqlite3_vfs*, double* out) {
    return real->xCurrentTime(real, out);
}
int xGetLastError(sqlite3_vfs*, int n, char* out) {
    return real->xGetLastError ? real->xGetLastError(real, n, out) : 0;
}
int xCurrentTimeInt64(sqlite3_vfs*, sqlite3_int64* out) {
    return real->xCurrentTimeInt64(real, out);
}

} // namespace

const char* toString(FaultKind kind) {
    switch (kind) {
    case FaultKind::None:
        return "none";
    case FaultKind::Read:
        return "read";
    case FaultKind::Write:
        return "write";
    case FaultKind::Sync:
        return "sync";
    case FaultKind::Lock:
        return "lock";
    case FaultKind::DiskFull:
        return "disk full";
    }
    return "?";
}

long long FaultCounts::of(FaultKind kind) const {
    switch (kind) {
    case FaultKind::Read:
        return reads;
    case FaultKind::Write:
    case FaultKind::DiskFull:
        return writes;
    case FaultKind::Sync:
        return syncs;
    case FaultKind::Lock:
        return locks;
    case FaultKind::None:
        break;
    }
    return 0;
}

void FaultVfs::install() {
    static std::once_flag once;
    std::call_once(once, [] {
        sqlite3_initialize();
        real = sqlite3_vfs_find(nullptr);
        shim.iVersion = 2;
        shim.szOsFile = static_cast<int>(sizeof(File)) + real->szOsFile;
        shim.mxPathname = real->mxPathname;
        shim.zName = "qd-fault";
        shim.xOpen = xOpen;
        shim.xDelete = xDelete;
        shim.xAccess = xAccess;
        shim.xFullPathname = xFullPathname;
        shim.xDlOpen = xDlOpen;
        shim.xDlError = xDlError;
        shim.xDlSym = xDlSym;
        shim.xDlClose = xDlClose;
        shim.xRandomness = xRandomness;
        shim.xSleep = xSleep;
        shim.xCurrentTime = xCurrentTime;
        shim.xGetLastError = xGetLastError;
        shim.xCurrentTimeInt64 = xCurrentTimeInt64;
        sqlite3_vfs_register(&shim, 1);
    });
    disarm();
}

void FaultVfs::arm(FaultKind kind, long long nth, bool persistent) {
    armedKind = static_cast<int>(FaultKind::None);
    reads = writes = syncs = locks = 0;
    injectedCount = 0;
    armedAt = nth;
    armedPersistent = persistent;
    armedKind = static_cast<int>(kind);
}

void FaultVfs::disarm() {
    armedKind = static_cast<int>(FaultKind::None);
    reads = writes = syncs = locks = 0;
}

FaultCounts FaultVfs::counts() {
    return {reads.load(), writes.load(), syncs.load(), locks.load()};
}

long long FaultVfs::injected() {
    return injectedCount.load();
}

} // namespace qdtest
