#include "earth/dem/DemTerrain.hpp"

#include <cpl_conv.h>
#include <cpl_error.h>
#include <gdal.h>
#include <gdal_priv.h>
#include <ogr_spatialref.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
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

// Sets GDAL's block cache to hold `bytes` when the process has not set its own, never below
// what an earlier raster needed.
void KeepBlockCache(std::uint64_t bytes)
{
    static std::mutex mutex;
    static std::uint64_t kept = 0;
    std::lock_guard lock(mutex);
    if (bytes <= kept || CPLGetConfigOption("GDAL_CACHEMAX", nullptr))
        return;
    kept = bytes;
    GDALSetCacheMax64(static_cast<GIntBig>(bytes));
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
    int column = -1; // tile position in tiles; -1: none
    int row = -1;
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
    std::size_t lastTile = 0; // the tile found last
    std::uint64_t uses = 0;
    std::uint64_t tileReads = 0;
    // Why the last tile could not be read, and which it was (column and row in tiles); empty
    // while every read succeeded.
    std::string readError;
    std::pair<int, int> failedTile{};

    // The four cells around a position and its place between their centres.
    struct Footprint {
        int i0, j0, i1, j1;
        double fx, fy;
    };

    // Longitude-latitude rasters are tried at the position and a turn east and west of it.
    int Attempts() const { return toRaster ? 1 : 3; }
    // The pixel position of attempt `attempt` at a WGS84 position; nothing when it cannot be
    // transformed into the raster's system.
    std::optional<std::pair<double, double>> Pixel(double longitude, double latitude, int attempt);
    // Nothing outside the extent.
    std::optional<Footprint> FootprintAt(double px, double py) const;
    std::optional<double> Blend(const Footprint& footprint);
    // Whether the footprint needs one of these tiles.
    bool Touches(const Footprint& footprint, const std::vector<std::pair<int, int>>& tiles) const;
    const Tile* FindTile(int column, int row);
    std::optional<double> Cell(int i, int j);
    std::optional<double> AtPixel(double px, double py);
    std::optional<double> Height(double longitude, double latitude);
};

const Tile* DemTerrain::Impl::FindTile(int column, int row)
{
    ++uses;
    // Most cells lie in the tile of the cell before.
    if (lastTile < tiles.size() && tiles[lastTile].column == column && tiles[lastTile].row == row) {
        tiles[lastTile].lastUse = uses;
        return &tiles[lastTile];
    }
    for (std::size_t k = 0; k < tiles.size(); ++k)
        if (tiles[k].column == column && tiles[k].row == row) {
            tiles[k].lastUse = uses;
            lastTile = k;
            return &tiles[k];
        }

    // The tile goes into a free place or over the one used longest ago, whose cells are reused
    // (a million positions must not clear half a megabyte each).
    Tile* tile = nullptr;
    if (tiles.size() < kCachedTiles) {
        tile = &tiles.emplace_back();
    } else {
        tile = &*std::min_element(tiles.begin(), tiles.end(), [](const Tile& a, const Tile& b) {
            return a.lastUse < b.lastUse;
        });
    }
    // Tiles start at multiples of their size, so a tile never reaches past the raster's int
    // range: x0 < width.
    int x0 = column * tileShape.width;
    int y0 = row * tileShape.height;
    tile->width = std::min(tileShape.width, width - x0);
    int tileHeight = std::min(tileShape.height, height - y0);
    tile->cells.resize(static_cast<std::size_t>(tile->width) *
                       static_cast<std::size_t>(tileHeight));
    ++tileReads;
    QuietGdal quiet;
    if (band->RasterIO(GF_Read, x0, y0, tile->width, tileHeight, tile->cells.data(), tile->width,
                       tileHeight, GDT_Float64, 0, 0, nullptr) != CE_None) {
        // Not kept (the place holds no tile, and is the first to be taken again): a later call
        // tries again.
        tile->column = -1;
        tile->row = -1;
        tile->lastUse = 0;
        std::string reason = QuietGdal::LastMessage();
        while (!reason.empty() && (reason.back() == '.' || reason.back() == '\n'))
            reason.pop_back();
        failedTile = {column, row};
        readError = "cannot read the elevation model " + path + " (cells " + std::to_string(x0) +
                    ", " + std::to_string(y0) + ")" + (reason.empty() ? "" : ": " + reason);
        return nullptr;
    }
    tile->column = column;
    tile->row = row;
    tile->lastUse = uses;
    lastTile = static_cast<std::size_t>(tile - tiles.data());
    return tile;
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

std::optional<DemTerrain::Impl::Footprint> DemTerrain::Impl::FootprintAt(double px, double py) const
{
    // The extent, edges included.
    if (!(px >= 0 && px <= width && py >= 0 && py <= height))
        return std::nullopt;
    // Cell centres lie at (i + 0.5, j + 0.5); beyond the outermost centres the edge cells hold.
    double u = std::clamp(px - 0.5, 0.0, static_cast<double>(width - 1));
    double v = std::clamp(py - 0.5, 0.0, static_cast<double>(height - 1));
    int i0 = static_cast<int>(std::floor(u));
    int j0 = static_cast<int>(std::floor(v));
    return Footprint{i0,     j0,    std::min(i0 + 1, width - 1), std::min(j0 + 1, height - 1),
                     u - i0, v - j0};
}

std::optional<double> DemTerrain::Impl::Blend(const Footprint& f)
{
    auto a = Cell(f.i0, f.j0);
    auto b = Cell(f.i1, f.j0);
    auto c = Cell(f.i0, f.j1);
    auto d = Cell(f.i1, f.j1);
    if (!a || !b || !c || !d)
        return std::nullopt;
    double top = *a + (*b - *a) * f.fx;
    double bottom = *c + (*d - *c) * f.fx;
    return top + (bottom - top) * f.fy;
}

bool DemTerrain::Impl::Touches(const Footprint& f,
                               const std::vector<std::pair<int, int>>& tiles) const
{
    const int left = f.i0 / tileShape.width;
    const int right = f.i1 / tileShape.width;
    const int top = f.j0 / tileShape.height;
    const int bottom = f.j1 / tileShape.height;
    return std::any_of(tiles.begin(), tiles.end(), [&](const std::pair<int, int>& tile) {
        return (tile.first == left || tile.first == right) &&
               (tile.second == top || tile.second == bottom);
    });
}

std::optional<double> DemTerrain::Impl::AtPixel(double px, double py)
{
    const std::optional<Footprint> footprint = FootprintAt(px, py);
    return footprint ? Blend(*footprint) : std::nullopt;
}

std::optional<std::pair<double, double>> DemTerrain::Impl::Pixel(double longitude, double latitude,
                                                                 int attempt)
{
    double x = longitude;
    double y = latitude;
    if (toRaster) {
        QuietGdal quiet;
        if (!toRaster->Transform(1, &x, &y) || !std::isfinite(x) || !std::isfinite(y))
            return std::nullopt;
    } else {
        // A longitude-latitude raster may count longitudes 0 … 360 (or beyond -180).
        constexpr double kShifts[] = {0.0, 360.0, -360.0};
        x = longitude + kShifts[attempt];
    }
    const double* g = inverse;
    return std::pair{g[0] + x * g[1] + y * g[2], g[3] + x * g[4] + y * g[5]};
}

std::optional<double> DemTerrain::Impl::Height(double longitude, double latitude)
{
    // A read error ends the search: the height there is not known.
    for (int attempt = 0; attempt < Attempts(); ++attempt) {
        const auto pixel = Pixel(longitude, latitude, attempt);
        if (!pixel)
            return std::nullopt;
        if (auto value = AtPixel(pixel->first, pixel->second))
            return value;
        if (!readError.empty())
            break;
    }
    return std::nullopt;
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

std::uint64_t DemTerrain::BlockCacheBytes(int blockWidth, int blockHeight, int cellBytes, int width,
                                          int height)
{
    const TileShape tile = TileShapeFor(blockWidth, blockHeight, cellBytes, width, height);
    const std::uint64_t across = static_cast<std::uint64_t>(std::max(width, 1));
    const std::uint64_t blockAcross = static_cast<std::uint64_t>(std::max(blockWidth, 1));
    const std::uint64_t blockDown = static_cast<std::uint64_t>(std::max(blockHeight, 1));
    // A row of tiles spans the raster's width and touches the block rows of one tile: those
    // within it, or the two a tile within larger blocks may straddle.
    const std::uint64_t tileDown = static_cast<std::uint64_t>(tile.height);
    const std::uint64_t blockRows = blockDown >= static_cast<std::uint64_t>(height) ? 1
                                    : blockDown <= tileDown ? (tileDown + blockDown - 1) / blockDown
                                                            : 2;
    const std::uint64_t rowBytes = (across + blockAcross - 1) / blockAcross * blockAcross *
                                   blockRows * blockDown *
                                   static_cast<std::uint64_t>(std::max(cellBytes, 1));
    return std::clamp(2 * rowBytes, kMinBlockCacheBytes, kBlockCacheBytes);
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
    KeepBlockCache(BlockCacheBytes(blockWidth, blockHeight, cellBytes, impl->width, impl->height));

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

namespace {

bool OnTheGlobe(double longitude, double latitude)
{
    return std::isfinite(longitude) && std::isfinite(latitude) && latitude >= -90 && latitude <= 90;
}

} // namespace

DemTerrain::Reading DemTerrain::Sample(double longitude, double latitude)
{
    if (!OnTheGlobe(longitude, latitude))
        return {};
    Impl& impl = *m_impl;
    std::lock_guard lock(impl.mutex);
    impl.readError.clear();
    std::optional<double> height = impl.Height(longitude, latitude);
    return {height, height ? std::string() : impl.readError};
}

void DemTerrain::SampleMany(std::span<const double> longitudes, std::span<const double> latitudes,
                            std::span<double> heights, std::span<Found> found)
{
    const std::size_t count =
        std::min({longitudes.size(), latitudes.size(), heights.size(), found.size()});
    std::fill_n(found.begin(), count, Found::None);
    // Positions are counted in 32 bits.
    constexpr std::size_t kChunk = std::numeric_limits<std::uint32_t>::max();
    if (count > kChunk) {
        for (std::size_t first = 0; first < count; first += kChunk) {
            const std::size_t n = std::min(kChunk, count - first);
            SampleMany(longitudes.subspan(first, n), latitudes.subspan(first, n),
                       heights.subspan(first, n), found.subspan(first, n));
        }
        return;
    }
    Impl& impl = *m_impl;
    std::lock_guard lock(impl.mutex);

    // The positions whose attempt is due, and those left for the next attempt.
    std::vector<std::uint32_t> due;
    std::vector<std::uint32_t> next;
    for (std::size_t i = 0; i < count; ++i)
        if (OnTheGlobe(longitudes[i], latitudes[i]))
            due.push_back(static_cast<std::uint32_t>(i));

    // One position's cells: it is read with the others of the tile of its first cell. Tiles go
    // row by row, so the tiles to the right and below that some positions also need are at
    // hand or come next. The pixel position is found again when the cells are read, but for a
    // raster in another system it is kept: transforming a position costs more.
    struct Read {
        std::uint64_t tile;
        std::uint32_t index;
    };
    std::vector<Read> reads;
    std::vector<std::pair<double, double>> transformed(impl.toRaster ? count : 0);
    std::vector<std::pair<int, int>> failedTiles;
    const std::uint64_t tileWidth = static_cast<std::uint64_t>(impl.tileShape.width);
    const std::uint64_t tilesAcross = (static_cast<std::uint64_t>(impl.width) + tileWidth - 1) /
                                      tileWidth;
    for (int attempt = 0; attempt < impl.Attempts() && !due.empty(); ++attempt) {
        const bool another = attempt + 1 < impl.Attempts();
        const auto pixelOf = [&](std::uint32_t index) {
            return impl.toRaster ? std::optional(transformed[index])
                                 : impl.Pixel(longitudes[index], latitudes[index], attempt);
        };
        reads.clear();
        for (std::uint32_t index : due) {
            const auto pixel = impl.Pixel(longitudes[index], latitudes[index], attempt);
            if (!pixel)
                continue;
            const auto footprint = impl.FootprintAt(pixel->first, pixel->second);
            if (!footprint) {
                if (another)
                    next.push_back(index);
                continue;
            }
            if (impl.toRaster)
                transformed[index] = *pixel;
            reads.push_back({static_cast<std::uint64_t>(footprint->j0 / impl.tileShape.height) *
                                     tilesAcross +
                                 static_cast<std::uint64_t>(footprint->i0 / impl.tileShape.width),
                             index});
        }
        std::sort(reads.begin(), reads.end(), [](const Read& a, const Read& b) {
            return a.tile != b.tile ? a.tile < b.tile : a.index < b.index;
        });
        for (const Read& read : reads) {
            const auto pixel = pixelOf(read.index);
            const Impl::Footprint footprint = *impl.FootprintAt(pixel->first, pixel->second);
            // A tile that could not be read is not tried again for the others that need it.
            if (!failedTiles.empty() && impl.Touches(footprint, failedTiles)) {
                found[read.index] = Found::ReadError;
                continue;
            }
            impl.readError.clear();
            if (const auto value = impl.Blend(footprint)) {
                heights[read.index] = *value;
                found[read.index] = Found::Height;
            } else if (!impl.readError.empty()) {
                found[read.index] = Found::ReadError;
                failedTiles.push_back(impl.failedTile);
            } else if (another) {
                next.push_back(read.index);
            }
        }
        due.swap(next);
        next.clear();
    }
    impl.readError.clear();
}

std::uint64_t DemTerrain::TileReads() const
{
    std::lock_guard lock(m_impl->mutex);
    return m_impl->tileReads;
}

} // namespace carvento::earth
