// Point layers written through GDAL/OGR, as a module (libcarvento-gis.so) that the programs load
// only when 导出GIS or --format writes one: the desktop program and carvento-cli start without
// GDAL and the hundred-odd libraries it pulls in.
//
// The module exports one C function, carvento_gis_api, returning a table of plain functions;
// everything else in it stays hidden. The program looks for it as for the elevation model
// reader: in ../lib/<multiarch>/carvento beside the program's bin folder, then where the build
// put it; CARVENTO_GIS_MODULE names another file.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

extern "C" {

struct CarventoGisApi {
    int version; // kCarventoGisApiVersion of the module's build
    // A new file `path` (which must not exist) holding one point layer `layerName` of the GDAL
    // vector driver `driver` ("GPKG", "ESRI Shapefile", "GeoJSON", "DXF"), its coordinate
    // system EPSG:`epsg` (0: none; a GeoPackage then says "undefined geographic" when
    // `geographic`, "undefined Cartesian" otherwise) with easting (longitude) as the points'
    // first coordinate, with a third coordinate when `hasZ`, and string fields `fieldNames` (UTF-8;
    // a driver that takes no fields of its own, DXF, gets none). `labelField` (or -1) is the field
    // whose text labels each point where the format draws labels (a DXF TEXT beside each POINT).
    // Null with a message of at most `errorSize` bytes (NUL included) in `error`.
    void* (*create)(const char* path, const char* driver, const char* layerName, int epsg,
                    int geographic, int hasZ, const char* const* fieldNames, std::size_t fieldCount,
                    int labelField, char* error, std::size_t errorSize);
    // One point (x easting or longitude, y northing or latitude, z) with `fieldCount` values
    // of the fields in create's order. 1 when added; 0 with a message in `error`.
    int (*add)(void* layer, double x, double y, double z, const char* const* values, char* error,
               std::size_t errorSize);
    // Closes the file: 1 when everything reached it; 0 with a message in `error`. The layer is
    // gone either way.
    int (*finish)(void* layer, char* error, std::size_t errorSize);
    // Closes the file without caring what reached it (the caller removes it).
    void (*discard)(void* layer);
};

const CarventoGisApi* carvento_gis_api(void);
}

namespace carvento::gis {

constexpr int kCarventoGisApiVersion = 1;

// What a new point layer is.
struct LayerSpec {
    std::string path;                    // a file that does not exist yet
    std::string driver;                  // GDAL driver name
    std::string layerName;               // usually the file's stem
    int epsg = 0;                        // 0: no coordinate system
    bool geographic = false;             // longitude, latitude rather than easting, northing
    bool hasZ = false;                   // points carry an elevation
    std::vector<std::string> fieldNames; // string fields, UTF-8
    int labelField = -1;                 // field labelling the points (DXF), or -1
};

// A point layer being written through the module.
class PointLayer {
public:
    // The layer, or nothing with a message in `error`: the module is missing or of another
    // build, or GDAL could not create the file.
    static std::unique_ptr<PointLayer> Create(const LayerSpec& spec, std::string& error);
    // Discards the layer unless Finish was called.
    ~PointLayer();
    PointLayer(const PointLayer&) = delete;
    PointLayer& operator=(const PointLayer&) = delete;

    // One point; `values` has one text per field. false with a message in `error`.
    bool Add(double x, double y, double z, const std::vector<std::string>& values,
             std::string& error);
    // Closes the file; false with a message in `error` when not everything reached it.
    bool Finish(std::string& error);

private:
    PointLayer(const CarventoGisApi* api, void* layer) : m_api(api), m_layer(layer) {}
    const CarventoGisApi* m_api;
    void* m_layer;
    std::vector<const char*> m_values;
};

} // namespace carvento::gis
