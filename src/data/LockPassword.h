// The lock password ("SysPwd"): stored as a salted, slow hash of the password
// in capitals, so that the data set never holds it readable and the comparison
// stays blind to case. A plain value left by an older data set still unlocks
// and is replaced by its hash the first time the settings are loaded.
#pragma once

#include <string>
#include <string_view>

namespace qd {

class SettingsStore;
struct ProgramSettings;

// Whether a stored value is a hash (rather than a plain password of an older data set).
bool isLockPasswordHash(std::string_view stored);
// The text to store for a password typed by the user ("" stays "": no password).
// Empty also when hashing fails (out of memory); `ok` says which.
std::string hashLockPassword(std::string_view typed, bool* ok = nullptr);
// Whether `typed` is the password stored as `stored` (hash or older plain value).
bool lockPasswordMatches(std::string_view stored, std::string_view typed);
// After loading: a plain stored password is replaced by its hash, in the table
// and in `settings`. False when that write failed (the message was shown).
bool upgradeLockPassword(SettingsStore& store, ProgramSettings& settings);

} // namespace qd
