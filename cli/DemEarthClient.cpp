// The elevation-model globe.
#include "cli/DemEarthClient.hpp"

#include <cmath>

namespace carvento::cli {

std::optional<earth::EarthCamera> DemEarthClient::Camera()
{
    std::lock_guard lock(m_mutex);
    return m_camera;
}

bool DemEarthClient::SetCamera(const earth::EarthCameraMove& move)
{
    return MoveCamera(move).Answered();
}

earth::CallResult DemEarthClient::MoveCamera(const earth::EarthCameraMove& move)
{
    if (!std::isfinite(move.latitude) || !std::isfinite(move.longitude))
        return {earth::CallStatus::Refused, "the position is not a number"};
    if (move.latitude < -90 || move.latitude > 90)
        return {earth::CallStatus::Refused, "the latitude lies outside -90 … 90"};
    std::lock_guard lock(m_mutex);
    m_camera = {move.latitude, move.longitude, move.altitude, move.range, move.tilt, move.azimuth};
    m_speed = move.speed;
    return {};
}

std::optional<double> DemEarthClient::AutoPilotSpeed()
{
    std::lock_guard lock(m_mutex);
    return m_speed;
}

std::optional<earth::TerrainPoint> DemEarthClient::PointOnTerrain(double x, double y)
{
    return QueryTerrain(x, y).point;
}

earth::TerrainAnswer DemEarthClient::QueryTerrain(double x, double y)
{
    if (x != 0 || y != 0)
        return {};
    std::lock_guard lock(m_mutex);
    earth::TerrainPoint point{m_camera.latitude, m_camera.longitude, 0, false};
    earth::LoadedDem::Reading reading = m_terrain->Sample(m_camera.longitude, m_camera.latitude);
    if (!reading.error.empty())
        return {{earth::CallStatus::Failed, std::move(reading.error)}, std::nullopt};
    if (reading.height) {
        point.altitude = *reading.height;
        point.hasElevation = true;
    }
    return {{}, point};
}

} // namespace carvento::cli
