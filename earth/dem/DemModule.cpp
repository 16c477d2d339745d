// The module's side: DemTerrain behind the C table.
#include "earth/dem/DemModule.hpp"
#include "earth/dem/DemTerrain.hpp"

#include <algorithm>
#include <cstring>
#include <span>
#include <vector>

namespace {

using carvento::earth::DemTerrain;

void CopyMessage(const std::string& message, char* error, std::size_t errorSize)
{
    if (!error || errorSize == 0)
        return;
    const std::size_t n = std::min(message.size(), errorSize - 1);
    std::memcpy(error, message.data(), n);
    error[n] = '\0';
}

void* OpenModel(const char* path, char* error, std::size_t errorSize)
{
    std::string message;
    std::unique_ptr<DemTerrain> terrain = DemTerrain::Open(path, message);
    if (!terrain)
        CopyMessage(message, error, errorSize);
    return terrain.release();
}

int ModelElevation(void* model, double longitude, double latitude, double* height, char* error,
                   std::size_t errorSize)
{
    const DemTerrain::Reading reading = static_cast<DemTerrain*>(model)->Sample(longitude,
                                                                                latitude);
    if (!reading.error.empty()) {
        CopyMessage(reading.error, error, errorSize);
        return -1;
    }
    if (!reading.height)
        return 0;
    *height = *reading.height;
    return 1;
}

void CloseModel(void* model)
{
    delete static_cast<DemTerrain*>(model);
}

void ModelElevations(void* model, const double* longitudes, const double* latitudes,
                     std::size_t count, double* heights, signed char* found)
{
    std::vector<DemTerrain::Found> results(count);
    static_cast<DemTerrain*>(model)->SampleMany(std::span(longitudes, count),
                                                std::span(latitudes, count),
                                                std::span(heights, count), results);
    for (std::size_t i = 0; i < count; ++i)
        found[i] = static_cast<signed char>(results[i]);
}

const CarventoDemApi kApi{carvento::earth::kCarventoDemApiVersion, OpenModel, ModelElevation,
                          CloseModel, ModelElevations};

} // namespace

extern "C" __attribute__((visibility("default"))) const CarventoDemApi* carvento_dem_api(void)
{
    return &kApi;
}
