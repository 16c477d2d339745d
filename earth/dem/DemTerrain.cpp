#include "earth/dem/DemTerrain.hpp"

#include <cpl_conv.h>
#include <cpl_error.h>
#include <gdal.h>
#include <gdal_priv.h>
#include <ogr_spatialref.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <mutex>
#include <sys/stat.h>
#include <vector>

namespace carvento::earth {
namespace {

void RegisterDrivers()
{
    static std::once_flag once;
    std::call_once(once, [] { GDALAllRegister(); });
}

// Keeps GDAL's messages for this thread out of standard error while the scope lasts; the last
// one stays readable through CPLGetLastErrorMsg.
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

    static std::string LastMessage()
    {
        const char* message = CPLGetLastErrorMsg();
        return message && *message ? std::string(message) : std::string();
    }
};

struct DatasetClose {
    void operator()(GDALDataset* dataset) const { GDALClose(GDALDataset::ToHandle(dataset)); }
};

struct Tile {
    int column = 0; // tile position in tiles
    int row = 0;
    int width = 0; // cells held (smaller at the raster's right and bottom edges)
    std::uint64_t lastUse = 0;
    std::vector<double> cells;
};

} // namespace

struct DemTerrain::Impl {
    std::string path;
    std::unique_ptr<GDALDataset, DatasetClose> dataset;
    GDALRasterBand* band = nullptr;
    int width = 0;
    int height = 0;
    double inverse[6] = {}; // map coordinates to pixel coordinates
    bool hasNoData = false;
    double noData = 0;
    double scale = 1;
    double offset = 0;
    bool lonLat = true; // positions go to the raster unchanged
    std::unique_ptr<OGRCoordinateTransformation> toRaster;

    TileShape tileShape{};

    std::mutex mutex;
    std::vector<Tile> tiles;
    std::uint64_t uses = 0;
    // Why the last tile could not be read; empty while every read succeeded.
    std::string readError;

    const Tile* FindTile(int column, int row);
    std::optional<double> Cell(int i, int j);
    std::optional<double> AtPixel(double px, double py);
};

const Tile* DemTerrain::Impl::FindTile(int column, int row)
{
    ++uses;
    for (Tile& tile : tiles)
        if (tile.column == column && tile.row == row) {
            tile.lastUse = uses;
            return &tile;
        }

    Tile tile;
    tile.column = column;
    tile.row = row;
    // Tiles start at multiples of their size, so a tile never reaches past the raster's int
    // range: x0 < width.
    int x0 = column * tileShape.width;
    int y0 = row * tileShape.height;
    tile.width = std::min(tileShape.width, width - x0);
    int tileHeight = std::min(tileShape.height, height - y0);
    tile.cells.resize(static_cast<std::size_t>(tile.width) * static_cast<std::size_t>(tileHeight));
    tile.lastUse = uses;
    QuietGdal quiet;
    if (band->RasterIO(GF_Read, x0, y0, tile.width, tileHeight, tile.cells.data(), tile.width,
                       tileHeight, GDT_Float64, 0, 0, nullptr) != CE_None) {
        // Not kept: a later call tries again.
        std::string reason = QuietGdal::LastMessage();
        while (!reason.empty() && (reason.back() == '.' || reason.back() == '\n'))
            reason.pop_back();
        readError = "cannot read the elevation model " + path + " (cells " + std::to_string(x0) +
                    ", " + std::to_string(y0) + ")" + (reason.empty() ? "" : ": " + reason);
        return nullptr;
    }

    if (tiles.size() < kCachedTiles) {
        tiles.push_back(std::move(tile));
        return &tiles.back();
    }
    auto oldest = std::min_element(tiles.begin(), tiles.end(), [](const Tile& a, const Tile& b) {
        return a.lastUse < b.lastUse;
    });
    *oldest = std::move(tile);
    return &*oldest;
}

std::optional<double> DemTerrain::Impl::Cell(int i, int j)
{
    const Tile* tile = FindTile(i / tileShape.width, j / tileShape.height);
    if (!tile)
        return std::nullopt;
    double value = tile->cells[static_cast<std::size_t>(j % tileShape.height) *
                                   static_cast<std::size_t>(tile->width) +
                               static_cast<std::size_t>(i % tileShape.width)];
    if (std::isnan(value))
        return std::nullopt;
    if (hasNoData && (value == noData || (std::isnan(noData) && std::isnan(value))))
        return std::nullopt;
    return value * scale + offset;
}

std::optional<double> DemTerrain::Impl::AtPixel(double px, double py)
{
    // The extent, edges included.
    if (!(px >= 0 && px <= width && py >= 0 && py <= height))
        return std::nullopt;
    // Cell centres lie at (i + 0.5, j + 0.5); beyond the outermost centres the edge cells hold.
    double u = std::clamp(px - 0.5, 0.0, static_cast<double>(width - 1));
    double v = std::clamp(py - 0.5, 0.0, static_cast<double>(height - 1));
    int i0 = static_cast<int>(std::floor(u));
    int j0 = static_cast<int>(std::floor(v));
    int i1 = std::min(i0 + 1, width - 1);
    int j1 = std::min(j0 + 1, height - 1);
    double fx = u - i0;
    double fy = v - j0;

    auto a = Cell(i0, j0);
    auto b = Cell(i1, j0);
    auto c = Cell(i0, j1);
    auto d = Cell(i1, j1);
    if (!a || !b || !c || !d)
        return std::nullopt;
    double top = *a + (*b - *a) * fx;
    double bottom = *c + (*d - *c) * fx;
    return top + (bottom - top) * fy;
}

DemTerrain::DemTerrain(std::unique_ptr<Impl> impl) : m_impl(std::move(impl)) {}
DemTerrain::~DemTerrain() = default;

int DemTerrain::Width() const
{
    return m_impl->width;
}

int DemTerrain::Height() const
{
    return m_impl->height;
}

const std::string& DemTerrain::Path() const
{
    return m_impl->path;
}

DemTerrain::TileShape DemTerrain::TileShapeFor(int blockWidth, int blockHeight, int cellBytes,
                                               int width, int height)
{
    const std::uint64_t blockBytes = static_cast<std::uint64_t>(std::max(blockWidth, 1)) *
                                     static_cast<std::uint64_t>(std::max(blockHeight, 1)) *
                                     static_cast<std::uint64_t>(std::max(cellBytes, 1));
    // Along one axis: a block as long as the raster is the only one; blocks no larger than a
    // tile fit a whole number of times into it, and a tile starting at a multiple of its size
    // then touches exactly that many; a tile within larger blocks touches at most two.
    struct Axis {
        int block;
        bool whole;
        int tile;
        Axis(int size, int extent)
            : block(std::max(size, 1)), whole(block >= extent),
              tile(whole || block > kTileSize ? kTileSize : kTileSize / block * block)
        {
        }
        std::uint64_t Blocks() const
        {
            if (whole)
                return 1;
            return block <= kTileSize ? static_cast<std::uint64_t>(tile / block) : 2;
        }
        bool Shrinks() const { return !whole && block <= kTileSize && tile > block; }
    };
    Axis across(blockWidth, width);
    Axis down(blockHeight, height);
    // Thin strips: fewer rows (or columns) per tile, until one tile read touches no more than
    // the limit.
    while (across.Blocks() * down.Blocks() * blockBytes > kMaxBlockBytes) {
        Axis& axis = down.Shrinks() && (!across.Shrinks() || down.Blocks() >= across.Blocks())
                         ? down
                         : across;
        if (!axis.Shrinks())
            break;
        axis.tile -= axis.block;
    }
    return {across.tile, down.tile};
}

std::unique_ptr<DemTerrain> DemTerrain::Open(const std::string& path, std::string& error)
{
    // A FIFO or a device would hold the open (or the reads) for ever. A folder is left to GDAL:
    // some formats are one.
    struct stat info {};
    if (::stat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode) && !S_ISDIR(info.st_mode)) {
        error = "the elevation model " + path +
                " is not a regular file (a FIFO, a device or a socket): it is not read";
        return nullptr;
    }
    RegisterDrivers();
    QuietGdal quiet;
    auto impl = std::make_unique<Impl>();
    impl->path = path;
    impl->dataset.reset(GDALDataset::FromHandle(
        GDALOpenEx(path.c_str(), GDAL_OF_RASTER | GDAL_OF_READONLY, nullptr, nullptr, nullptr)));
    if (!impl->dataset) {
        std::string reason = QuietGdal::LastMessage();
        error = "cannot open the elevation model " + path +
                (reason.empty() ? std::string(" as a raster") : ": " + reason);
        return nullptr;
    }
    GDALDataset& dataset = *impl->dataset;
    if (dataset.GetRasterCount() < 1 || dataset.GetRasterXSize() < 1 ||
        dataset.GetRasterYSize() < 1) {
        error = "the elevation model " + path + " holds no raster band";
        return nullptr;
    }
    impl->band = dataset.GetRasterBand(1);
    impl->width = dataset.GetRasterXSize();
    impl->height = dataset.GetRasterYSize();

    // GDAL reads whole blocks: one block larger than the limit (a raster stored in one strip)
    // would take gigabytes for a single cell.
    int blockWidth = 0;
    int blockHeight = 0;
    impl->band->GetBlockSize(&blockWidth, &blockHeight);
    const int cellBytes = GDALGetDataTypeSizeBytes(impl->band->GetRasterDataType());
    const std::uint64_t blockBytes = static_cast<std::uint64_t>(std::max(blockWidth, 1)) *
                                     static_cast<std::uint64_t>(std::max(blockHeight, 1)) *
                                     static_cast<std::uint64_t>(std::max(cellBytes, 1));
    if (blockBytes > kMaxBlockBytes) {
        constexpr std::uint64_t kMiB = 1u << 20;
        error = "the elevation model " + path + " is stored in blocks of " +
                std::to_string(blockWidth) + " × " + std::to_string(blockHeight) + " cells (" +
                std::to_string((blockBytes + kMiB - 1) / kMiB) + " MiB each), more than the " +
                std::to_string(kMaxBlockBytes / kMiB) +
                " MiB one read may take: store it in tiles (gdal_translate -co TILED=YES) to "
                "use it";
        return nullptr;
    }
    impl->tileShape = TileShapeFor(blockWidth, blockHeight, cellBytes, impl->width, impl->height);

    double transform[6] = {};
    if (dataset.GetGeoTransform(transform) != CE_None) {
        error = "the elevation model " + path +
                " has no georeferencing (no geotransform): its cells cannot be placed";
        return nullptr;
    }
    if (!GDALInvGeoTransform(transform, impl->inverse)) {
        error = "the georeferencing of the elevation model " + path + " cannot be inverted";
        return nullptr;
    }

    int hasNoData = 0;
    impl->noData = impl->band->GetNoDataValue(&hasNoData);
    impl->hasNoData = hasNoData != 0;
    int hasScale = 0;
    int hasOffset = 0;
    double scale = impl->band->GetScale(&hasScale);
    double offset = impl->band->GetOffset(&hasOffset);
    if (hasScale && std::isfinite(scale) && scale != 0)
        impl->scale = scale;
    if (hasOffset && std::isfinite(offset))
        impl->offset = offset;

    const OGRSpatialReference* rasterSrs = dataset.GetSpatialRef();
    if (rasterSrs && !rasterSrs->IsEmpty()) {
        OGRSpatialReference wgs84;
        wgs84.SetWellKnownGeogCS("WGS84");
        wgs84.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
        const char* sameOptions[] = {"CRITERION=EQUIVALENT_EXCEPT_AXIS_ORDER_GEOGCRS", nullptr};
        if (rasterSrs->IsGeographic() && rasterSrs->IsSame(&wgs84, sameOptions)) {
            impl->lonLat = true;
        } else {
            // Map coordinates of the raster are easting then northing (longitude then latitude
            // for a geographic system), as its geotransform uses them.
            OGRSpatialReference target(*rasterSrs);
            target.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
            impl->toRaster.reset(OGRCreateCoordinateTransformation(&wgs84, &target));
            if (!impl->toRaster) {
                std::string reason = QuietGdal::LastMessage();
                error = "positions cannot be transformed into the coordinate system of the "
                        "elevation model " +
                        path + (reason.empty() ? std::string() : ": " + reason);
                return nullptr;
            }
            impl->lonLat = false;
        }
    }
    return std::unique_ptr<DemTerrain>(new DemTerrain(std::move(impl)));
}

std::optional<double> DemTerrain::Elevation(double longitude, double latitude)
{
    return Sample(longitude, latitude).height;
}

DemTerrain::Reading DemTerrain::Sample(double longitude, double latitude)
{
    if (!std::isfinite(longitude) || !std::isfinite(latitude) || latitude < -90 || latitude > 90)
        return {};
    Impl& impl = *m_impl;
    std::lock_guard lock(impl.mutex);
    impl.readError.clear();
    std::optional<double> height = HeightLocked(longitude, latitude);
    return {height, height ? std::string() : impl.readError};
}

std::optional<double> DemTerrain::HeightLocked(double longitude, double latitude)
{
    Impl& impl = *m_impl;

    auto atMap = [&impl](double x, double y) -> std::optional<double> {
        const double* g = impl.inverse;
        double px = g[0] + x * g[1] + y * g[2];
        double py = g[3] + x * g[4] + y * g[5];
        return impl.AtPixel(px, py);
    };

    if (impl.toRaster) {
        double x = longitude;
        double y = latitude;
        QuietGdal quiet;
        if (!impl.toRaster->Transform(1, &x, &y) || !std::isfinite(x) || !std::isfinite(y))
            return std::nullopt;
        return atMap(x, y);
    }
    // A longitude-latitude raster may count longitudes 0 … 360 (or beyond -180). A read error
    // ends the search: the height there is not known.
    for (double shift : {0.0, 360.0, -360.0}) {
        if (auto value = atMap(longitude + shift, latitude))
            return value;
        if (!impl.readError.empty())
            break;
    }
    return std::nullopt;
}

} // namespace carvento::earth
