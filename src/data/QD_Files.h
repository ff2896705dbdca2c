// The shared library's entry points and its managers.
//
// When the library is loaded it has an error manager and a settings manager of
// its own (on "QD_FILES.INI"); QD_Files_INIT hands it the program's managers
// instead. Both calls are made once per process.
#pragma once

#include "data/ErrorClass.h"
#include "data/IniFile.h"

#include <filesystem>

namespace qd {

void QD_Files_INIT(ErrorClass* errorManager, INIClass* iniManager);
void QD_Files_KILL();

// The managers the library's tables report through (the program's after INIT).
ErrorClass& QD_Files_ErrorManager();
INIClass& QD_Files_IniManager();

// Registers every table's structure version with the upgrade step, once per
// process however often it is asked; returns whether this call did it.
bool registerTableVersions();

} // namespace qd
