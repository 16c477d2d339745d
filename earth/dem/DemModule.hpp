// The elevation model reader as a module that carvento-cli loads only when a verb reads an
// elevation model file. GDAL and the hundred-odd libraries it pulls in then cost nothing to the
// runs that never read one: linked into the program they made every start about 80 ms slower.
//
// The module (libcarvento-dem.so) exports one C function, carvento_dem_api, returning a table of
// plain functions over DemTerrain; everything else in it stays hidden. The program looks for it
// in the library folder of an installed copy (../lib/<multiarch>/carvento beside the program's
// bin folder), then where the build put it; CARVENTO_DEM_MODULE names another file.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <span>
#include <string>

extern "C" {

struct CarventoDemApi {
    int version; // kCarventoDemApiVersion of the module's build
    // The model, or null with a message of at most `errorSize` bytes (NUL included) in `error`.
    void* (*open)(const char* path, char* error, std::size_t errorSize);
    // 1 and the height in `height`; 0 where the model has none; -1 when its cells could not be
    // read, with a message of at most `errorSize` bytes (NUL included) in `error`.
    int (*elevation)(void* model, double longitude, double latitude, double* height, char* error,
                     std::size_t errorSize);
    void (*close)(void* model);
    // The heights of `count` positions at once (longitudes[i], latitudes[i]), each the value
    // `elevation` gives it: found[i] is 1 with the height in heights[i], 0 where the model has
    // none, -1 where its cells could not be read (`elevation` tells why).
    void (*elevations)(void* model, const double* longitudes, const double* latitudes,
                       std::size_t count, double* heights, signed char* found);
};

const CarventoDemApi* carvento_dem_api(void);
}

namespace carvento::earth {

constexpr int kCarventoDemApiVersion = 3;

// An elevation model read through the module; DemTerrain's Open and Elevation.
class LoadedDem {
public:
    // The model, or nothing with a message in `error`: the module is missing or of another
    // build, or the file cannot be read as an elevation model.
    static std::unique_ptr<LoadedDem> Open(const std::string& path, std::string& error);
    ~LoadedDem();
    LoadedDem(const LoadedDem&) = delete;
    LoadedDem& operator=(const LoadedDem&) = delete;

    // The height at a WGS84 position, or nothing. May be called from several threads.
    std::optional<double> Elevation(double longitude, double latitude);
    // The same, telling a read error (a damaged file: `error` not empty) from no height there.
    struct Reading {
        std::optional<double> height{};
        std::string error{};
    };
    Reading Sample(double longitude, double latitude);
    // Many positions at once, read in the model's order rather than theirs (see
    // DemTerrain::SampleMany): found[i] is 1 with heights[i], 0 for none, -1 for cells that
    // could not be read (Sample tells why). The spans are of one length.
    void SampleMany(std::span<const double> longitudes, std::span<const double> latitudes,
                    std::span<double> heights, std::span<signed char> found);

private:
    LoadedDem(const CarventoDemApi* api, void* model) : m_api(api), m_model(model) {}
    const CarventoDemApi* m_api;
    void* m_model;
};

} // namespace carvento::earth
