// Transformation parameters written for other tools: the whole chain of a page (inverse
// projection of the source side, the datum shift or similarity, the projection of the target
// side) as one PROJ pipeline, the EPSG code of each side where one exists, and the WKT1
// TOWGS84 clause when the target is WGS84.
#pragma once

#include "geodesy/Datum.hpp"
#include "geodesy/FourParams.hpp"
#include "platform/Prompter.hpp"
#include "tables/CoordinateTable.hpp"

#include <optional>
#include <string>
#include <vector>

namespace carvento::pages {

// One side of a datum page as the export sees it.
struct ProjSide {
    double a = 0.0;               // semi-major axis, m
    double b = 0.0;               // semi-minor axis, m
    double centralMeridian = 0.0; // degrees
    double yAdd = 500000.0;       // the page's Y add constant, m
    // A zone number written before the eastings of the source data (38 for 38 500 000.0):
    // the page drops it when it reads a point, so the pipeline's false easting carries it.
    // The target side writes what yAdd says and ignores this.
    int zoneInData = 0;
    bool geodetic = false; // latitude, longitude (decimal degrees) instead of x, y
};

// The chains. Plane coordinates run in the page's order, x (northing) first; geodetic ones
// as latitude, longitude in decimal degrees; the third coordinate is the height.
// `sevenInternal` holds radians and a plain scale factor, as TransformSevenParams takes it.
std::string SevenParamsPipeline(const ProjSide& from, const ProjSide& to,
                                const geodesy::SevenParams& sevenInternal);
std::string ThreeParamsPipeline(const ProjSide& from, const ProjSide& to,
                                const geodesy::ThreeParams& params);
// x' = DX + K·x − T·y, y' = DY + T·x + K·y as +proj=affine on x, y in the page's order.
std::string FourParamsPipeline(const geodesy::FourParams& params);

// How far PROJ's helmert (s·R·X) may move a point from TransformSevenParams (rotations not
// scaled) for points within `maxHeight` metres of the source ellipsoid: |m|·|ω|·(a + maxHeight).
double SevenParamsModelDifference(const geodesy::SevenParams& sevenInternal, double a,
                                  double maxHeight = 10000.0);

// EPSG codes of PROJ's database whose definition is the side's: the geographic CRS of a
// geodetic side, the Gauss-Krüger CRS of a plane side (3° and 6° families of Beijing 1954,
// Xian 1980 and CGCS2000, with and without the zone number in y). Sometimes two codes share
// one definition (a 3° and a 6° zone on the same meridian); empty when none matches.
std::vector<int> EpsgCodes(const ProjSide& side, bool targetSide);

// Whether the axes are WGS84's (within a millimetre).
bool IsWgs84(const ProjSide& side);
// "TOWGS84[dx,dy,dz,rx,ry,rz,ppm]" in the position-vector convention that WKT1 uses: the
// rotations of our coordinate-frame parameters with their signs changed, in arc-seconds.
std::string Towgs84Clause(const geodesy::SevenParams& sevenInternal);
std::string Towgs84Clause(const geodesy::ThreeParams& params);
// A WKT1 CRS of the source side carrying `towgs84`: GEOGCS for a geodetic side, PROJCS
// (Transverse_Mercator, easting before northing as WKT1 has it) for a plane one.
std::string Wkt1SourceCrs(const ProjSide& from, const std::string& towgs84);

// The file "导出PROJ" writes: comment lines (#) saying what the pipeline expects and how
// far it may differ from this program, the EPSG codes, the pipeline on a line of its own
// and, for a WGS84 target, the WKT1 CRS.
std::string DatumExportText(const ProjSide& from, const ProjSide& to,
                            const geodesy::SevenParams& sevenInternal);
std::string DatumExportText(const ProjSide& from, const ProjSide& to,
                            const geodesy::ThreeParams& params);
std::string FourParamsExportText(const geodesy::FourParams& params);

// A zone number common to every given easting (the millions of each y ≥ 1 000 000); 0 when
// there is none or they disagree.
int CommonZoneNumber(const std::vector<double>& eastings);

class ToolPage;
class DatumSide;
// The side as the page's fields say now (exchanged values) and its projector's axes.
ProjSide ProjSideOf(const ToolPage& page, const DatumSide& side, int zoneInData);
// The zone number common to column `column` of the table's data rows (CommonZoneNumber).
int ZoneNumberInColumn(const tables::CoordinateTable& table, int column);

// What a page offers "导出PROJ" and the command line: the export text for the page's current
// parameters and fields, or nothing (the page has said why) before parameters exist.
class ProjExportSource {
public:
    virtual std::optional<std::string> ProjExportText() = 0;

protected:
    ~ProjExportSource() = default;
};

namespace messages {
inline constexpr const char* kNoParametersToExport = "尚无参数,请先解算或导入参数!";
} // namespace messages

// "导出PROJ": asks `source` for its text (nothing written when it has none), then a save
// dialog, then the text (UTF-8) in place of the file's content; a failed write is reported
// and leaves the file as it was. false when cancelled, refused or not written.
bool ExportProjWithDialog(platform::Prompter& prompter, ProjExportSource& source);
bool WriteProjExport(platform::Prompter& prompter, const std::string& path,
                     const std::string& text);

} // namespace carvento::pages
