#include "ui/SystemLock.h"

#include "data/Globals.h"
#include "data/LockPassword.h"

namespace qdui {

bool systemLockNeedsPassword(const qd::ProgramSettings& settings, bool unlockedForSession) {
    return settings.SysLock && !unlockedForSession;
}

UnlockOutcome tryUnlock(const qd::ProgramSettings& settings, std::string_view typed, bool forSession) {
    if (!qd::lockPasswordMatches(settings.SysPwd, typed)) return UnlockOutcome::Denied;
    return forSession ? UnlockOutcome::UnlockedForSession : UnlockOutcome::Passed;
}

} // namespace qdui
