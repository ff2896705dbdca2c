#include "data/QD_Files.h"

#include <atomic>
#include <memory>
#include <mutex>

namespace qd {
namespace {

struct LibraryState {
    ErrorClass ownErrors;
    INIClass ownIni{std::filesystem::path(), "QD_FILES.INI"};
    ErrorClass* errors = &ownErrors;
    INIClass* ini = &ownIni;
};

LibraryState& state() {
    static LibraryState s;
    return s;
}

std::atomic<bool> gRegistered{false};

} // namespace

void QD_Files_INIT(ErrorClass* errorManager, INIClass* iniManager) {
    LibraryState& s = state();
    if (errorManager) s.errors = errorManager;
    if (iniManager) s.ini = iniManager;
    registerTableVersions();
}

void QD_Files_KILL() {
    LibraryState& s = state();
    s.errors = &s.ownErrors;
    s.ini = &s.ownIni;
}

ErrorClass& QD_Files_ErrorManager() {
    return *state().errors;
}
INIClass& QD_Files_IniManager() {
    return *state().ini;
}

bool registerTableVersions() {
    // The versions and the field rename live in the dictionary itself
    // (TableDef::version, TableDef::renames); each table file records the
    // version it was written with, and the table open operation upgrades an
    // older one. Registering is therefore only the once-per-process flag.
    bool expected = false;
    return gRegistered.compare_exchange_strong(expected, true);
}

} // namespace qd
