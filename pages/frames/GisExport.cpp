// 导出GIS: result rows to points, field names, the EPSG code, and the files put in place.
#include "pages/frames/GisExport.hpp"

#include "gis/GisModule.hpp"
#include "pages/frames/ConversionPage.hpp"
#include "pages/frames/Messages.hpp"
#include "platform/AsciiText.hpp"
#include "platform/NumberText.hpp"
#include "tables/OutputPolicy.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fcntl.h>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

namespace carvento::pages {
namespace {

struct FormatInfo {
    GisFormat format;
    const char* name;      // --format
    const char* extension; // with its dot
    const char* driver;    // GDAL's
};

constexpr FormatInfo kFormats[] = {
    {GisFormat::GeoPackage, "gpkg", ".gpkg", "GPKG"},
    {GisFormat::Shapefile, "shp", ".shp", "ESRI Shapefile"},
    {GisFormat::GeoJson, "geojson", ".geojson", "GeoJSON"},
    {GisFormat::Dxf, "dxf", ".dxf", "DXF"},
};

const FormatInfo& InfoOf(GisFormat format)
{
    for (const FormatInfo& info : kFormats)
        if (info.format == format)
            return info;
    return kFormats[0];
}

// A shapefile's companions, beside <stem>.shp; the spatial indexes of an earlier file of the
// same name would describe points that are no longer there.
constexpr const char* kShapefileCompanions[] = {".shx", ".dbf", ".prj", ".cpg"};
constexpr const char* kStaleShapefileIndexes[] = {".qix", ".sbn", ".sbx"};

// A dBase field name holds at most 10 bytes.
constexpr std::size_t kShapefileFieldBytes = 10;

std::string FolderOf(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string NameOf(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The name without its last extension.
std::string StemOf(const std::string& name)
{
    const std::size_t dot = name.rfind('.');
    return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

bool HasExtension(const std::string& path, const char* extension)
{
    return platform::AsciiLower(NameOf(path)).ends_with(extension);
}

// The longest prefix of `text` of at most `bytes` bytes that ends on a whole UTF-8 character.
std::string Utf8Prefix(const std::string& text, std::size_t bytes)
{
    if (text.size() <= bytes)
        return text;
    std::size_t end = bytes;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
        --end;
    return text.substr(0, end);
}

bool SyncFile(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool synced = ::fsync(fd) == 0;
    return ::close(fd) == 0 && synced;
}

bool Exists(const std::string& path)
{
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0;
}

} // namespace

std::optional<GisFormat> GisFormatNamed(std::string_view name)
{
    for (const FormatInfo& info : kFormats)
        if (name == info.name)
            return info.format;
    return std::nullopt;
}

std::optional<GisFormat> GisFormatOfPath(const std::string& path)
{
    for (const FormatInfo& info : kFormats)
        if (HasExtension(path, info.extension))
            return info.format;
    return std::nullopt;
}

std::vector<std::string> GisFiles(const std::string& path, GisFormat format)
{
    std::vector<std::string> files{path};
    if (format == GisFormat::Shapefile) {
        const std::string folder = FolderOf(path);
        const std::string stem =
            (folder == "." && path.find('/') == std::string::npos ? std::string() : folder + "/") +
            StemOf(NameOf(path));
        for (const char* companion : kShapefileCompanions)
            files.push_back(stem + companion);
    }
    return files;
}

std::vector<std::string> GisFieldNames(const std::vector<std::string>& titles, GisFormat format)
{
    const bool shapefile = format == GisFormat::Shapefile;
    std::vector<std::string> names;
    std::set<std::string> taken;
    for (std::size_t i = 0; i < titles.size(); ++i) {
        std::string title = titles[i].empty() ? "field" + std::to_string(i + 1) : titles[i];
        std::string name = shapefile ? Utf8Prefix(title, kShapefileFieldBytes) : title;
        for (int n = 2; taken.count(platform::AsciiLower(name)) > 0; ++n) {
            const std::string suffix = "_" + std::to_string(n);
            name = (shapefile ? Utf8Prefix(title, kShapefileFieldBytes - suffix.size()) : title) +
                   suffix;
        }
        taken.insert(platform::AsciiLower(name));
        names.push_back(name);
    }
    return names;
}

std::optional<GisPoint> ReadPlanePoint(std::span<const std::string> row, int xColumn, int zColumn)
{
    const auto cell = [&](int column) -> std::optional<double> {
        if (column < 0 || static_cast<std::size_t>(column) >= row.size() ||
            !platform::IsNumberText(row[static_cast<std::size_t>(column)]))
            return std::nullopt;
        return platform::ParseDouble(row[static_cast<std::size_t>(column)]);
    };
    const std::optional<double> x = cell(xColumn);
    const std::optional<double> y = cell(xColumn + 1);
    const std::optional<double> z = zColumn >= 0 ? cell(zColumn) : std::optional<double>(0.0);
    if (!x || !y || !z)
        return std::nullopt;
    return GisPoint{*x, *y, *z};
}

GisExportFile::GisExportFile(platform::Prompter& prompter) : m_prompter(prompter) {}

GisExportFile::~GisExportFile()
{
    Abandon();
}

void GisExportFile::ShowError(const std::string& text)
{
    m_prompter.ShowMessage({text, messages::kApplicationTitle, platform::MessageIcon::Error,
                            platform::MessageButtons::Ok});
}

bool GisExportFile::Fail(const std::string& why)
{
    Abandon();
    ShowError(FormatMessage(messages::kGisWriteFailed, m_path, why));
    return false;
}

bool GisExportFile::Begin(const std::string& path, GisFormat format, const GisPoints& points,
                          const std::vector<std::string>& titles)
{
    Abandon();
    m_path = path;
    m_format = format;
    m_pointsOf = points;
    m_points = 0;
    m_rowsSeen = 0;
    const std::string target = tables::ResolvedTarget(path);
    if (format == GisFormat::Shapefile && !HasExtension(target, ".shp")) {
        ShowError(FormatMessage(messages::kGisUnknownFormat, path));
        return false;
    }
    for (const std::string& file : GisFiles(target, format))
        if (const std::string reason = tables::UnreplaceableReason(file); !reason.empty())
            return Fail(file + " " + reason);

    m_epsg = 0;
    if (points.crs && format != GisFormat::Dxf)
        if (const std::vector<int> codes = EpsgCodes(*points.crs, true); !codes.empty())
            m_epsg = codes.front(); // two codes share one definition: either is the same CRS

    gis::LayerSpec spec;
    spec.driver = InfoOf(format).driver;
    spec.layerName = StemOf(NameOf(target));
    spec.epsg = m_epsg;
    spec.geographic = points.geodetic;
    spec.hasZ = points.hasZ;
    m_attributeColumns.clear();
    std::vector<std::string> attributeTitles;
    for (int c = 0; c < static_cast<int>(titles.size()); ++c) {
        if (std::find(points.coordinateColumns.begin(), points.coordinateColumns.end(), c) !=
            points.coordinateColumns.end())
            continue;
        if (c == 0)
            spec.labelField = static_cast<int>(m_attributeColumns.size());
        m_attributeColumns.push_back(c);
        attributeTitles.push_back(titles[static_cast<std::size_t>(c)]);
    }
    spec.fieldNames = GisFieldNames(attributeTitles, format);

    m_folder = tables::CreateTemporaryFolderBeside(target);
    if (m_folder.empty())
        return Fail("无法在目标文件夹中创建临时文件夹");
    spec.path = m_folder + "/" + NameOf(target);
    std::string error;
    m_layer = gis::PointLayer::Create(spec, error);
    if (!m_layer)
        return Fail(error);
    return true;
}

bool GisExportFile::AddRows(const tables::CoordinateTable& table)
{
    if (!m_layer)
        return false;
    const auto cells = table.DataCells();
    const int rows = table.DataRowCount();
    const int columns = table.ColumnCount();
    std::string error;
    for (int r = 0; r < rows; ++r) {
        ++m_rowsSeen;
        // A copy of the row's cells, whatever the table stores them as.
        m_row.clear();
        for (int c = 0; c < columns; ++c)
            m_row.emplace_back(cells[static_cast<std::size_t>(r) * columns + c]);
        const std::span<const std::string> row = m_row;
        if (std::all_of(row.begin(), row.end(), [](const std::string& c) { return c.empty(); }))
            continue;
        const std::optional<GisPoint> point = m_pointsOf.read(row);
        if (!point || !std::isfinite(point->first) || !std::isfinite(point->second) ||
            !std::isfinite(point->z)) {
            Abandon();
            ShowError(FormatMessage(messages::kGisRowWithoutPoint, static_cast<int>(m_rowsSeen)));
            return false;
        }
        m_values.clear();
        for (int c : m_attributeColumns)
            m_values.push_back(c < columns ? row[static_cast<std::size_t>(c)] : std::string());
        // Easting (longitude) first: our x is the northing, B the latitude.
        if (!m_layer->Add(point->second, point->first, point->z, m_values, error))
            return Fail(error);
        ++m_points;
    }
    return true;
}

bool GisExportFile::Commit()
{
    if (!m_layer)
        return false;
    if (m_points == 0) {
        Abandon();
        ShowError(messages::kNothingToExport);
        return false;
    }
    std::string error;
    const bool finished = m_layer->Finish(error);
    m_layer.reset();
    if (!finished)
        return Fail(error);
    const std::string target = tables::ResolvedTarget(m_path);
    // What the driver wrote, under the names the files get: the main file last, so that a
    // program opening it finds its companions already in place.
    std::vector<std::string> files = GisFiles(target, m_format);
    std::rotate(files.begin(), files.begin() + 1, files.end());
    std::vector<std::pair<std::string, std::string>> moves;
    for (const std::string& file : files) {
        const std::string written = m_folder + "/" + NameOf(file);
        if (!Exists(written))
            continue;
        if (!SyncFile(written))
            return Fail("无法写入 " + file);
        moves.emplace_back(written, file);
    }
    if (moves.empty() || moves.back().second != target)
        return Fail("GDAL 未写出 " + NameOf(target));
    if (m_format == GisFormat::Shapefile) {
        // An earlier set's .prj or .cpg that this one lacks, or its spatial index, would
        // describe the new points wrongly.
        std::vector<std::string> stale(files.begin(), files.end() - 1);
        const std::string stem = target.substr(0, target.size() - 4);
        for (const char* index : kStaleShapefileIndexes)
            stale.push_back(stem + index);
        for (const std::string& file : stale)
            if (std::none_of(moves.begin(), moves.end(),
                             [&](const auto& move) { return move.second == file; }) &&
                tables::UnreplaceableReason(file).empty())
                ::unlink(file.c_str());
    }
    for (const auto& [from, to] : moves)
        if (std::rename(from.c_str(), to.c_str()) != 0)
            return Fail("无法放置 " + to);
    tables::RemoveTemporaryFolder(m_folder);
    m_folder.clear();
    if (m_epsg == 0 && m_format != GisFormat::Dxf)
        m_prompter.ShowMessage({FormatMessage(messages::kGisWithoutCrs, m_path),
                                messages::kApplicationTitle, platform::MessageIcon::Information,
                                platform::MessageButtons::Ok});
    return true;
}

void GisExportFile::Abandon()
{
    m_layer.reset();
    if (!m_folder.empty())
        tables::RemoveTemporaryFolder(m_folder);
    m_folder.clear();
}

bool ExportGisToFile(ConversionPage& page, platform::Prompter& prompter, const std::string& path,
                     GisFormat format)
{
    const tables::CoordinateTable& result = page.Result();
    const std::optional<GisPoints>& points = page.ConvertedGisPoints();
    if (result.DataCells().empty() || !points) {
        prompter.ShowMessage({messages::kNothingToExport, messages::kApplicationTitle,
                              platform::MessageIcon::Warning, platform::MessageButtons::Ok});
        return false;
    }
    GisExportFile file(prompter);
    return file.Begin(path, format, *points, result.ColumnTitles()) && file.AddRows(result) &&
           file.Commit();
}

bool ExportGisWithDialog(ConversionPage& page, platform::Prompter& prompter)
{
    if (page.Result().DataCells().empty() || !page.ConvertedGisPoints()) {
        prompter.ShowMessage({messages::kNothingToExport, messages::kApplicationTitle,
                              platform::MessageIcon::Warning, platform::MessageButtons::Ok});
        return false;
    }
    platform::FileDialog dialog;
    dialog.filters = {{messages::kGisFileFilterGpkg, "*.gpkg"},
                      {messages::kGisFileFilterShp, "*.shp"},
                      {messages::kGisFileFilterGeoJson, "*.geojson"},
                      {messages::kGisFileFilterDxf, "*.dxf"}};
    dialog.defaultExtension = "gpkg";
    const std::optional<std::string> path = prompter.ChooseSaveFile(dialog);
    if (!path)
        return false;
    const std::optional<GisFormat> format = GisFormatOfPath(*path);
    if (!format) {
        prompter.ShowMessage({FormatMessage(messages::kGisUnknownFormat, *path),
                              messages::kApplicationTitle, platform::MessageIcon::Warning,
                              platform::MessageButtons::Ok});
        return false;
    }
    return ExportGisToFile(page, prompter, *path, *format);
}

} // namespace carvento::pages
