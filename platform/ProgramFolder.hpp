// Where the program keeps its task cache files: the folder of the running program when it is
// writable (a copy unpacked somewhere by hand), otherwise the user's data folder (an installed
// program cannot write beside itself).
#pragma once

#include <string>

namespace carvento::platform {

// The folder of the running program file, without a trailing separator; empty when it cannot
// be determined.
std::string ProgramFolder();

// The folder for cache files: ProgramFolder() when writable, else $XDG_DATA_HOME/carvento
// (default ~/.local/share/carvento), created when missing. Empty when there is none.
std::string CacheFolder();

// The same decision for a given program folder and environment, for tests.
std::string CacheFolderFor(const std::string& programFolder, const char* xdgDataHome,
                           const char* home);

} // namespace carvento::platform
