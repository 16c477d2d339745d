// Elevations from a digital elevation model file, read with GDAL: GeoTIFF, SRTM .hgt, an Esri
// ASCII grid or any other raster GDAL reads. Linked by carvento-earth and carvento-cli only.
//
// The first band holds the heights (its scale and offset applied). A cell's value belongs to its
// centre, and a position between centres gets the bilinear blend of the four around it. The
// raster covers its extent (the outer edges of its cells): a position inside the extent but
// beyond the outermost centres takes the nearest edge cells, so every position inside the extent
// has a height unless a cell it needs holds the no-data value (or NaN). Positions outside the
// extent have none.
//
// Positions are WGS84 longitude and latitude in degrees. A raster in another coordinate system
// (a projected one such as UTM, another datum) has each position transformed into its system
// first; a raster that declares no coordinate system is taken to be in longitude and latitude.
//
// Cells are read on demand in tiles, of which a few are kept, so a large raster is never loaded
// whole. GDAL reads a raster block by block, however few of its cells are asked for, so one read
// costs at least a block: a raster stored in blocks larger than kMaxBlockBytes (a whole image in
// one strip) is refused when opened, and a tile is made small enough that the blocks one tile
// read touches stay within that bound too. Only regular files (and folders, which some formats
// are) are opened: a FIFO or a device would block or never end. Elevation may be called from
// several threads.
//
// Memory: the kept tiles hold at most kCachedTiles × kTileSize² cells as doubles (8 MiB), and
// GDAL's own cache of the blocks it has read is held to BlockCacheBytes: kMinBlockCacheBytes to
// kBlockCacheBytes (unless GDAL_CACHEMAX sets it), whatever the size of the raster and the shape
// of its blocks.
//
// Positions one at a time read a tile for nearly every position when they are scattered over a
// raster larger than the kept tiles. SampleMany takes a list of positions and reads them in the
// raster's order instead, so that each tile is read about once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>

namespace carvento::earth {

class DemTerrain {
public:
    // The raster, or nothing with a message in `error` (a file GDAL cannot open, no raster band,
    // no georeferencing, a coordinate system WGS84 positions cannot be transformed into).
    static std::unique_ptr<DemTerrain> Open(const std::string& path, std::string& error);
    ~DemTerrain();
    DemTerrain(const DemTerrain&) = delete;
    DemTerrain& operator=(const DemTerrain&) = delete;

    // The height at a WGS84 position, or nothing (outside, no-data, a tile that cannot be read).
    std::optional<double> Elevation(double longitude, double latitude);

    // The height at a WGS84 position, or none where the model has none; `error` is not empty
    // when the cells could not be read (a damaged file): then there is no height, yet the
    // position is not known to lack one.
    struct Reading {
        std::optional<double> height{};
        std::string error{};
    };
    Reading Sample(double longitude, double latitude);

    // What SampleMany found at a position: a height, none (as Sample finds none), or cells that
    // could not be read (Sample tells why).
    enum class Found : signed char { None = 0, Height = 1, ReadError = -1 };
    // The heights of many positions (longitudes[i], latitudes[i]) at once, each the very value
    // Sample gives it: heights[i] holds it where found[i] is Height. The positions are taken in
    // the order of the tiles they need, so however they are scattered each tile is read about
    // once (twice at most for the tiles below others), not once per position. Takes about 24
    // bytes per position while it runs (40 for a raster in another coordinate system).
    void SampleMany(std::span<const double> longitudes, std::span<const double> latitudes,
                    std::span<double> heights, std::span<Found> found);

    // How many tiles have been read from the file so far (a tile dropped from the cache and
    // needed again is read again).
    std::uint64_t TileReads() const;

    int Width() const;
    int Height() const;
    const std::string& Path() const;

    // Tiles are at most this many cells square; at most kCachedTiles are kept.
    static constexpr int kTileSize = 256;
    static constexpr std::size_t kCachedTiles = 16;
    // The largest block of cells one read may take, in bytes.
    static constexpr std::uint64_t kMaxBlockBytes = 64u << 20;
    // GDAL's cache of the raw blocks it has read (one for the process) is set, unless the
    // process set GDAL_CACHEMAX, to hold the blocks two rows of tiles touch: then a pass in
    // SampleMany's order, row of tiles by row of tiles, decodes each block about once, while a
    // cache no larger reuses its memory instead of growing with the raster (GDAL's default, a
    // share of the machine's memory, would take in a whole raster of a few hundred megabytes).
    // The largest raster opened sets it, within these bounds.
    static constexpr std::uint64_t kMinBlockCacheBytes = 16u << 20;
    static constexpr std::uint64_t kBlockCacheBytes = 2 * kMaxBlockBytes;
    static std::uint64_t BlockCacheBytes(int blockWidth, int blockHeight, int cellBytes, int width,
                                         int height);
    // The tile's width and height, in cells, for blocks of that size and cell size in a raster
    // of `width` × `height` cells.
    struct TileShape {
        int width = kTileSize;
        int height = kTileSize;
    };
    static TileShape TileShapeFor(int blockWidth, int blockHeight, int cellBytes, int width,
                                  int height);

private:
    struct Impl;
    explicit DemTerrain(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> m_impl;
};

} // namespace carvento::earth
