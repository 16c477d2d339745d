// Where the program keeps its task cache files: the folder of the running program when it is
// writable (a copy unpacked somewhere by hand), otherwise the user's data folder (an installed
// program cannot write beside itself). And where it finds the modules it loads at run time.
#pragma once

#include <string>
#include <vector>

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

// Where a module the program loads at run time (libcarvento-dem.so …) may be.
struct ModuleSearch {
    // An environment variable naming the module file; when set, the one place looked.
    const char* overrideVariable = nullptr;
    // The install's folder for the module, relative to the installation prefix (the program
    // folder's parent): "lib/<multiarch>/carvento".
    std::string installFolder;
    // The module's file name.
    std::string fileName;
    // The module in the build tree, for programs run where they were built; empty for none.
    std::string builtPath;
};

// The places the module may be, in the order tried: the override alone when it is set and not
// empty, else <program folder>/../<installFolder>/<fileName> (when the program folder is known),
// then builtPath.
std::vector<std::string> ModuleCandidates(const ModuleSearch& search);

// The first of the candidates that exists; when none does, `path` is empty and `tried` lists
// them as "first, second" for the message saying the module is not installed.
struct ModuleLocation {
    std::string path;
    std::string tried;
};
ModuleLocation FindModule(const ModuleSearch& search);

} // namespace carvento::platform
