#include "data/LockPassword.h"

#include "data/Globals.h"
#include "data/Settings.h"
#include "data/Text.h"

#include <sodium.h>

namespace qd {
namespace {

bool sodiumReady() {
    static const bool ready = sodium_init() >= 0;
    return ready;
}

} // namespace

bool isLockPasswordHash(std::string_view stored) {
    return stored.rfind("$argon2", 0) == 0;
}

std::string hashLockPassword(std::string_view typed, bool* ok) {
    if (ok) *ok = true;
    if (typed.empty()) return {};
    const std::string key = text::upperAscii(typed);
    char out[crypto_pwhash_STRBYTES];
    if (!sodiumReady() || crypto_pwhash_str(out, key.data(), key.size(), crypto_pwhash_OPSLIMIT_INTERACTIVE,
                                            crypto_pwhash_MEMLIMIT_INTERACTIVE) != 0) {
        if (ok) *ok = false;
        return {};
    }
    return out;
}

bool lockPasswordMatches(std::string_view stored, std::string_view typed) {
    if (!isLockPasswordHash(stored)) return text::upperAscii(stored) == text::upperAscii(typed);
    if (!sodiumReady()) return false;
    const std::string hash(stored);
    const std::string key = text::upperAscii(typed);
    return crypto_pwhash_str_verify(hash.c_str(), key.data(), key.size()) == 0;
}

bool upgradeLockPassword(SettingsStore& store, ProgramSettings& settings) {
    if (settings.SysPwd.empty() || isLockPasswordHash(settings.SysPwd)) return true;
    bool ok = false;
    const std::string hash = hashLockPassword(settings.SysPwd, &ok);
    if (!ok) return false;
    if (!store.write("SysPwd", hash)) return false;
    settings.SysPwd = hash;
    return true;
}

} // namespace qd
