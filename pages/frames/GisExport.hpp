// "导出GIS": a conversion page's result table as a point layer that GIS and CAD programs open
// with its coordinate system — GeoPackage, Shapefile (with a .cpg saying UTF-8), GeoJSON or DXF
// (points and their names as text) — written through the GIS module (gis/GisModule.hpp), which
// is loaded only when a layer is written.
//
// Axis order: our x is the northing and y the easting (with the zone number in front where the
// add constant has one); a layer's points are easting first, so a plane row (x, y) becomes
// POINT (y x), and a geodetic row (B, L) becomes POINT (L B) in decimal degrees, whatever
// notation the table shows. The EPSG codes are those of the PROJ export (EpsgCodes).
#pragma once

#include "pages/frames/ProjExport.hpp"
#include "platform/Prompter.hpp"

#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace carvento::gis {
class PointLayer;
}

namespace carvento::pages {

class ConversionPage;

inline constexpr const char* kExportGisCommand = "export-gis";

namespace messages {
inline constexpr const char* kExportGisCaption = "导出GIS";
inline constexpr const char* kGisFileFilterGpkg = "GeoPackage(*.gpkg)";
inline constexpr const char* kGisFileFilterShp = "Shapefile(*.shp)";
inline constexpr const char* kGisFileFilterGeoJson = "GeoJSON(*.geojson)";
inline constexpr const char* kGisFileFilterDxf = "DXF(*.dxf)";
// %s: path.
inline constexpr const char* kGisUnknownFormat =
    "无法从文件扩展名确定GIS格式: %s (可用 .gpkg .shp .geojson .dxf)";
// %d: data row of the result table.
inline constexpr const char* kGisRowWithoutPoint = "结果表第%d行没有可用的坐标,未写入任何文件!";
// %s: path, %s: why.
inline constexpr const char* kGisWriteFailed = "GIS文件写入失败,未写入任何文件: %s (%s)";
// %s: path.
inline constexpr const char* kGisWithoutCrs =
    "结果的坐标系没有EPSG代码(自定义椭球、WGS84平面坐标或无坐标系的四参数结果等), "
    "已写入不带坐标系的图层: %s";
} // namespace messages

enum class GisFormat { GeoPackage, Shapefile, GeoJson, Dxf };

// "gpkg", "shp", "geojson", "dxf" (the command line's --format); nothing for another name.
std::optional<GisFormat> GisFormatNamed(std::string_view name);
// The format a file name's extension asks for (.gpkg, .shp, .geojson, .dxf, any letter case).
std::optional<GisFormat> GisFormatOfPath(const std::string& path);
// The files writing `path` in `format` replaces: the path, and a shapefile's .shx, .dbf,
// .prj and .cpg beside it.
std::vector<std::string> GisFiles(const std::string& path, GisFormat format);

// The attribute names of columns titled `titles`: each title (a name for an untitled one),
// for a shapefile cut to its 10 bytes on a character boundary; unique (a number at the end),
// letter case aside.
std::vector<std::string> GisFieldNames(const std::vector<std::string>& titles, GisFormat format);

// One result row as a point: plane x (northing, m), y (easting as written, m), or geodetic
// B, L in decimal degrees; z the elevation (m), 0 without one.
struct GisPoint {
    double first = 0.0;
    double second = 0.0;
    double z = 0.0;
};

// What a page's result rows are as points, as the page's last 转换 wrote them.
struct GisPoints {
    bool geodetic = false;
    // The result columns the point is made of (x, y and the elevation); the other columns
    // become text attributes named by their titles.
    std::vector<int> coordinateColumns{};
    bool hasZ = false;
    // The point of a row, or nothing when the row holds none (an empty or unreadable cell).
    std::function<std::optional<GisPoint>(std::span<const std::string> row)> read{};
    // The result's coordinate system as the PROJ export sees a target side; nothing when the
    // page does not know it (the plane of a four-parameter transformation).
    std::optional<ProjSide> crs{};
};

// The result cells of a plane row, x in `xColumn`, y in `xColumn + 1`, and with `zColumn`
// (or -1) the elevation, read as numbers; nothing when one of them is empty or no number.
std::optional<GisPoint> ReadPlanePoint(std::span<const std::string> row, int xColumn, int zColumn);

// The result table written a block of rows at a time. Every file goes through the output
// policy: the layer is written into a private folder beside the target under its final name
// (a shapefile as its whole set), and only when complete are the files renamed into place;
// any failure leaves the existing files as they were. Failures are shown on `prompter`.
class GisExportFile {
public:
    explicit GisExportFile(platform::Prompter& prompter);
    ~GisExportFile();
    GisExportFile(const GisExportFile&) = delete;
    GisExportFile& operator=(const GisExportFile&) = delete;

    // Starts the layer: `titles` are the result table's column titles. false (shown) when the
    // module cannot be loaded or the file cannot be started.
    bool Begin(const std::string& path, GisFormat format, const GisPoints& points,
               const std::vector<std::string>& titles);
    // Adds the points of the table's data rows; blank rows are left out, a row without a
    // point is refused (shown) and the export is then abandoned.
    bool AddRows(const tables::CoordinateTable& table);
    // Completes the layer and puts its files in place; false (shown) when a file could not be
    // written or no point was added. A result without an EPSG code is said after writing.
    bool Commit();
    void Abandon();

    // The EPSG code written (0: none) and the points added so far.
    int Epsg() const { return m_epsg; }
    long long Points() const { return m_points; }

private:
    void ShowError(const std::string& text);
    bool Fail(const std::string& why);

    platform::Prompter& m_prompter;
    std::unique_ptr<gis::PointLayer> m_layer;
    GisPoints m_pointsOf;
    GisFormat m_format = GisFormat::GeoPackage;
    std::string m_path;
    std::string m_folder; // the private folder the layer is written in
    std::vector<int> m_attributeColumns;
    std::vector<std::string> m_row;
    std::vector<std::string> m_values;
    int m_epsg = 0;
    long long m_points = 0;
    long long m_rowsSeen = 0;
};

// 导出GIS: refuses an empty result table, asks for the file (GeoPackage, Shapefile, GeoJSON,
// DXF; the format from the chosen extension), then ExportGisToFile. false when cancelled,
// refused or not written.
bool ExportGisWithDialog(ConversionPage& page, platform::Prompter& prompter);
// Writes the result table of the page's last 转换 to `path` in `format`.
bool ExportGisToFile(ConversionPage& page, platform::Prompter& prompter, const std::string& path,
                     GisFormat format);

} // namespace carvento::pages
