// Program and cache folders, and the search for run-time modules.
#include "platform/ProgramFolder.hpp"

#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <unistd.h>

namespace carvento::platform {

std::string ProgramFolder()
{
    std::error_code error;
    std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error || program.empty())
        return {};
    return program.parent_path().string();
}

std::string CacheFolderFor(const std::string& programFolder, const char* xdgDataHome,
                           const char* home)
{
    // An installed program (/usr/bin, /opt/…) keeps nothing beside itself, even when run by
    // root, who could write there.
    const bool installed = programFolder.starts_with("/usr/") ||
                           programFolder.starts_with("/opt/") || programFolder == "/bin" ||
                           programFolder == "/sbin";
    if (!installed && !programFolder.empty() && ::access(programFolder.c_str(), W_OK) == 0)
        return programFolder;
    std::filesystem::path base;
    if (xdgDataHome && *xdgDataHome == '/')
        base = xdgDataHome;
    else if (home && *home)
        base = std::filesystem::path(home) / ".local" / "share";
    else
        return {};
    std::filesystem::path folder = base / "carvento";
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error)
        return {};
    return folder.string();
}

std::string CacheFolder()
{
    return CacheFolderFor(ProgramFolder(), std::getenv("XDG_DATA_HOME"), std::getenv("HOME"));
}

std::vector<std::string> ModuleCandidates(const ModuleSearch& search)
{
    std::vector<std::string> paths;
    if (const char* named = search.overrideVariable ? std::getenv(search.overrideVariable)
                                                    : nullptr;
        named && *named) {
        paths.emplace_back(named);
        return paths;
    }
    if (const std::string program = ProgramFolder(); !program.empty())
        paths.push_back((std::filesystem::path(program) / ".." / search.installFolder /
                         search.fileName)
                            .string());
    if (!search.builtPath.empty())
        paths.push_back(search.builtPath);
    return paths;
}

ModuleLocation FindModule(const ModuleSearch& search)
{
    ModuleLocation location;
    for (const std::string& path : ModuleCandidates(search)) {
        std::error_code error;
        if (std::filesystem::exists(path, error)) {
            location.path = path;
            return location;
        }
        location.tried += (location.tried.empty() ? "" : ", ") + path;
    }
    return location;
}

} // namespace carvento::platform
