// DemTerrain on small rasters the test writes as Esri ASCII grids and turns into GeoTIFFs with
// GDAL's own tools: bilinear values between cell centres, the edge half-cells, no-data, the
// extent, a projected twin, tiles and threads, the files it refuses (one huge strip, a FIFO) and
// cells it cannot read; many positions at once, bit for bit as one at a time, with each tile
// read about once, and the bounds of GDAL's block cache.
#include "earth/dem/DemTerrain.hpp"
#include "support/ScratchFolder.hpp"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <random>
#include <sstream>
#include <sys/stat.h>
#include <thread>
#include <vector>

using carvento::earth::DemTerrain;
using carvento::testing::ScratchFolder;

namespace {

// 4 columns, 3 rows of 0.5° cells over 100°…102° E, 20°…21.5° N; the bottom-right cell has no
// data. Cell (i, j) has its centre at (100.25 + 0.5 i, 21.25 − 0.5 j).
constexpr char kSmallGrid[] = "ncols 4\n"
                              "nrows 3\n"
                              "xllcorner 100\n"
                              "yllcorner 20\n"
                              "cellsize 0.5\n"
                              "NODATA_value -9999\n"
                              "10 20 30 40\n"
                              "50 60 70 80\n"
                              "90 100 110 -9999\n";

bool RunTool(const std::string& command)
{
    return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

std::unique_ptr<DemTerrain> OpenOrFail(const std::string& path)
{
    std::string error;
    auto dem = DemTerrain::Open(path, error);
    EXPECT_TRUE(dem) << error;
    return dem;
}

// The checks every twin of kSmallGrid must pass, whatever its format.
void ExpectSmallGridValues(DemTerrain& dem)
{
    // A cell centre, the middle of four centres, and a point a quarter and three quarters
    // along: (10 + 0.25·10) + ((50 + 0.25·10) − (10 + 0.25·10))·0.75 = 42.5.
    EXPECT_DOUBLE_EQ(*dem.Elevation(100.75, 20.75), 60);
    EXPECT_DOUBLE_EQ(*dem.Elevation(100.5, 21.0), 35);
    EXPECT_DOUBLE_EQ(*dem.Elevation(100.375, 20.875), 42.5);
    // Beyond the outermost centres the edge cells hold: the corner half-cell is the corner
    // cell, the left half-cell blends only down the column.
    EXPECT_DOUBLE_EQ(*dem.Elevation(100.1, 21.4), 10);
    EXPECT_DOUBLE_EQ(*dem.Elevation(100.0, 21.5), 10);
    EXPECT_DOUBLE_EQ(*dem.Elevation(100.1, 21.0), 30);
    EXPECT_DOUBLE_EQ(*dem.Elevation(101.9, 21.0), 60);
    // Four cells clear of the no-data cell, and every blend that needs it.
    EXPECT_DOUBLE_EQ(*dem.Elevation(101.0, 20.5), 85);
    EXPECT_FALSE(dem.Elevation(101.5, 20.5));
    EXPECT_FALSE(dem.Elevation(101.75, 20.25));
    EXPECT_FALSE(dem.Elevation(102.0, 20.0));
    // Outside the extent.
    EXPECT_FALSE(dem.Elevation(99.99, 21.0));
    EXPECT_FALSE(dem.Elevation(101.0, 21.51));
    EXPECT_FALSE(dem.Elevation(102.01, 20.5));
    EXPECT_FALSE(dem.Elevation(101.0, 19.99));
}

} // namespace

TEST(DemTerrain, BilinearBetweenCellCentresOfAnAsciiGridAndItsGeoTiffTwin)
{
    ScratchFolder folder;
    std::string grid = folder.Write("small.asc", kSmallGrid);
    auto dem = OpenOrFail(grid);
    ASSERT_TRUE(dem);
    EXPECT_EQ(dem->Width(), 4);
    EXPECT_EQ(dem->Height(), 3);
    ExpectSmallGridValues(*dem);

    // The same cells as a Float32 GeoTIFF that declares WGS84.
    std::string tiff = folder / "small.tif";
    ASSERT_TRUE(RunTool("gdal_translate -q -ot Float32 -a_srs EPSG:4326 " + grid + " " + tiff));
    auto twin = OpenOrFail(tiff);
    ASSERT_TRUE(twin);
    ExpectSmallGridValues(*twin);
}

TEST(DemTerrain, ProjectedRasterAnswersLikeItsGeographicTwin)
{
    // A plane tilted in longitude and latitude over 104°…105° E, 30°…31° N (UTM zone 48):
    // bilinear blending reproduces a plane, so the geographic grid answers it exactly and its
    // warp into UTM (exact transformation, -et 0) within the curvature of the projection over
    // one cell.
    ScratchFolder folder;
    auto plane = [](double longitude, double latitude) {
        return 1000 + 200 * (longitude - 104) + 100 * (latitude - 30);
    };
    std::ostringstream grid;
    grid.precision(17);
    grid << "ncols 100\nnrows 100\nxllcorner 104\nyllcorner 30\ncellsize 0.01\n";
    for (int row = 0; row < 100; ++row) {
        for (int column = 0; column < 100; ++column)
            grid << plane(104.005 + 0.01 * column, 30.995 - 0.01 * row) << ' ';
        grid << '\n';
    }
    std::string geographic = folder.Write("plane.asc", grid.str());
    std::string projected = folder / "plane-utm48.tif";
    ASSERT_TRUE(
        RunTool("gdalwarp -q -s_srs EPSG:4326 -t_srs EPSG:32648 -r bilinear -et 0 -tr 250 250 "
                "-ot Float64 -dstnodata -9999 " +
                geographic + " " + projected));

    auto flat = OpenOrFail(geographic);
    auto utm = OpenOrFail(projected);
    ASSERT_TRUE(flat && utm);
    for (auto [longitude, latitude] :
         {std::pair{104.3, 30.4}, {104.77, 30.61}, {104.5, 30.5}, {104.123, 30.877}}) {
        SCOPED_TRACE(testing::Message() << longitude << ", " << latitude);
        ASSERT_TRUE(flat->Elevation(longitude, latitude));
        EXPECT_NEAR(*flat->Elevation(longitude, latitude), plane(longitude, latitude), 1e-9);
        auto value = utm->Elevation(longitude, latitude);
        ASSERT_TRUE(value);
        EXPECT_NEAR(*value, plane(longitude, latitude), 0.01);
    }
    // Outside the warped extent.
    EXPECT_FALSE(utm->Elevation(110.0, 30.5));
    EXPECT_FALSE(utm->Elevation(104.5, 35.0));
}

TEST(DemTerrain, TiledReadsAcrossManyTilesAndThreads)
{
    // 1300 × 1100 cells holding column + 2000 · row: more tiles than the cache keeps, so tiles
    // are dropped and read again while four threads ask at once.
    constexpr int kColumns = 1300;
    constexpr int kRows = 1100;
    ScratchFolder folder;
    std::ostringstream grid;
    grid << "ncols " << kColumns << "\nnrows " << kRows
         << "\nxllcorner 0\nyllcorner 0\ncellsize 0.001\n";
    for (int row = 0; row < kRows; ++row) {
        for (int column = 0; column < kColumns; ++column)
            grid << column + 2000 * row << ' ';
        grid << '\n';
    }
    std::string ascii = folder.Write("ramp.asc", grid.str());
    std::string tiff = folder / "ramp.tif";
    ASSERT_TRUE(RunTool("gdal_translate -q -co TILED=YES " + ascii + " " + tiff));
    auto dem = OpenOrFail(tiff);
    ASSERT_TRUE(dem);

    auto expected = [](double longitude, double latitude) {
        double u = longitude / 0.001 - 0.5;
        double v = (1.1 - latitude) / 0.001 - 0.5;
        return u + 2000 * v;
    };
    std::vector<int> mismatches(4, 0);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&, t] {
            std::mt19937 random(1234 + t);
            std::uniform_real_distribution<double> longitude(0.0006, 1.2994);
            std::uniform_real_distribution<double> latitude(0.0006, 1.0994);
            for (int i = 0; i < 5000; ++i) {
                double x = longitude(random);
                double y = latitude(random);
                auto value = dem->Elevation(x, y);
                if (!value || std::abs(*value - expected(x, y)) > 1e-6)
                    ++mismatches[t];
            }
        });
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(mismatches, std::vector<int>(4, 0));
}

TEST(DemTerrain, RefusesWhatItCannotPlaceWithTheFileInTheMessage)
{
    ScratchFolder folder;
    std::string error;

    std::string missing = folder / "missing.tif";
    EXPECT_FALSE(DemTerrain::Open(missing, error));
    EXPECT_NE(error.find(missing), std::string::npos) << error;

    error.clear();
    std::string text = folder.Write("notes.txt", "not a raster at all\n");
    EXPECT_FALSE(DemTerrain::Open(text, error));
    EXPECT_NE(error.find(text), std::string::npos) << error;

    // A binary grey map GDAL reads, but without georeferencing.
    error.clear();
    std::string image = folder.Write("image.pgm",
                                     std::string("P5\n2 2\n255\n") + "\x01\x02\x03\x04");
    EXPECT_FALSE(DemTerrain::Open(image, error));
    EXPECT_NE(error.find("georeferencing"), std::string::npos) << error;
}

TEST(DemTerrain, ABlockLargerThanOneReadMayTakeIsRefusedBeforeAnythingIsRead)
{
    ScratchFolder folder;
    // 2^31 - 1 cells in a single strip of 8 GiB, sparse: a file of a few hundred bytes.
    const std::string huge = folder / "one strip.tif";
    ASSERT_TRUE(RunTool("gdal_create -of GTiff -outsize 2147483647 1 -ot Float32 -a_srs "
                        "EPSG:4326 -a_ullr 0 1 10 0 -co SPARSE_OK=YES '" +
                        huge + "'"));
    std::string error;
    EXPECT_FALSE(DemTerrain::Open(huge, error));
    EXPECT_NE(error.find(huge), std::string::npos) << error;
    EXPECT_NE(error.find("2147483647 × 1 cells (8192 MiB each)"), std::string::npos) << error;

    // Thin strips: a tile takes fewer rows, so one tile read stays within the bound.
    const auto strips = DemTerrain::TileShapeFor(1 << 20, 1, 4, 1 << 20, 5000); // 4 MiB a strip
    EXPECT_EQ(256, strips.width);
    EXPECT_EQ(16, strips.height);
    const auto srtm = DemTerrain::TileShapeFor(3601, 1, 2, 3601, 3601); // the usual: untouched
    EXPECT_EQ(256, srtm.width);
    EXPECT_EQ(256, srtm.height);
    const auto tiled = DemTerrain::TileShapeFor(100, 100, 8, 1000, 1000); // whole blocks per tile
    EXPECT_EQ(200, tiled.width);
    EXPECT_EQ(200, tiled.height);
}

TEST(DemTerrain, ACellThatCannotBeReadIsAnErrorNotNoData)
{
    ScratchFolder folder;
    const std::string ascii = folder.Write("small.asc", kSmallGrid);
    const std::string tiff = folder / "cut.tif";
    ASSERT_TRUE(RunTool("gdal_translate -q -ot Float32 -a_srs EPSG:4326 " + ascii + " " + tiff));
    // The cells come after the header: a file cut short keeps the header and loses the cells.
    const auto size = std::filesystem::file_size(tiff);
    std::filesystem::resize_file(tiff, size - 4 * 12 + 2);
    auto dem = OpenOrFail(tiff);
    ASSERT_TRUE(dem);
    const DemTerrain::Reading reading = dem->Sample(100.75, 20.75);
    EXPECT_FALSE(reading.height);
    EXPECT_NE(reading.error.find("cannot read the elevation model " + tiff), std::string::npos)
        << reading.error;
    // Outside the model is no error.
    EXPECT_EQ("", dem->Sample(99, 21).error);
}

TEST(DemTerrain, AFifoIsRefusedWithoutOpeningIt)
{
    ScratchFolder folder;
    const std::string fifo = folder / "model.tif";
    ASSERT_EQ(0, ::mkfifo(fifo.c_str(), 0600));
    std::string error;
    EXPECT_FALSE(DemTerrain::Open(fifo, error)); // would block in open(2) if it were opened
    EXPECT_NE(error.find(fifo + " is not a regular file"), std::string::npos) << error;
}

namespace {

// `columns` × `rows` cells of `cell` degrees from `west`, 40° N, holding a smooth surface with a
// cell of no data here and there, as an Esri ASCII grid.
std::string HillsGrid(int columns, int rows, double cell, double west)
{
    std::ostringstream grid;
    grid.precision(10);
    grid << "ncols " << columns << "\nnrows " << rows << "\nxllcorner " << west
         << "\nyllcorner 40\ncellsize " << cell << "\nNODATA_value -9999\n";
    for (int row = 0; row < rows; ++row) {
        for (int column = 0; column < columns; ++column) {
            if ((column * 7 + row * 13) % 53 == 0)
                grid << "-9999 ";
            else
                grid << 800 + 300 * std::sin(column / 37.0) * std::cos(row / 51.0) +
                            0.37 * ((column * 3 + row * 11) % 17)
                     << ' ';
        }
        grid << '\n';
    }
    return grid.str();
}

struct Position {
    double longitude = 0;
    double latitude = 0;
};

// SampleMany of positions.
void SampleMany(DemTerrain& dem, const std::vector<Position>& positions,
                std::vector<double>& heights, std::vector<DemTerrain::Found>& found)
{
    std::vector<double> longitudes;
    std::vector<double> latitudes;
    for (const Position& position : positions) {
        longitudes.push_back(position.longitude);
        latitudes.push_back(position.latitude);
    }
    dem.SampleMany(longitudes, latitudes, heights, found);
}

// Positions in no order over a box a little larger than the raster, with a few that are no
// positions at all.
std::vector<Position> Scattered(int count, double west, double east, double south, double north,
                                unsigned seed)
{
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> longitude(west - 0.2, east + 0.2);
    std::uniform_real_distribution<double> latitude(south - 0.2, north + 0.2);
    std::vector<Position> positions;
    for (int i = 0; i < count; ++i)
        positions.push_back({longitude(random), latitude(random)});
    positions.push_back({std::nan(""), 42.0});
    positions.push_back({12.0, 95.0});
    positions.push_back({12.0, -std::numeric_limits<double>::infinity()});
    return positions;
}

// SampleMany against Sample one position at a time: the same finding and, bit for bit, the
// same height. Returns how many positions had a height.
int ExpectSampleManyIsSample(DemTerrain& dem, const std::vector<Position>& positions)
{
    std::vector<double> heights(positions.size(), -1.0);
    std::vector<DemTerrain::Found> found(positions.size(), DemTerrain::Found::ReadError);
    SampleMany(dem, positions, heights, found);
    int withHeight = 0;
    int mismatches = 0;
    for (std::size_t i = 0; i < positions.size(); ++i) {
        const DemTerrain::Reading one = dem.Sample(positions[i].longitude, positions[i].latitude);
        const DemTerrain::Found expected = one.height          ? DemTerrain::Found::Height
                                           : one.error.empty() ? DemTerrain::Found::None
                                                               : DemTerrain::Found::ReadError;
        bool same = found[i] == expected;
        if (same && one.height) {
            same = std::bit_cast<std::uint64_t>(*one.height) ==
                   std::bit_cast<std::uint64_t>(heights[i]);
            ++withHeight;
        }
        if (!same && ++mismatches <= 5)
            ADD_FAILURE() << "position " << i << " (" << positions[i].longitude << ", "
                          << positions[i].latitude << "): " << static_cast<int>(found[i]) << " "
                          << heights[i] << ", one by one " << static_cast<int>(expected) << " "
                          << one.height.value_or(-1.0);
    }
    EXPECT_EQ(0, mismatches);
    return withHeight;
}

} // namespace

TEST(DemTerrain, ManyPositionsAtOnceGetWhatEachGetsAlone)
{
    // 600 × 500 cells of 0.01° over 10° … 16° E, 40° … 45° N.
    ScratchFolder folder;
    const std::string ascii = folder.Write("hills.asc", HillsGrid(600, 500, 0.01, 10.0));
    const std::string strips = folder / "hills-strips.tif";
    const std::string tiled = folder / "hills-tiled.tif";
    ASSERT_TRUE(RunTool("gdal_translate -q -ot Float32 -a_srs EPSG:4326 " + ascii + " " + strips));
    ASSERT_TRUE(RunTool("gdal_translate -q -ot Float32 -a_srs EPSG:4326 -co TILED=YES -co "
                        "BLOCKXSIZE=128 -co BLOCKYSIZE=128 " +
                        ascii + " " + tiled));
    const auto positions = Scattered(8000, 10.0, 16.0, 40.0, 45.0, 99);
    for (const std::string& path : {strips, tiled}) {
        SCOPED_TRACE(path);
        auto dem = OpenOrFail(path);
        ASSERT_TRUE(dem);
        // Most positions lie on the raster and most of those have a height.
        EXPECT_GT(ExpectSampleManyIsSample(*dem, positions), 5000);
    }

    // Longitudes counted 170° … 176° E as 190° … 196°: found a turn away, in both ways.
    const std::string east = folder / "beyond-180.tif";
    ASSERT_TRUE(RunTool("gdal_translate -q -ot Float32 -a_srs EPSG:4326 " +
                        folder.Write("beyond-180.asc", HillsGrid(600, 500, 0.01, 190.0)) + " " +
                        east));
    auto beyond = OpenOrFail(east);
    ASSERT_TRUE(beyond);
    EXPECT_GT(ExpectSampleManyIsSample(*beyond, Scattered(5000, -170.0, -164.0, 40.0, 45.0, 7)),
              3000);

    // A projected raster: each position is transformed first.
    const std::string projected = folder / "hills-utm.tif";
    ASSERT_TRUE(RunTool("gdalwarp -q -s_srs EPSG:4326 -t_srs EPSG:32633 -r bilinear -tr 1000 "
                        "1000 -ot Float32 -dstnodata -9999 " +
                        strips + " " + projected));
    auto utm = OpenOrFail(projected);
    ASSERT_TRUE(utm);
    EXPECT_GT(ExpectSampleManyIsSample(*utm, Scattered(5000, 10.0, 16.0, 40.0, 45.0, 3)), 2000);
}

TEST(DemTerrain, ManyPositionsReadEachTileAboutOnceWhateverTheirOrder)
{
    // 6 × 5 tiles of 256 cells, more than the cache keeps: one at a time, scattered positions
    // read a tile for most positions; all at once, each tile once and the tiles below a row
    // at most once more.
    // 1500 × 1200 cells of 0.004° over 10° … 16° E, 40° … 44.8° N.
    ScratchFolder folder;
    const std::string ascii = folder.Write("hills.asc", HillsGrid(1500, 1200, 0.004, 10.0));
    const std::string strips = folder / "hills-strips.tif";
    ASSERT_TRUE(RunTool("gdal_translate -q -ot Float32 -a_srs EPSG:4326 " + ascii + " " + strips));
    auto dem = OpenOrFail(strips);
    ASSERT_TRUE(dem);
    constexpr std::uint64_t kTiles = 30;

    std::uint64_t before = dem->TileReads();
    for (int round = 1; round <= 2; ++round) {
        const auto positions = Scattered(20000 * round, 10.0, 16.0, 40.0, 44.8, round);
        std::vector<double> heights(positions.size());
        std::vector<DemTerrain::Found> found(positions.size());
        SampleMany(*dem, positions, heights, found);
        const std::uint64_t reads = dem->TileReads() - before;
        EXPECT_GE(reads, kTiles - DemTerrain::kCachedTiles) << "round " << round;
        EXPECT_LE(reads, 2 * kTiles) << "round " << round;
        before = dem->TileReads();
    }

    const auto positions = Scattered(2000, 10.0, 16.0, 40.0, 44.8, 5);
    for (const auto& position : positions)
        dem->Sample(position.longitude, position.latitude);
    EXPECT_GT(dem->TileReads() - before, 10 * kTiles);
}

TEST(DemTerrain, ManyPositionsOnCellsThatCannotBeReadAreReadErrors)
{
    ScratchFolder folder;
    const std::string ascii = folder.Write("small.asc", kSmallGrid);
    const std::string tiff = folder / "cut.tif";
    ASSERT_TRUE(RunTool("gdal_translate -q -ot Float32 -a_srs EPSG:4326 " + ascii + " " + tiff));
    std::filesystem::resize_file(tiff, std::filesystem::file_size(tiff) - 4 * 12 + 2);
    auto dem = OpenOrFail(tiff);
    ASSERT_TRUE(dem);
    const std::vector<Position> positions{{100.75, 20.75}, {99, 21}, {101.0, 20.5}};
    std::vector<double> heights(positions.size());
    std::vector<DemTerrain::Found> found(positions.size());
    SampleMany(*dem, positions, heights, found);
    EXPECT_EQ(DemTerrain::Found::ReadError, found[0]);
    EXPECT_EQ(DemTerrain::Found::None, found[1]); // outside the model: no error
    EXPECT_EQ(DemTerrain::Found::ReadError, found[2]);
    EXPECT_NE("", dem->Sample(101.0, 20.5).error);
}

TEST(DemTerrain, GdalKeepsTheBlocksOfTwoRowsOfTilesWithinBounds)
{
    constexpr std::uint64_t kMiB = 1u << 20;
    // Strips 5000 cells wide: two rows of tiles are 512 strips of 20 000 bytes, under the
    // least GDAL is given.
    EXPECT_EQ(DemTerrain::kMinBlockCacheBytes, DemTerrain::BlockCacheBytes(5000, 1, 4, 5000, 5000));
    // 40 000 cells wide: 512 strips of 160 000 bytes.
    EXPECT_EQ(512u * 160000u, DemTerrain::BlockCacheBytes(40000, 1, 4, 40000, 5000));
    // Blocks of 256 × 256 across 20 000 cells: 2 × 79 blocks of 256 KiB (the last one whole).
    EXPECT_EQ(2u * 79u * (kMiB / 4u), DemTerrain::BlockCacheBytes(256, 256, 4, 20000, 20000));
    // Thin strips of 4 MiB, 16 to a tile: two rows of tiles need 128 MiB, the most GDAL gets.
    EXPECT_EQ(DemTerrain::kBlockCacheBytes,
              DemTerrain::BlockCacheBytes(1 << 20, 1, 4, 1 << 20, 5000));
    EXPECT_EQ(DemTerrain::kBlockCacheBytes,
              DemTerrain::BlockCacheBytes(1 << 20, 1, 8, 1 << 20, 5000));
    EXPECT_EQ(128 * kMiB, DemTerrain::kBlockCacheBytes);
}
