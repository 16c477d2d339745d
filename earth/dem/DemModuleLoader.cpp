// The program's side: finds and loads libcarvento-dem.so the first time a model is opened.
#include "earth/dem/DemModule.hpp"

#include "platform/ProgramFolder.hpp"

#include <dlfcn.h>

#include <algorithm>
#include <mutex>
#include <vector>

namespace carvento::earth {
namespace {

constexpr const char* kModuleName = "libcarvento-dem.so";

struct Module {
    const CarventoDemApi* api = nullptr;
    std::string error;
};

// Loaded once and kept for the life of the process: GDAL is not made to be unloaded. Found where
// CARVENTO_DEM_MODULE names it, else in the install's library folder, else in the build tree.
const Module& TheModule()
{
    static Module module;
    static std::once_flag once;
    std::call_once(once, [] {
        const platform::ModuleLocation found =
            platform::FindModule({"CARVENTO_DEM_MODULE", CARVENTO_DEM_MODULE_DIR, kModuleName,
                                  CARVENTO_DEM_MODULE_BUILT});
        if (found.path.empty()) {
            module.error = std::string("the elevation model reader ") + kModuleName +
                           " is not installed (looked for " + found.tried + ")";
            return;
        }
        const std::string& path = found.path;
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
