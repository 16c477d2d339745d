// The elevation-model globe.
#include "cli/DemEarthClient.hpp"

namespace carvento::cli {

std::optional<earth::EarthCamera> DemEarthClient::Camera()
{
    std::lock_guard lock(m_mutex);
    return m_camera;
}

bool DemEarthClient::SetCamera(const earth::EarthCameraMove& move)
{
    std::lock_guard lock(m_mutex);
    m_camera = {move.latitude, move.longitude, move.altitude, move.range, move.tilt, move.azimuth};
    m_speed = move.speed;
    return true;
}

std::optional<double> DemEarthClient::AutoPilotSpeed()
{
    std::lock_guard lock(m_mutex);
    return m_speed;
}

std::optional<earth::TerrainPoint> DemEarthClient::PointOnTerrain(double x, double y)
{
    if (x != 0 || y != 0)
        return std::nullopt;
    std::lock_guard lock(m_mutex);
    earth::TerrainPoint point{m_camera.latitude, m_camera.longitude, 0, false};
    if (std::optional<double> height = m_terrain->Elevation(m_camera.longitude,
                                                            m_camera.latitude)) {
        point.altitude = *height;
        point.hasElevation = true;
    }
    return point;
}

} // namespace carvento::cli
