// PROJ pipelines, EPSG codes and the WKT1 TOWGS84 clause of a page's parameters.
#include "pages/frames/ProjExport.hpp"

#include "geodesy/AngleNotation.hpp"
#include "geodesy/GaussProjector.hpp"
#include "pages/frames/DatumSide.hpp"
#include "pages/frames/Messages.hpp"
#include "pages/frames/ToolPage.hpp"
#include "platform/NumberText.hpp"
#include "tables/OutputPolicy.hpp"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace carvento::pages {
namespace {

// The shortest fixed-point text that reads back as the same double, locale-free.
std::string Number(double value)
{
    if (value == 0.0)
        return "0";
    char buffer[400];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value,
                                      std::chars_format::fixed);
    return std::string(buffer, result.ptr);
}

std::string Millimetres(double metres)
{
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.2f", metres * 1000.0);
    return buffer;
}

std::string EllipsoidArgs(const ProjSide& side)
{
    return " +a=" + Number(side.a) + " +b=" + Number(side.b);
}

double FalseEasting(const ProjSide& side, bool targetSide)
{
    // The source side reads y with its millions dropped (GaussInverse), so a zone number in
    // the data moves the false easting; the target side writes y + yAdd as it stands.
    if (targetSide)
        return side.yAdd;
    return side.zoneInData * 1e6 + side.yAdd;
}

std::string TmercArgs(const ProjSide& side, bool targetSide)
{
    return "+proj=tmerc +lat_0=0 +lon_0=" + Number(side.centralMeridian) +
           " +k=1 +x_0=" + Number(FalseEasting(side, targetSide)) + " +y_0=0" + EllipsoidArgs(side);
}

// Page coordinates of the source side to geocentric X, Y, Z on its ellipsoid.
std::string SourceSteps(const ProjSide& from)
{
    std::string steps = " +step +proj=axisswap +order=2,1";
    if (from.geodetic)
        steps += " +step +proj=unitconvert +xy_in=deg +xy_out=rad";
    else
        steps += " +step +inv " + TmercArgs(from, false);
    return steps + " +step +proj=cart" + EllipsoidArgs(from);
}

// Geocentric X, Y, Z on the target ellipsoid to page coordinates of the target side.
std::string TargetSteps(const ProjSide& to)
{
    std::string steps = " +step +inv +proj=cart" + EllipsoidArgs(to);
    if (to.geodetic)
        steps += " +step +proj=unitconvert +xy_in=rad +xy_out=deg";
    else
        steps += " +step " + TmercArgs(to, true);
    return steps + " +step +proj=axisswap +order=2,1";
}

struct EpsgFamily {
    int ellipsoid; // PresetAxes index
    int degrees;   // zone width
    bool zoneInY;  // x_0 carries the zone number
    int firstCode; // the zone whose central meridian is 75°E
    int zoneCount; // consecutive codes, meridians 75°E … 135°E
};

// Checked against PROJ's database by the tests (lon_0, x_0, ellipsoid of every code).
constexpr EpsgFamily kFamilies[] = {
    {geodesy::kCgcs2000, 3, false, 4534, 21},   {geodesy::kCgcs2000, 3, true, 4513, 21},
    {geodesy::kCgcs2000, 6, false, 4502, 11},   {geodesy::kCgcs2000, 6, true, 4491, 11},
    {geodesy::kIag1975, 3, false, 2370, 21},    {geodesy::kIag1975, 3, true, 2349, 21},
    {geodesy::kIag1975, 6, false, 2338, 11},    {geodesy::kIag1975, 6, true, 2327, 11},
    {geodesy::kKrasovsky, 3, false, 2422, 21},  {geodesy::kKrasovsky, 3, true, 2401, 21},
    {geodesy::kKrasovsky, 6, false, 21453, 11}, {geodesy::kKrasovsky, 6, true, 21413, 11},
};

struct GeographicCode {
    int ellipsoid;
    int code;
};
constexpr GeographicCode kGeographic[] = {{geodesy::kKrasovsky, 4214},
                                          {geodesy::kIag1975, 4610},
                                          {geodesy::kCgcs2000, 4490},
                                          {geodesy::kWgs84, 4326}};

// The preset the axes are, or −1. CGCS2000 and WGS84 differ by 0.1 mm in b, hence the
// tolerance.
int PresetOf(const ProjSide& side)
{
    for (int index = 0; index < 4; ++index) {
        double a = 0.0, b = 0.0;
        geodesy::PresetAxes(index, a, b);
        if (std::fabs(side.a - a) < 5e-5 && std::fabs(side.b - b) < 5e-5)
            return index;
    }
    return -1;
}

double NormOfRotation(const geodesy::SevenParams& p)
{
    return std::sqrt(p.WX * p.WX + p.WY * p.WY + p.WZ * p.WZ);
}

std::string AxesComment(const ProjSide& side, const char* role)
{
    std::string text = "# ";
    text += role;
    if (side.geodetic)
        return text + ": 纬度, 经度 (十进制度), 大地高 (m)\n";
    text += ": x (北, m), y (东, m), 高程 (m); 中央子午线 " + Number(side.centralMeridian) + "°";
    return text + ", y 加常数 " + Number(side.yAdd) + " m\n";
}

std::string EpsgLine(const ProjSide& side, bool targetSide, const char* role)
{
    const std::vector<int> codes = EpsgCodes(side, targetSide);
    std::string text = "# ";
    text += role;
    text += " EPSG: ";
    if (codes.empty())
        return text + "无 (PROJ 数据库中没有相同定义的坐标系)\n";
    for (std::size_t i = 0; i < codes.size(); ++i)
        text += (i == 0 ? "EPSG:" : " = EPSG:") + std::to_string(codes[i]);
    return text + "\n";
}

std::string DatumText(const ProjSide& from, const ProjSide& to, const std::string& pipeline,
                      const std::string& difference, const std::string& towgs84)
{
    std::string text = "# Carvento 导出的 PROJ 转换 (proj_create / cs2cs / cct 可读)\n";
    text += AxesComment(from, "输入");
    if (!from.geodetic && from.zoneInData != 0)
        text += "# 输入 y 带带号 " + std::to_string(from.zoneInData) + "\n";
    text += AxesComment(to, "输出");
    text += EpsgLine(from, false, "原坐标系");
    text += EpsgLine(to, true, "新坐标系");
    text += "# " + difference + "\n";
    text += pipeline + "\n";
    if (IsWgs84(to)) {
        text += "# 目标为 WGS84: 原坐标系的 WKT1 (TOWGS84 为位置矢量约定, 旋转单位秒, 尺度 ppm)\n";
        text += "# " + towgs84 + "\n";
        text += Wkt1SourceCrs(from, towgs84) + "\n";
    }
    return text;
}

// Our Gauss-Krüger series and PROJ's transverse Mercator agree to a few hundredths of a
// millimetre within a zone (measured by the tests); said once for every chain.
constexpr const char* kProjectionDifference = "投影公式之差在 0.1 mm 以内 (带内)";

} // namespace

std::string SevenParamsPipeline(const ProjSide& from, const ProjSide& to,
                                const geodesy::SevenParams& p)
{
    // Our rotations are the coordinate-frame ones (X' gets +WZ·Y), as PROJ's helmert takes
    // them with +convention=coordinate_frame; arc-seconds and ppm there.
    return "+proj=pipeline" + SourceSteps(from) + " +step +proj=helmert +x=" + Number(p.DX) +
           " +y=" + Number(p.DY) + " +z=" + Number(p.DZ) +
           " +rx=" + Number(p.WX * geodesy::kArcSecondsPerRadian) +
           " +ry=" + Number(p.WY * geodesy::kArcSecondsPerRadian) +
           " +rz=" + Number(p.WZ * geodesy::kArcSecondsPerRadian) + " +s=" + Number(p.K * 1e6) +
           " +convention=coordinate_frame" + TargetSteps(to);
}

std::string ThreeParamsPipeline(const ProjSide& from, const ProjSide& to,
                                const geodesy::ThreeParams& p)
{
    return "+proj=pipeline" + SourceSteps(from) + " +step +proj=helmert +x=" + Number(p.DX) +
           " +y=" + Number(p.DY) + " +z=" + Number(p.DZ) + TargetSteps(to);
}

std::string FourParamsPipeline(const geodesy::FourParams& p)
{
    // x' = xoff + s11·x + s12·y, y' = yoff + s21·x + s22·y on the page's x, y.
    return "+proj=affine +xoff=" + Number(p.DX) + " +yoff=" + Number(p.DY) +
           " +s11=" + Number(p.K) + " +s12=" + Number(-p.T) + " +s21=" + Number(p.T) +
           " +s22=" + Number(p.K);
}

double SevenParamsModelDifference(const geodesy::SevenParams& p, double a, double maxHeight)
{
    return std::fabs(p.K) * NormOfRotation(p) * (a + std::fabs(maxHeight));
}

std::vector<int> EpsgCodes(const ProjSide& side, bool targetSide)
{
    std::vector<int> codes;
    const int preset = PresetOf(side);
    if (preset < 0)
        return codes;
    if (side.geodetic) {
        for (const GeographicCode& code : kGeographic)
            if (code.ellipsoid == preset)
                codes.push_back(code.code);
        return codes;
    }
    const double falseEasting = FalseEasting(side, targetSide);
    const double zone = std::floor(falseEasting * 1e-6);
    if (falseEasting - zone * 1e6 != 500000.0)
        return codes;
    for (const EpsgFamily& family : kFamilies) {
        if (family.ellipsoid != preset)
            continue;
        // The zones from 75°E: 3° zone n lies at 3n°, 6° zone n at 6n − 3°.
        const double step = (side.centralMeridian - 75.0) / family.degrees;
        const int index = static_cast<int>(std::lround(step));
        if (std::fabs(step - index) > 1e-9 || index < 0 || index >= family.zoneCount)
            continue;
        const int zoneNumber = family.degrees == 3 ? 25 + index : 13 + index;
        if (family.zoneInY ? zone == zoneNumber : zone == 0.0)
            codes.push_back(family.firstCode + index);
    }
    return codes;
}

bool IsWgs84(const ProjSide& side)
{
    return PresetOf(side) == geodesy::kWgs84;
}

std::string Towgs84Clause(const geodesy::SevenParams& p)
{
    // Position vector: the coordinate-frame rotations with their signs changed.
    return "TOWGS84[" + Number(p.DX) + "," + Number(p.DY) + "," + Number(p.DZ) + "," +
           Number(-p.WX * geodesy::kArcSecondsPerRadian) + "," +
           Number(-p.WY * geodesy::kArcSecondsPerRadian) + "," +
           Number(-p.WZ * geodesy::kArcSecondsPerRadian) + "," + Number(p.K * 1e6) + "]";
}

std::string Towgs84Clause(const geodesy::ThreeParams& p)
{
    return "TOWGS84[" + Number(p.DX) + "," + Number(p.DY) + "," + Number(p.DZ) + ",0,0,0,0]";
}

std::string Wkt1SourceCrs(const ProjSide& from, const std::string& towgs84)
{
    // WKT1 writes a sphere's inverse flattening as 0.
    const double inverseFlattening = from.a == from.b ? 0.0 : from.a / (from.a - from.b);
    const std::string geogcs =
        "GEOGCS[\"Carvento source\",DATUM[\"Carvento_source\",SPHEROID[\"Carvento source\"," +
        Number(from.a) + "," + Number(inverseFlattening) + "]," + towgs84 +
        "],PRIMEM[\"Greenwich\",0],UNIT[\"degree\",0.0174532925199433]]";
    if (from.geodetic)
        return geogcs;
    return "PROJCS[\"Carvento source\"," + geogcs +
           ",PROJECTION[\"Transverse_Mercator\"],PARAMETER[\"latitude_of_origin\",0],"
           "PARAMETER[\"central_meridian\"," +
           Number(from.centralMeridian) +
           "],PARAMETER[\"scale_factor\",1],PARAMETER[\"false_easting\"," +
           Number(FalseEasting(from, false)) +
           "],PARAMETER[\"false_northing\",0],UNIT[\"metre\",1]]";
}

std::string DatumExportText(const ProjSide& from, const ProjSide& to, const geodesy::SevenParams& p)
{
    const double model = SevenParamsModelDifference(p, from.a);
    const std::string difference = "与本程序的线性化七参数公式之差: 旋转项未乘尺度, 至多 " +
                                   Millimetres(model) + " mm (|K|·|ω|·(a + 10 km)); " +
                                   kProjectionDifference;
    return DatumText(from, to, SevenParamsPipeline(from, to, p), difference, Towgs84Clause(p));
}

std::string DatumExportText(const ProjSide& from, const ProjSide& to, const geodesy::ThreeParams& p)
{
    const std::string difference = std::string("与本程序之差: 平移相同; ") + kProjectionDifference;
    return DatumText(from, to, ThreeParamsPipeline(from, to, p), difference, Towgs84Clause(p));
}

std::string FourParamsExportText(const geodesy::FourParams& p)
{
    std::string text = "# Carvento 导出的 PROJ 转换 (proj_create / cct 可读)\n";
    text += "# 输入: x, y (m, 本程序的列序: x 在前), 高程原样; 输出同序\n";
    text += "# 与本程序的四参数公式相同 (舍入之差)\n";
    return text + FourParamsPipeline(p) + "\n";
}

int CommonZoneNumber(const std::vector<double>& eastings)
{
    int zone = 0;
    for (double y : eastings) {
        if (!(y >= 1e6) || !(y < 1e9))
            return 0;
        const int millions = static_cast<int>(std::floor(y * 1e-6));
        if (zone != 0 && millions != zone)
            return 0;
        zone = millions;
    }
    return zone;
}

ProjSide ProjSideOf(const ToolPage& page, const DatumSide& side, int zoneInData)
{
    ProjSide result;
    const geodesy::Ellipsoid& ellipsoid = side.Projector().GetEllipsoid();
    result.a = ellipsoid.a;
    result.b = ellipsoid.b;
    if (const PageField* field = page.FindField(side.MeridianId()))
        result.centralMeridian = geodesy::PackedToDegrees(field->value);
    if (const PageField* field = page.FindField(side.YAddId()))
        result.yAdd = static_cast<double>(field->value);
    if (const PageField* field = page.FindField(side.CoordsId()))
        result.geodetic = field->value == kGeodeticCoordinates;
    result.zoneInData = result.geodetic ? 0 : zoneInData;
    return result;
}

int ZoneNumberInColumn(const tables::CoordinateTable& table, int column)
{
    std::vector<double> eastings;
    for (int r = 1; r <= table.DataRowCount(); ++r)
        eastings.push_back(platform::ParseDouble(table.GetCell(r, column)));
    return CommonZoneNumber(eastings);
}

bool WriteProjExport(platform::Prompter& prompter, const std::string& path, const std::string& text)
{
    if (tables::ReplaceFileContents(path, text))
        return true;
    prompter.ShowMessage({FormatMessage(messages::kCannotCreateFile, path),
                          messages::kApplicationTitle, platform::MessageIcon::Error,
                          platform::MessageButtons::Ok});
    return false;
}

bool ExportProjWithDialog(platform::Prompter& prompter, ProjExportSource& source)
{
    const std::optional<std::string> text = source.ProjExportText();
    if (!text)
        return false;
    platform::FileDialog dialog;
    dialog.filters = {{messages::kTextFileFilterName, messages::kTextFileFilter}};
    dialog.defaultExtension = "txt";
    const std::optional<std::string> path = prompter.ChooseSaveFile(dialog);
    if (!path)
        return false;
    return WriteProjExport(prompter, *path, *text);
}

} // namespace carvento::pages
