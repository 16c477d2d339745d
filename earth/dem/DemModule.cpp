// The module's side: DemTerrain behind the C table.
#include "earth/dem/DemModule.hpp"
#include "earth/dem/DemTerrain.hpp"

#include <algorithm>
#include <cstring>

namespace {

using carvento::earth::DemTerrain;

void* OpenModel(const char* path, char* error, std::size_t errorSize)
{
    std::string message;
    std::unique_ptr<DemTerrain> terrain = DemTerrain::Open(path, message);
    if (!terrain && error && errorSize > 0) {
        const std::size_t n = std::min(message.size(), errorSize - 1);
        std::memcpy(error, message.data(), n);
        error[n] = '\0';
    }
    return terrain.release();
}

int ModelElevation(void* model, double longitude, double latitude, double* height)
{
    const std::optional<double> value = static_cast<DemTerrain*>(model)->Elevation(longitude,
                                                                                   latitude);
    if (!value)
        return 0;
    *height = *value;
    return 1;
}

void CloseModel(void* model)
{
    delete static_cast<DemTerrain*>(model);
}

const CarventoDemApi kApi{carvento::earth::kCarventoDemApiVersion, OpenModel, ModelElevation,
                          CloseModel};

} // namespace

extern "C" __attribute__((visibility("default"))) const CarventoDemApi* carvento_dem_api(void)
{
    return &kApi;
}
