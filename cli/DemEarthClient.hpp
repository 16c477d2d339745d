// A globe without a globe program: answers the calls a batch elevation run makes from an
// elevation model file. The camera's focus is where it was moved to, and the ground under the
// view's centre is the model's height there, so `elevation --dem FILE` fills the same table as a
// run through the globe, without waiting for a view to settle. Like the globe it refuses a move
// to a latitude beyond ±90° or to a position that is not a number; a model whose cells cannot be
// read (a damaged file) fails the query with the reason, which is not the same as no height.
#pragma once

#include "earth/EarthClient.hpp"
#include "earth/dem/DemModule.hpp"

#include <memory>
#include <mutex>

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
};

} // namespace carvento::cli
