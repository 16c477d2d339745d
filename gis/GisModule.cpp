// The module's side: point layers on GDAL/OGR behind the C table.
#include "gis/GisModule.hpp"

#include <cpl_error.h>
#include <cpl_string.h>
#include <gdal.h>
#include <gdal_priv.h>
#include <ogr_feature.h>
#include <ogr_geometry.h>
#include <ogr_spatialref.h>
#include <ogrsf_frmts.h>

#include <algorithm>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

namespace {

// A shapefile's text fields hold at most 254 bytes; a longer value would be cut short.
constexpr std::size_t kShapefileTextBytes = 254;

void CopyMessage(const std::string& message, char* error, std::size_t errorSize)
{
    if (!error || errorSize == 0)
        return;
    const std::size_t n = std::min(message.size(), errorSize - 1);
    std::memcpy(error, message.data(), n);
    error[n] = '\0';
}

// GDAL reports through a process-wide handler; while a call runs, its messages are kept back
// and the last failure stays readable for the message the caller returns.
class QuietGdal {
public:
    QuietGdal()
    {
        CPLPushErrorHandler(CPLQuietErrorHandler);
        CPLErrorReset();
    }
    ~QuietGdal() { CPLPopErrorHandler(); }
    QuietGdal(const QuietGdal&) = delete;
    QuietGdal& operator=(const QuietGdal&) = delete;

    static bool Failed() { return CPLGetLastErrorType() >= CE_Failure; }
    static std::string Why(const std::string& what)
    {
        const char* message = CPLGetLastErrorMsg();
        return message && *message ? what + ": " + message : what;
    }
};

struct Layer {
    GDALDataset* dataset = nullptr;
    OGRLayer* layer = nullptr;
    bool shapefile = false;
    bool dxf = false;
    bool transaction = false;
    bool undefinedCartesian = false; // a GeoPackage layer of plane points without a CRS
    bool hasZ = false;
    int fieldCount = 0; // fields given to create
    bool withFields = true;
    int labelField = -1;
    std::string path;
};

void CloseDataset(Layer& layer)
{
    if (layer.dataset)
        GDALClose(GDALDataset::ToHandle(layer.dataset));
    layer.dataset = nullptr;
    layer.layer = nullptr;
}

// The style that makes the DXF driver write a TEXT entity: the text in double quotes, with
// backslash and quote escaped as OGR's style parser reads them.
std::string LabelStyle(const char* text)
{
    std::string style = "LABEL(t:\"";
    for (const char* c = text; *c; ++c) {
        if (*c == '"' || *c == '\\')
            style += '\\';
        style += *c;
    }
    return style + "\")";
}

void* CreateLayer(const char* path, const char* driverName, const char* layerName, int epsg,
                  int geographic, int hasZ, const char* const* fieldNames, std::size_t fieldCount,
                  int labelField, char* error, std::size_t errorSize)
{
    static std::once_flag once;
    std::call_once(once, [] { GDALAllRegister(); });
    QuietGdal quiet;
    GDALDriver* driver = GetGDALDriverManager()->GetDriverByName(driverName);
    if (!driver) {
        CopyMessage(std::string("GDAL has no ") + driverName + " driver", error, errorSize);
        return nullptr;
    }
    auto layer = std::make_unique<Layer>();
    layer->path = path;
    layer->shapefile = std::strcmp(driverName, "ESRI Shapefile") == 0;
    layer->dxf = std::strcmp(driverName, "DXF") == 0;
    layer->hasZ = hasZ != 0;
    layer->fieldCount = static_cast<int>(fieldCount);
    layer->withFields = !layer->dxf;
    layer->labelField = labelField;

    OGRSpatialReference srs;
    const bool withSrs = epsg > 0 && !layer->dxf;
    if (withSrs) {
        if (srs.importFromEPSG(epsg) != OGRERR_NONE) {
            CopyMessage(QuietGdal::Why("EPSG:" + std::to_string(epsg)), error, errorSize);
            return nullptr;
        }
        // Our points come easting (longitude) first, whatever order the EPSG definition has.
        srs.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
    }
    layer->undefinedCartesian = !withSrs && !geographic && std::strcmp(driverName, "GPKG") == 0;
    layer->dataset = driver->Create(path, 0, 0, 0, GDT_Unknown, nullptr);
    if (!layer->dataset) {
        CopyMessage(QuietGdal::Why(std::string("cannot create ") + path), error, errorSize);
        return nullptr;
    }
    CPLStringList options;
    // The shapefile's .cpg then says UTF-8, and GDAL writes the texts unchanged.
    if (layer->shapefile)
        options.SetNameValue("ENCODING", "UTF-8");
    layer->layer = layer->dataset->CreateLayer(layerName, withSrs ? &srs : nullptr,
                                               hasZ ? wkbPoint25D : wkbPoint, options.List());
    if (!layer->layer) {
        CopyMessage(QuietGdal::Why(std::string("cannot create a layer in ") + path), error,
                    errorSize);
        CloseDataset(*layer);
        return nullptr;
    }
    for (std::size_t i = 0; layer->withFields && i < fieldCount; ++i) {
        OGRFieldDefn field(fieldNames[i], OFTString);
        if (layer->shapefile)
            field.SetWidth(static_cast<int>(kShapefileTextBytes));
        if (layer->layer->CreateField(&field, FALSE) != OGRERR_NONE) {
            CopyMessage(QuietGdal::Why(std::string("cannot create the field ") + fieldNames[i]),
                        error, errorSize);
            CloseDataset(*layer);
            return nullptr;
        }
    }
    // A GeoPackage written in one transaction takes a second for a million points, not hours.
    layer->transaction = layer->dataset->TestCapability(ODsCTransactions) &&
                         layer->dataset->StartTransaction() == OGRERR_NONE;
    return layer.release();
}

int AddPoint(void* handle, double x, double y, double z, const char* const* values, char* error,
             std::size_t errorSize)
{
    Layer& layer = *static_cast<Layer*>(handle);
    QuietGdal quiet;
    OGRPoint point = layer.hasZ ? OGRPoint(x, y, z) : OGRPoint(x, y);
    OGRFeature feature(layer.layer->GetLayerDefn());
    for (int i = 0; layer.withFields && i < layer.fieldCount; ++i) {
        if (layer.shapefile && std::strlen(values[i]) > kShapefileTextBytes) {
            CopyMessage("a value of " + std::to_string(std::strlen(values[i])) +
                            " bytes does not fit a shapefile field (at most 254)",
                        error, errorSize);
            return 0;
        }
        feature.SetField(i, values[i]);
    }
    feature.SetGeometry(&point);
    if (layer.layer->CreateFeature(&feature) != OGRERR_NONE) {
        CopyMessage(QuietGdal::Why("cannot write a point to " + layer.path), error, errorSize);
        return 0;
    }
    // CAD shows names as text: a TEXT entity at the point, beside its POINT.
    if (layer.dxf && layer.labelField >= 0 && layer.labelField < layer.fieldCount &&
        *values[layer.labelField]) {
        OGRFeature label(layer.layer->GetLayerDefn());
        label.SetGeometry(&point);
        label.SetStyleString(LabelStyle(values[layer.labelField]).c_str());
        if (layer.layer->CreateFeature(&label) != OGRERR_NONE) {
            CopyMessage(QuietGdal::Why("cannot write a label to " + layer.path), error, errorSize);
            return 0;
        }
    }
    return 1;
}

int FinishLayer(void* handle, char* error, std::size_t errorSize)
{
    std::unique_ptr<Layer> layer(static_cast<Layer*>(handle));
    QuietGdal quiet;
    if (layer->undefinedCartesian) {
        // GDAL gives a layer without a CRS srs_id 0, "undefined geographic": GIS programs
        // would then take our metres for degrees. -1 is the GeoPackage's undefined Cartesian.
        std::string table = "'";
        for (const char* c = layer->layer->GetName(); *c; ++c)
            table += *c == '\'' ? std::string("''") : std::string(1, *c);
        table += "'";
        for (const char* sql : {"UPDATE gpkg_contents SET srs_id = -1 WHERE table_name = ",
                                "UPDATE gpkg_geometry_columns SET srs_id = -1 WHERE table_name = "})
            layer->dataset->ExecuteSQL((sql + table).c_str(), nullptr, nullptr);
    }
    if (layer->transaction && layer->dataset->CommitTransaction() != OGRERR_NONE) {
        CopyMessage(QuietGdal::Why("cannot complete " + layer->path), error, errorSize);
        CloseDataset(*layer);
        return 0;
    }
    CPLErrorReset();
    layer->layer->SyncToDisk();
    CloseDataset(*layer);
    // Drivers write their last pieces (indexes, headers, the GeoJSON tail) when closed.
    if (QuietGdal::Failed()) {
        CopyMessage(QuietGdal::Why("cannot complete " + layer->path), error, errorSize);
        return 0;
    }
    return 1;
}

void DiscardLayer(void* handle)
{
    std::unique_ptr<Layer> layer(static_cast<Layer*>(handle));
    QuietGdal quiet;
    if (layer->transaction)
        layer->dataset->RollbackTransaction();
    CloseDataset(*layer);
}

const CarventoGisApi kApi{carvento::gis::kCarventoGisApiVersion, CreateLayer, AddPoint, FinishLayer,
                          DiscardLayer};

} // namespace

extern "C" __attribute__((visibility("default"))) const CarventoGisApi* carvento_gis_api(void)
{
    return &kApi;
}
