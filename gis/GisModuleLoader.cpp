// The program's side: finds and loads libcarvento-gis.so the first time a layer is written.
#include "gis/GisModule.hpp"

#include "platform/ProgramFolder.hpp"

#include <dlfcn.h>

#include <mutex>
#include <string>

namespace carvento::gis {
namespace {

constexpr const char* kModuleName = "libcarvento-gis.so";

struct Module {
    const CarventoGisApi* api = nullptr;
    std::string error;
};

// Loaded once and kept for the life of the process: GDAL is not made to be unloaded. Found where
// CARVENTO_GIS_MODULE names it, else in the install's library folder, else in the build tree.
const Module& TheModule()
{
    static Module module;
    static std::once_flag once;
    std::call_once(once, [] {
        const platform::ModuleLocation found =
            platform::FindModule({"CARVENTO_GIS_MODULE", CARVENTO_GIS_MODULE_DIR, kModuleName,
                                  CARVENTO_GIS_MODULE_BUILT});
        if (found.path.empty()) {
            module.error = std::string("the GIS writer ") + kModuleName +
                           " is not installed (looked for " + found.tried + ")";
            return;
        }
        const std::string& path = found.path;
        void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!handle) {
            const char* why = dlerror();
            module.error = "cannot load the GIS writer " + path + ": " +
                           (why ? why : "unknown error");
            return;
        }
        using Entry = const CarventoGisApi* (*)();
        auto entry = reinterpret_cast<Entry>(dlsym(handle, "carvento_gis_api"));
        const CarventoGisApi* api = entry ? entry() : nullptr;
        if (!api || api->version != kCarventoGisApiVersion) {
            module.error = "the GIS writer " + path + " belongs to another build of Carvento";
            return;
        }
        module.api = api;
    });
    return module;
}

} // namespace

std::unique_ptr<PointLayer> PointLayer::Create(const LayerSpec& spec, std::string& error)
{
    const Module& module = TheModule();
    if (!module.api) {
        error = module.error;
        return nullptr;
    }
    std::vector<const char*> names;
    for (const std::string& name : spec.fieldNames)
        names.push_back(name.c_str());
    char message[1024] = {};
    void* layer = module.api->create(spec.path.c_str(), spec.driver.c_str(), spec.layerName.c_str(),
                                     spec.epsg, spec.geographic ? 1 : 0, spec.hasZ ? 1 : 0,
                                     names.data(), names.size(), spec.labelField, message,
                                     sizeof message);
    if (!layer) {
        error = message[0] ? message : "cannot create " + spec.path;
        return nullptr;
    }
    return std::unique_ptr<PointLayer>(new PointLayer(module.api, layer));
}

PointLayer::~PointLayer()
{
    if (m_layer)
        m_api->discard(m_layer);
}

bool PointLayer::Add(double x, double y, double z, const std::vector<std::string>& values,
                     std::string& error)
{
    if (!m_layer)
        return false;
    m_values.clear();
    for (const std::string& value : values)
        m_values.push_back(value.c_str());
    char message[1024];
    message[0] = '\0';
    if (m_api->add(m_layer, x, y, z, m_values.data(), message, sizeof message) == 1)
        return true;
    error = message[0] ? message : "cannot write a point";
    return false;
}

bool PointLayer::Finish(std::string& error)
{
    if (!m_layer)
        return false;
    char message[1024] = {};
    void* layer = m_layer;
    m_layer = nullptr;
    if (m_api->finish(layer, message, sizeof message) == 1)
        return true;
    error = message[0] ? message : "cannot complete the file";
    return false;
}

} // namespace carvento::gis
