// The state of carvento-earth and its answers to the requests of EarthProtocol.hpp, without Qt:
// the server feeds it request lines and KML payloads, the window reads its state.
#pragma once

#include "earth/simulator/ScreenMapping.hpp"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace carvento::earth::simulator {

// The height of the ground at a position, or nothing where there is none.
using TerrainFunction = std::function<std::optional<double>(double longitude, double latitude)>;

struct Camera {
    double latitude = 30;
    double longitude = 104;
    double altitude = 0;
    int altitudeMode = 1;
    double range = 10000;
    double tilt = 0;
    double azimuth = 0;
};

struct WindowRect {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
};

// Lines and points drawn from the KML text loaded so far.
struct KmlShapes {
    std::vector<std::vector<GroundPoint>> lines;
    std::vector<GroundPoint> points;
    std::size_t pointCount = 0; // of lines and points together
};

// The main window holds the render view above a status line of this height, so the render
// window is this much lower than the main window (headless alike).
inline constexpr int kStatusLineHeight = 22;
// Shapes beyond this many points in all are not kept (their KML is still accepted).
inline constexpr std::size_t kMaxKmlPoints = 4'000'000;
// The sampled points kept for drawing; the older half is dropped when they are full.
inline constexpr std::size_t kMaxSamples = 200'000;

// Adds the lines (two or more positions) and points (one position) of every <coordinates>
// element of the KML text (any namespace prefix) to the shapes. Tuples are "lon,lat[,alt]"
// separated by white space; tuples that are not numbers are skipped.
void AddKmlShapes(std::string_view kml, KmlShapes& shapes);

class Simulator {
public:
    struct Options {
        bool initialized = true;
        bool online = true;
    };

    // What to do with one request line.
    struct Reply {
        std::string answer;                    // the answer line without its end; empty: none yet
        std::optional<std::size_t> kmlPayload; // read this many bytes, then call LoadKml
        bool close = false;                    // close the connection after the answer
    };

    Simulator(TerrainFunction terrain, Options options);

    // The answer to one request line (its end removed).
    Reply Handle(std::string_view line);
    // The answer to the payload announced by a KML request.
    std::string LoadKml(std::string_view kml);

    const Camera& CurrentCamera() const { return m_camera; }
    const WindowRect& MainWindow() const { return m_main; }
    const WindowRect& RenderWindow() const { return m_render; }
    const KmlShapes& Shapes() const { return m_shapes; }
    // The latest samples (at most kMaxSamples), and how many were taken since the start.
    const std::vector<GroundPoint>& Samples() const { return m_samples; }
    std::uint64_t SamplesTaken() const { return m_terrainSamples; }
    ViewGeometry View() const;
    std::optional<double> Elevation(double longitude, double latitude) const
    {
        return m_terrain(longitude, latitude);
    }

    // The window was moved or resized by its user or its window manager.
    void WindowsChanged(const WindowRect& main, const WindowRect& render);

    // Called after a request changed what the window shows (camera, windows, shapes, samples).
    std::function<void()> onViewChanged;
    // Called after MOVEMAIN or MOVERENDER with the new main window rectangle.
    std::function<void(const WindowRect&)> onMoveMain;

private:
    std::string Terrain(double x, double y);
    void MoveMain(const WindowRect& main);
    void Changed();

    TerrainFunction m_terrain;
    Options m_options;
    Camera m_camera;
    double m_speed = 1;
    WindowRect m_main{0, 0, 800, 600};
    WindowRect m_render{0, 0, 800, 600 - kStatusLineHeight};
    KmlShapes m_shapes;
    std::vector<GroundPoint> m_samples;
    std::uint64_t m_moves = 0;
    std::uint64_t m_terrainQueries = 0;
    std::uint64_t m_terrainSamples = 0;
    std::uint64_t m_kmlBytes = 0;
};

} // namespace carvento::earth::simulator
