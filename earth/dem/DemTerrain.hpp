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
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
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

    int Width() const;
    int Height() const;
    const std::string& Path() const;

    // Tiles are at most this many cells square; at most kCachedTiles are kept.
    static constexpr int kTileSize = 256;
    static constexpr std::size_t kCachedTiles = 16;
    // The largest block of cells one read may take, in bytes.
    static constexpr std::uint64_t kMaxBlockBytes = 64u << 20;
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
    std::optional<double> HeightLocked(double longitude, double latitude);
    std::unique_ptr<Impl> m_impl;
};

} // namespace carvento::earth
