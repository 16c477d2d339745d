// carvento-cli's globe verbs against a real carvento-earth started by the test (headless, on a
// socket of its own): elevation through the globe and straight from an elevation model agree
// with the terrain, points without a height say so (and a point the globe refuses has none),
// thousands of points in no order read straight from a model give what the globe reads point by
// point, dem samples the view, mapframe writes or loads the graticule, and no running globe is
// reported.
#include "earth/SocketEarthClient.hpp"
#include "earth/simulator/SyntheticTerrain.hpp"
#include "support/ScratchFolder.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <spawn.h>
#include <sstream>
#include <sys/wait.h>
#include <thread>

extern char** environ;

namespace {

using carvento::testing::ScratchFolder;

struct CliRun {
    int status = -1;
    std::string out;
    std::string err;
};

class EarthCli : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_socket = folder / "earth.sock";
        ::setenv("CARVENTO_EARTH_SOCKET", m_socket.c_str(), 1);
        ::setenv("CARVENTO_PROFILE", (folder / "profile.ini").c_str(), 1);
    }
    void TearDown() override
    {
        if (m_earth > 0) {
            ::kill(m_earth, SIGTERM);
            ::waitpid(m_earth, nullptr, 0);
        }
    }

    // Starts carvento-earth and waits until it answers.
    void StartEarth(const std::vector<std::string>& extra = {})
    {
        std::vector<std::string> arguments = {CARVENTO_EARTH, "--headless", "--socket", m_socket};
        arguments.insert(arguments.end(), extra.begin(), extra.end());
        std::vector<char*> argv;
        for (std::string& argument : arguments)
            argv.push_back(argument.data());
        argv.push_back(nullptr);
        ASSERT_EQ(0, posix_spawn(&m_earth, CARVENTO_EARTH, nullptr, nullptr, argv.data(), environ));
        carvento::earth::SocketEarthClient client(m_socket);
        for (int i = 0; i < 200 && !client.Running(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(25));
        ASSERT_TRUE(client.Running());
    }

    CliRun Cli(const std::string& arguments) const
    {
        const std::string out = folder / "stdout.txt";
        const std::string err = folder / "stderr.txt";
        const int raw = std::system((std::string(CARVENTO_CLI) + " " + arguments + " >" + out +
                                     " 2>" + err + " </dev/null")
                                        .c_str());
        return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, ScratchFolder::Read(out),
                ScratchFolder::Read(err)};
    }

    // The 高程 column of an elevation table as numbers (NaN for text).
    static std::vector<std::string> Heights(const std::string& table)
    {
        std::vector<std::string> heights;
        std::istringstream lines(table);
        std::string line;
        std::getline(lines, line); // titles
        while (std::getline(lines, line)) {
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            heights.push_back(line.substr(line.rfind(',') + 1));
        }
        return heights;
    }

    ScratchFolder folder;
    std::string m_socket;
    pid_t m_earth = -1;
};

double Number(const std::string& text)
{
    return std::stod(text);
}

TEST_F(EarthCli, ElevationThroughTheGlobeIsTheTerrainUnderEachPoint)
{
    const CliRun none = Cli("elevation --interval 0 " + folder.Write("p.txt", "104.1,30.5\n"));
    EXPECT_EQ(1, none.status);
    EXPECT_NE(std::string::npos, none.err.find("未检测到运行的Google Earth!")) << none.err;

    StartEarth();
    // The globe refuses to fly to D: no height, not C's.
    const std::string points =
        folder.Write("points.txt", "名称,经度,纬度\nA,104.06,30.66\nB,104.5,31.25\nC,-70.5,-33.4\n"
                                   "D,104.5,95\n");
    const CliRun elevation = Cli("elevation --interval 0 --encoding utf-8 " + points);
    ASSERT_EQ(0, elevation.status) << elevation.err;
    const std::vector<std::string> heights = Heights(elevation.out);
    ASSERT_EQ(4u, heights.size()) << elevation.out;
    EXPECT_EQ("无高程", heights[3]);
    EXPECT_NE(std::string::npos, elevation.err.find("Google Earth拒绝飞往1个点(第4行)"))
        << elevation.err;
    const double expected[][2] = {{104.06, 30.66}, {104.5, 31.25}, {-70.5, -33.4}};
    for (std::size_t i = 0; i < 3; ++i)
        EXPECT_NEAR(carvento::earth::simulator::SyntheticElevation(expected[i][0], expected[i][1]),
                    Number(heights[i]), 1e-6)
            << i;
    EXPECT_TRUE(elevation.out.starts_with("经度,纬度,高程\r\n")) << elevation.out;

    // The map frame goes into the globe; the same frame to a file holds 11 + 6 lines.
    EXPECT_EQ(0, Cli("mapframe").status);
    ASSERT_EQ(0, Cli("mapframe -o " + folder / "frame.kml").status);
    const std::string kml = ScratchFolder::Read(folder / "frame.kml");
    std::size_t meridians = 0, parallels = 0;
    for (std::size_t at = kml.find("LNG="); at != std::string::npos; at = kml.find("LNG=", at + 1))
        ++meridians;
    for (std::size_t at = kml.find("LAT="); at != std::string::npos; at = kml.find("LAT=", at + 1))
        ++parallels;
    EXPECT_EQ(11u, meridians);
    EXPECT_EQ(6u, parallels);
    EXPECT_EQ(1, Cli("mapframe --lng-step 0 -o " + folder / "bad.kml").status);
    EXPECT_FALSE(std::filesystem::exists(folder / "bad.kml"));

    // 1000 ‰ samples the four corners of the view.
    const CliRun dem = Cli("dem --x 1000 --y 1000 --encoding utf-8");
    ASSERT_EQ(0, dem.status) << dem.err;
    EXPECT_EQ(4u, Heights(dem.out).size()) << dem.out;
}

TEST_F(EarthCli, ElevationFromAModelAgreesWithTheGlobeOnTheSameModel)
{
    // A 3 × 3 grid of 0.1° cells from 104.0 E, 30.0 N, one no-data cell.
    const std::string asc = folder.Write("dem.asc", "ncols 3\nnrows 3\nxllcorner 104.0\n"
                                                    "yllcorner 30.0\ncellsize 0.1\n"
                                                    "NODATA_value -9999\n"
                                                    "300 310 320\n200 210 -9999\n100 110 120\n");
    const std::string tif = folder / "dem.tif";
    ASSERT_EQ(0, std::system(("gdal_translate -q -a_srs EPSG:4326 " + asc + " " + tif).c_str()));
    // Cell centres: x 104.05, 104.15, 104.25; y 30.25 (top row), 30.15, 30.05.
    const std::string points = folder.Write(
        "points.txt", "104.10,30.10\n104.05,30.25\n104.08,30.20\n105.5,30.1\n104.22,30.12\n");
    const CliRun direct =
        Cli("elevation --columns 0,1,2 --encoding utf-8 --dem " + tif + " " + points);
    ASSERT_EQ(0, direct.status) << direct.err;
    const std::vector<std::string> heights = Heights(direct.out);
    ASSERT_EQ(5u, heights.size()) << direct.out;
    // (104.10, 30.10): halfway between the centres of 100, 110, 200, 210.
    EXPECT_NEAR(155.0, Number(heights[0]), 1e-6);
    EXPECT_NEAR(300.0, Number(heights[1]), 1e-6);
    // (104.08, 30.20): 0.3 of the way from 104.05 to 104.15, halfway from 30.15 to 30.25.
    EXPECT_NEAR(0.5 * (200 + 0.3 * 10) + 0.5 * (300 + 0.3 * 10), Number(heights[2]), 1e-6);
    EXPECT_EQ("无高程", heights[3]); // outside the model
    EXPECT_EQ("无高程", heights[4]); // next to the no-data cell
    EXPECT_NE(std::string::npos, direct.err.find("2 point(s) without an elevation")) << direct.err;

    StartEarth({"--dem", tif});
    const CliRun globe = Cli("elevation --columns 0,1,2 --interval 0 --encoding utf-8 " + points);
    ASSERT_EQ(0, globe.status) << globe.err;
    EXPECT_EQ(direct.out, globe.out);
    EXPECT_EQ(1, Cli("elevation --dem " + folder / "missing.tif " + points).status);

    // Without the model reader module the verb says what is missing and converts nothing.
    const std::string noModule = folder / "no-module.so";
    ::setenv("CARVENTO_DEM_MODULE", noModule.c_str(), 1);
    const CliRun without = Cli("elevation --dem " + tif + " " + points);
    ::unsetenv("CARVENTO_DEM_MODULE");
    EXPECT_EQ(1, without.status);
    EXPECT_EQ("", without.out);
    EXPECT_NE(std::string::npos, without.err.find("is not installed")) << without.err;
}

TEST_F(EarthCli, ScatteredPointsFromAModelGetWhatTheGlobeReadsOneByOne)
{
    // 400 × 300 cells of 0.01° over 10° … 14° E, 40° … 43° N in blocks of 64 × 64, a cell of no
    // data here and there; 4000 points scattered over it and around it, one the globe refuses.
    std::ostringstream grid;
    grid.precision(10);
    grid << "ncols 400\nnrows 300\nxllcorner 10\nyllcorner 40\ncellsize 0.01\n"
            "NODATA_value -9999\n";
    for (int row = 0; row < 300; ++row) {
        for (int column = 0; column < 400; ++column)
            grid << ((column * 5 + row * 3) % 41 == 0 ? -9999.0
                                                      : 500 + std::sin(column / 9.0) * row / 3.0)
                 << ' ';
        grid << '\n';
    }
    const std::string asc = folder.Write("hills.asc", grid.str());
    const std::string tif = folder / "hills.tif";
    ASSERT_EQ(0, std::system(("gdal_translate -q -ot Float32 -a_srs EPSG:4326 -co TILED=YES -co "
                              "BLOCKXSIZE=64 -co BLOCKYSIZE=64 " +
                              asc + " " + tif)
                                 .c_str()));
    std::mt19937 random(17);
    std::uniform_real_distribution<double> longitude(9.9, 14.1);
    std::uniform_real_distribution<double> latitude(39.9, 43.1);
    std::string text;
    char line[64];
    for (int i = 0; i < 4000; ++i) {
        std::snprintf(line, sizeof line, "%.8f,%.8f\n", longitude(random), latitude(random));
        text += i == 1234 ? std::string("12.5,95\n") : std::string(line);
    }
    const std::string points = folder.Write("points.txt", text);

    const CliRun direct =
        Cli("elevation --columns 0,1,2 --encoding utf-8 --dem " + tif + " " + points);
    ASSERT_EQ(0, direct.status) << direct.err;
    const std::vector<std::string> heights = Heights(direct.out);
    ASSERT_EQ(4000u, heights.size());
    EXPECT_EQ("无高程", heights[1234]);
    EXPECT_NE(std::string::npos, direct.err.find("1 of them refused")) << direct.err;
    const auto withHeight = std::count_if(heights.begin(), heights.end(),
                                          [](const std::string& h) { return h != "无高程"; });
    EXPECT_GT(withHeight, 3000);

    StartEarth({"--dem", tif});
    const CliRun globe = Cli("elevation --columns 0,1,2 --interval 0 --encoding utf-8 " + points);
    ASSERT_EQ(0, globe.status) << globe.err;
    EXPECT_EQ(direct.out, globe.out);
}

} // namespace
