// The elevation-model globe.
#include "cli/DemEarthClient.hpp"

#include <bit>
#include <cmath>
#include <cstdint>

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

namespace {

// The very same numbers (a position that is no number included).
bool SamePosition(const earth::GeoPosition& position, double latitude, double longitude)
{
    return std::bit_cast<std::uint64_t>(position.latitude) ==
               std::bit_cast<std::uint64_t>(latitude) &&
           std::bit_cast<std::uint64_t>(position.longitude) ==
               std::bit_cast<std::uint64_t>(longitude);
}

} // namespace

void DemEarthClient::ExpectMoves(std::span<const earth::GeoPosition> positions)
{
    // Read without holding the camera: the model may be read from several threads.
    std::vector<double> longitudes(positions.size());
    std::vector<double> latitudes(positions.size());
    for (std::size_t i = 0; i < positions.size(); ++i) {
        longitudes[i] = positions[i].longitude;
        latitudes[i] = positions[i].latitude;
    }
    std::vector<double> heights(positions.size());
    std::vector<signed char> found(positions.size());
    m_terrain->SampleMany(longitudes, latitudes, heights, found);
    std::lock_guard lock(m_mutex);
    m_expected.assign(positions.begin(), positions.end());
    m_expectedHeights = std::move(heights);
    m_expectedFound = std::move(found);
    m_nextExpected = 0;
    m_overExpected.reset();
}

earth::CallResult DemEarthClient::MoveCamera(const earth::EarthCameraMove& move)
{
    std::lock_guard lock(m_mutex);
    // A refused move is still the announced one: the next move goes to the next position.
    m_overExpected.reset();
    if (m_nextExpected < m_expected.size() &&
        SamePosition(m_expected[m_nextExpected], move.latitude, move.longitude))
        m_overExpected = m_nextExpected++;
    if (!std::isfinite(move.latitude) || !std::isfinite(move.longitude))
        return {earth::CallStatus::Refused, "the position is not a number"};
    if (move.latitude < -90 || move.latitude > 90)
        return {earth::CallStatus::Refused, "the latitude lies outside -90 … 90"};
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
    if (m_overExpected && m_expectedFound[*m_overExpected] >= 0) {
        if (m_expectedFound[*m_overExpected] > 0) {
            point.altitude = m_expectedHeights[*m_overExpected];
            point.hasElevation = true;
        }
        return {{}, point};
    }
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
