// A globe without a globe program: answers the calls a batch elevation run makes from an
// elevation model file. The camera's focus is where it was moved to, and the ground under the
// view's centre is the model's height there, so `elevation --dem FILE` fills the same table as a
// run through the globe, without waiting for a view to settle. Like the globe it refuses a move
// to a latitude beyond ±90° or to a position that is not a number; a model whose cells cannot be
// read (a damaged file) fails the query with the reason, which is not the same as no height.
//
// The positions a run announces (ExpectMoves) are read at once in the model's order, so points
// in any order cost about one read of each part of the model they touch; each move to the next
// announced position then answers with its height. A move elsewhere is read on its own.
#pragma once

#include "earth/EarthClient.hpp"
#include "earth/dem/DemModule.hpp"

#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <vector>

namespace carvento::cli {

class DemEarthClient final : public earth::EarthClient {
public:
    explicit DemEarthClient(std::unique_ptr<earth::LoadedDem> terrain)
        : m_terrain(std::move(terrain))
    {
    }

    bool Running() override { return true; }
    int IsInitialized() override { return 1; }
    int IsOnline() override { return 1; }
    std::optional<earth::EarthCamera> Camera() override;
    bool SetCamera(const earth::EarthCameraMove& move) override;
    earth::CallResult MoveCamera(const earth::EarthCameraMove& move) override;
    void ExpectMoves(std::span<const earth::GeoPosition> positions) override;
    bool LoadKml(const std::string&) override { return false; }
    std::optional<double> AutoPilotSpeed() override;
    // The centre of the view only: other positions need a picture of the ground.
    std::optional<earth::TerrainPoint> PointOnTerrain(double x, double y) override;
    earth::TerrainAnswer QueryTerrain(double x, double y) override;
    std::optional<earth::EarthWindow> MainWindow() override { return earth::EarthWindow{}; }
    std::optional<earth::EarthWindow> RenderWindow() override { return earth::EarthWindow{}; }
    bool MoveMainWindow(const earth::EarthWindow&) override { return true; }
    bool MoveRenderWindow(int, int) override { return true; }

private:
    std::unique_ptr<earth::LoadedDem> m_terrain;
    std::mutex m_mutex;
    earth::EarthCamera m_camera{};
    double m_speed = 1;
    // The announced positions and what the model has there (1 a height, 0 none, -1 cells that
    // could not be read, asked again on their own); the next one a move should go to; the one
    // the camera is over, if it is one.
    std::vector<earth::GeoPosition> m_expected;
    std::vector<double> m_expectedHeights;
    std::vector<signed char> m_expectedFound;
    std::size_t m_nextExpected = 0;
    std::optional<std::size_t> m_overExpected;
};

} // namespace carvento::cli
