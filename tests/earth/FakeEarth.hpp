// A globe for tests: a known terrain, a camera that goes where it is sent, and a record of the
// calls. Safe to call from a task's worker while the test thread looks at it.
#pragma once

#include "earth/EarthClient.hpp"

#include <cmath>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace carvento::testing {

class FakeEarth final : public earth::EarthClient {
public:
    // The ground's height at a point; west of the prime meridian there is no elevation data.
    static double Terrain(double latitude, double longitude)
    {
        return 500 + 10 * latitude + 0.5 * longitude;
    }
    static bool HasTerrain(double longitude) { return longitude >= 0; }

    // A screen position (x, y) shows the ground at the camera's focus + (y, x) degrees, and the
    // sky above `skyAbove`.
    bool Running() override
    {
        std::lock_guard lock(mutex);
        return running;
    }
    int IsInitialized() override
    {
        std::lock_guard lock(mutex);
        return initialized;
    }
    int IsOnline() override
    {
        std::lock_guard lock(mutex);
        return online;
    }
    std::optional<earth::EarthCamera> Camera() override
    {
        std::lock_guard lock(mutex);
        return camera;
    }
    bool SetCamera(const earth::EarthCameraMove& move) override
    {
        return MoveCamera(move).Answered();
    }
    // Every move asked for is recorded; like the globe, one to a latitude beyond ±90° or to a
    // position that is no number is refused and leaves the camera where it was.
    earth::CallResult MoveCamera(const earth::EarthCameraMove& move) override
    {
        std::unique_lock lock(mutex);
        moves.push_back(move);
        changed.notify_all();
        // A test may hold the camera here, in the middle of a step.
        changed.wait(lock, [&] { return static_cast<int>(moves.size()) <= allowedMoves; });
        if (std::optional<earth::CallResult> trouble = NextCallTrouble())
            return *trouble;
        if (!std::isfinite(move.latitude) || !std::isfinite(move.longitude) ||
            std::abs(move.latitude) > 90)
            return {earth::CallStatus::Refused, "the latitude lies outside -90 … 90"};
        camera = {.latitude = move.latitude,
                  .longitude = move.longitude,
                  .altitude = move.altitude,
                  .range = move.range,
                  .tilt = move.tilt,
                  .azimuth = move.azimuth};
        speed = move.speed;
        return {};
    }
    earth::TerrainAnswer QueryTerrain(double x, double y) override
    {
        {
            std::lock_guard lock(mutex);
            if (std::optional<earth::CallResult> trouble = NextCallTrouble())
                return {*trouble, std::nullopt};
        }
        return {{}, PointOnTerrain(x, y)};
    }
    // The positions a run said it would fly to, one list per telling.
    void ExpectMoves(std::span<const earth::GeoPosition> positions) override
    {
        std::lock_guard lock(mutex);
        expectedMoves.emplace_back(positions.begin(), positions.end());
    }
    bool LoadKml(const std::string& kml) override
    {
        std::lock_guard lock(mutex);
        loadedKml.push_back(kml);
        return acceptKml;
    }
    std::optional<double> AutoPilotSpeed() override
    {
        std::lock_guard lock(mutex);
        return speed;
    }
    std::optional<earth::TerrainPoint> PointOnTerrain(double x, double y) override
    {
        std::unique_lock lock(mutex);
        ++terrainQueries;
        changed.notify_all();
        changed.wait(lock, [&] { return terrainQueries <= allowedQueries; });
        if (y > skyAbove)
            return std::nullopt;
        earth::TerrainPoint point{.latitude = camera.latitude + y,
                                  .longitude = camera.longitude + x};
        point.hasElevation = HasTerrain(point.longitude);
        point.altitude = point.hasElevation ? Terrain(point.latitude, point.longitude) : -32768;
        return point;
    }
    std::optional<earth::EarthWindow> MainWindow() override
    {
        std::lock_guard lock(mutex);
        return mainWindow;
    }
    std::optional<earth::EarthWindow> RenderWindow() override
    {
        std::lock_guard lock(mutex);
        return renderWindow;
    }
    bool MoveMainWindow(const earth::EarthWindow& window) override
    {
        std::lock_guard lock(mutex);
        mainWindow = window;
        mainWindowMoves.push_back(window);
        return true;
    }
    bool MoveRenderWindow(int width, int height) override
    {
        std::lock_guard lock(mutex);
        renderWindow = {.left = 0, .top = 0, .width = width, .height = height};
        renderWindowMoves.push_back(*renderWindow);
        return true;
    }

    // What the script makes of the next call (the lock held).
    std::optional<earth::CallResult> NextCallTrouble()
    {
        ++calls;
        if (failFrom > 0 && calls >= failFrom)
            return earth::CallResult{earth::CallStatus::Failed, "与Google Earth的连接已断开"};
        if (silentFrom > 0 && calls >= silentFrom && calls < silentFrom + silentCalls)
            return earth::CallResult{earth::CallStatus::TimedOut, {}};
        return std::nullopt;
    }

    // The test thread's view of the record.
    template <typename F>
    auto With(F&& look)
    {
        std::lock_guard lock(mutex);
        return look();
    }
    int MoveCount()
    {
        return With([&] { return static_cast<int>(moves.size()); });
    }
    // Lets `count` camera moves in all through (the ones beyond wait).
    void AllowMoves(int count)
    {
        std::lock_guard lock(mutex);
        allowedMoves = count;
        changed.notify_all();
    }
    // The same for terrain queries.
    void AllowQueries(int count)
    {
        std::lock_guard lock(mutex);
        allowedQueries = count;
        changed.notify_all();
    }
    void WaitForQueries(int count)
    {
        std::unique_lock lock(mutex);
        changed.wait(lock, [&] { return terrainQueries >= count; });
    }
    void WaitForMoves(int count)
    {
        std::unique_lock lock(mutex);
        changed.wait(lock, [&] { return static_cast<int>(moves.size()) >= count; });
    }

    // Camera moves and terrain queries through MoveCamera and QueryTerrain, counted from 1:
    // from call `failFrom` on the globe is gone; calls `silentFrom` … `silentFrom + silentCalls
    // - 1` get no answer in time. -1: never.
    int failFrom = -1;
    int silentFrom = -1;
    int silentCalls = 0;
    int calls = 0;

    std::mutex mutex;
    std::condition_variable changed;
    bool running = true;
    int initialized = 1;
    int online = 1;
    bool acceptKml = true;
    double skyAbove = 10;
    int allowedMoves = 1 << 30;
    int allowedQueries = 1 << 30;
    int terrainQueries = 0;
    earth::EarthCamera camera{};
    double speed = 0;
    std::optional<earth::EarthWindow> mainWindow = earth::EarthWindow{10, 20, 1024, 768};
    std::optional<earth::EarthWindow> renderWindow = earth::EarthWindow{0, 0, 1000, 700};
    std::vector<earth::EarthCameraMove> moves;
    std::vector<std::vector<earth::GeoPosition>> expectedMoves;
    std::vector<earth::EarthWindow> mainWindowMoves;
    std::vector<earth::EarthWindow> renderWindowMoves;
    std::vector<std::string> loadedKml;
};

} // namespace carvento::testing
