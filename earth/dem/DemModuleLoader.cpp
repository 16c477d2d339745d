// The program's side: finds and loads libcarvento-dem.so the first time a model is opened.
#include "earth/dem/DemModule.hpp"

#include <dlfcn.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <system_error>
#include <vector>

namespace carvento::earth {
namespace {

constexpr const char* kModuleName = "libcarvento-dem.so";

// Where the module may be, in the order tried.
std::vector<std::string> Candidates()
{
    std::vector<std::string> paths;
    if (const char* named = std::getenv("CARVENTO_DEM_MODULE"); named && *named) {
        paths.emplace_back(named);
        return paths;
    }
    std::error_code error;
    const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
    if (!error)
        paths.push_back(
            (program.parent_path() / ".." / CARVENTO_DEM_MODULE_DIR / kModuleName).string());
#ifdef CARVENTO_DEM_MODULE_BUILT
    paths.emplace_back(CARVENTO_DEM_MODULE_BUILT);
#endif
    return paths;
}

struct Module {
    const CarventoDemApi* api = nullptr;
    std::string error;
};

// Loaded once and kept for the life of the process: GDAL is not made to be unloaded.
const Module& TheModule()
{
    static Module module;
    static std::once_flag once;
    std::call_once(once, [] {
        std::string tried;
        for (const std::string& path : Candidates()) {
            std::error_code error;
            if (!std::filesystem::exists(path, error)) {
                tried += (tried.empty() ? "" : ", ") + path;
                continue;
            }
            void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
            if (!handle) {
                const char* why = dlerror();
                module.error = "cannot load the elevation model reader " + path + ": " +
                               (why ? why : "unknown error");
                return;
            }
            using Entry = const CarventoDemApi* (*)();
            auto entry = reinterpret_cast<Entry>(dlsym(handle, "carvento_dem_api"));
            const CarventoDemApi* api = entry ? entry() : nullptr;
            if (!api || api->version != kCarventoDemApiVersion) {
                module.error = "the elevation model reader " + path +
                               " belongs to another build of Carvento";
                return;
            }
            module.api = api;
            return;
        }
        module.error = std::string("the elevation model reader ") + kModuleName +
                       " is not installed (looked for " + tried + ")";
    });
    return module;
}

} // namespace

std::unique_ptr<LoadedDem> LoadedDem::Open(const std::string& path, std::string& error)
{
    const Module& module = TheModule();
    if (!module.api) {
        error = module.error;
        return nullptr;
    }
    char message[1024] = {};
    void* model = module.api->open(path.c_str(), message, sizeof message);
    if (!model) {
        error = message[0] ? message : "cannot read the elevation model " + path;
        return nullptr;
    }
    return std::unique_ptr<LoadedDem>(new LoadedDem(module.api, model));
}

LoadedDem::~LoadedDem()
{
    m_api->close(m_model);
}

std::optional<double> LoadedDem::Elevation(double longitude, double latitude)
{
    return Sample(longitude, latitude).height;
}

LoadedDem::Reading LoadedDem::Sample(double longitude, double latitude)
{
    double height = 0;
    // Written only on a read error: a million points need not clear a kilobyte each.
    char message[1024];
    message[0] = '\0';
    const int found = m_api->elevation(m_model, longitude, latitude, &height, message,
                                       sizeof message);
    if (found < 0)
        return {std::nullopt, message[0] ? message : "cannot read the elevation model"};
    if (found == 0)
        return {};
    return {height, {}};
}

void LoadedDem::SampleMany(std::span<const double> longitudes, std::span<const double> latitudes,
                           std::span<double> heights, std::span<signed char> found)
{
    const std::size_t count =
        std::min({longitudes.size(), latitudes.size(), heights.size(), found.size()});
    m_api->elevations(m_model, longitudes.data(), latitudes.data(), count, heights.data(),
                      found.data());
}

} // namespace carvento::earth
