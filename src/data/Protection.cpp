#include "data/Protection.h"

#include "data/Backup.h"
#include "data/DataFolderLock.h"
#include "data/IniFile.h"
#include "data/StoreFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <vector>

namespace qd {
namespace {

namespace fs = std::filesystem;

void removeWithJournal(const fs::path& file) {
    std::error_code ec;
    fs::remove(file, ec);
    fs::remove(fs::path(file.string() + "-wal"), ec);
    fs::remove(fs::path(file.string() + "-shm"), ec);
}

constexpr const char* kSecuritySection = "Security";
constexpr const char* kProtectedKey = "Passphrase";

} // namespace

bool isProtected(const fs::path& dataFolder) {
    return IniFile(dataFolder, kProgramIniName).get(kSecuritySection, kProtectedKey) == "1";
}

bool opensWithOwnerPassword(const fs::path& dataFolder) {
    const fs::path main = findFileNoCase(dataFolder, "QD97.TPS");
    std::error_code ec;
    if (!fs::exists(main, ec)) return true;
    StoreError e;
    return StoreFile::open(main, true, false, e) != nullptr;
}

bool passphraseOpens(const fs::path& dataFolder, std::string_view passphrase) {
    if (passphrase.empty()) return false;
    StoreError e;
    return StoreFile::open(findFileNoCase(dataFolder, "QD97.TPS"), true, false, e, passphrase) != nullptr;
}

RekeyResult rekeyDataSet(const fs::path& dataFolder, std::string_view oldKey, std::string_view newKey,
                         const std::string& backupStamp,
                         const std::function<void(const RekeyProgress&)>& progress) {
    RekeyResult r;
    DataFolderLock lock;
    if (!lock.acquire(dataFolder, DataFolderLock::Mode::Exclusive, r.error)) return r;

    std::vector<fs::path> files;
    for (const fs::path& f : dataSetFiles(dataFolder))
        if (isEncryptedStoreFile(f)) files.push_back(f);
    if (files.empty()) {
        r.error = "No encrypted data files in " + dataFolder.string();
        return r;
    }
    // Every file must open with the old key before anything is done.
    for (const fs::path& f : files) {
        StoreError e;
        if (!StoreFile::open(f, true, false, e, oldKey)) {
            r.error = f.filename().string() + " does not open with the current key (" + e.text +
                      "); nothing was changed.";
            return r;
        }
    }
    const BackupResult b = backupDataSet(dataFolder, backupStamp, {}, oldKey);
    if (!b.ok) {
        r.error = "The backup taken first failed (" + b.error + "); nothing was changed.";
        return r;
    }
    r.backup = b.folder;

    RekeyProgress p;
    p.total = static_cast<int>(files.size());
    std::vector<std::pair<fs::path, fs::path>> swaps; // new file, target
    auto dropNew = [&] {
        for (const auto& [fresh, target] : swaps)
            removeWithJournal(fresh);
    };
    for (const fs::path& f : files) {
        p.file = f.filename().string();
        if (progress) progress(p);
        const fs::path fresh = dataFolder / ("." + f.filename().string() + ".rekey");
        removeWithJournal(fresh);
        swaps.emplace_back(fresh, f);
        StoreError e;
        auto source = StoreFile::open(f, true, false, e, oldKey);
        bool ok = source && source->exportTo(fresh, newKey, e);
        source.reset();
        if (ok) {
            auto check = StoreFile::open(fresh, true, false, e, newKey);
            ok = check != nullptr;
            if (ok) {
                const std::string verdict = check->integrityCheck();
                if (verdict != "ok") {
                    ok = false;
                    e.text = verdict;
                }
            }
        }
        if (!ok) {
            dropNew();
            r.error = "Cannot re-key " + f.filename().string() + " (" + e.text + "); nothing was changed.";
            return r;
        }
        ++p.done;
    }

    // Swap: each old file moves aside, the new one takes its name.
    std::size_t swapped = 0;
    bool failed = false;
    for (; swapped < swaps.size(); ++swapped) {
        const auto& [fresh, target] = swaps[swapped];
        const fs::path aside = fs::path(fresh.string() + ".old");
        std::error_code ec;
        fs::remove(fs::path(target.string() + "-wal"), ec);
        fs::remove(fs::path(target.string() + "-shm"), ec);
        if (std::rename(target.c_str(), aside.c_str()) != 0) {
            failed = true;
            break;
        }
        if (std::rename(fresh.c_str(), target.c_str()) != 0) {
            std::rename(aside.c_str(), target.c_str());
            failed = true;
            break;
        }
    }
    if (failed) {
        for (std::size_t i = 0; i < swapped; ++i) {
            const auto& [fresh, target] = swaps[i];
            std::rename(fs::path(fresh.string() + ".old").c_str(), target.c_str());
        }
        dropNew();
        r.error = "Cannot replace " + swaps[swapped].second.filename().string() +
                  "; the data set was left as it was.";
        return r;
    }
    for (const auto& [fresh, target] : swaps) {
        std::error_code ec;
        fs::remove(fs::path(fresh.string() + ".old"), ec);
    }
    const int dfd = ::open(dataFolder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd >= 0) {
        ::fsync(dfd);
        ::close(dfd);
    }
    IniFile ini(dataFolder, kProgramIniName);
    const IniStatus marked = newKey.empty() ? ini.removeKey(kSecuritySection, kProtectedKey)
                                            : ini.set(kSecuritySection, kProtectedKey, "1");
    if (!marked) r.warning = marked.message;
    p.file.clear();
    if (progress) progress(p);
    r.files = static_cast<int>(swaps.size());
    r.ok = true;
    return r;
}

} // namespace qd
