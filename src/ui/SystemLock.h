// The system lock: the password asked before the windows that change tasks,
// scripts or the settings open. This is the decision without any window, so
// that it can be checked on its own; SystemLockPrompt.h asks the user.
#pragma once

#include <string_view>

namespace qd {
struct ProgramSettings;
} // namespace qd

namespace qdui {

// Whether the password must be asked: only while "SysLock" is on and the
// running program has not been unlocked for the session.
bool systemLockNeedsPassword(const qd::ProgramSettings& settings, bool unlockedForSession);

enum class UnlockOutcome {
    Denied,            // the password is wrong: the window stays closed
    Passed,            // right password: this window may open
    UnlockedForSession // right password and "Unlock system for session" ticked
};

// The password typed into "Password Required" checked against "SysPwd"
// (without regard to letter case; the stored value may be a hash or the plain
// password of an older data set).
UnlockOutcome tryUnlock(const qd::ProgramSettings& settings, std::string_view typed, bool forSession);

// What the check shows when the password is wrong.
inline constexpr const char* kAccessDeniedTitle = "Access Denied";
inline constexpr const char* kAccessDeniedText = "The password you have entered is incorrect.";

} // namespace qdui
