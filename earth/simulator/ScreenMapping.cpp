#include "earth/simulator/ScreenMapping.hpp"

#include <cmath>
#include <numbers>

namespace carvento::earth::simulator {
namespace {

constexpr double kDegree = std::numbers::pi / 180.0;

struct ViewFrame {
    double halfWidth;
    double halfHeight;
    double cosAzimuth;
    double sinAzimuth;
    double cosLatitude;
};

ViewFrame Frame(const ViewGeometry& view)
{
    double halfWidth = view.range * std::tan(30.0 * kDegree);
    int width = view.width > 0 ? view.width : 1;
    int height = view.height > 0 ? view.height : 1;
    return ViewFrame{halfWidth, halfWidth * height / width, std::cos(view.azimuth * kDegree),
                     std::sin(view.azimuth * kDegree), std::cos(view.latitude * kDegree)};
}

} // namespace

double NormalizeLongitude(double longitude)
{
    if (longitude >= -180.0 && longitude <= 180.0)
        return longitude;
    double wrapped = std::fmod(longitude + 180.0, 360.0);
    if (wrapped < 0)
        wrapped += 360.0;
    return wrapped - 180.0;
}

std::optional<GroundPoint> ScreenToGround(const ViewGeometry& view, double x, double y)
{
    if (!std::isfinite(x) || !std::isfinite(y) || x < -1.0 || x > 1.0 || y < -1.0 || y > 1.0)
        return std::nullopt;
    ViewFrame frame = Frame(view);
    double right = x * frame.halfWidth;
    double up = y * frame.halfHeight;
    double east = right * frame.cosAzimuth + up * frame.sinAzimuth;
    double north = -right * frame.sinAzimuth + up * frame.cosAzimuth;

    double latitude = view.latitude + north / kSphereRadius / kDegree;
    if (!(latitude >= -90.0 && latitude <= 90.0))
        return std::nullopt;
    double longitude = view.longitude;
    if (east != 0.0) {
        if (frame.cosLatitude < 1e-12)
            return std::nullopt; // east has no meaning at a pole
        longitude += east / (kSphereRadius * frame.cosLatitude) / kDegree;
        if (!std::isfinite(longitude))
            return std::nullopt; // a range too large for any ground
    }
    return GroundPoint{NormalizeLongitude(longitude), latitude};
}

std::optional<ScreenPoint> GroundToScreen(const ViewGeometry& view, double longitude,
                                          double latitude)
{
    ViewFrame frame = Frame(view);
    if (!(frame.halfWidth > 0) || !(frame.halfHeight > 0))
        return std::nullopt;
    double north = (latitude - view.latitude) * kDegree * kSphereRadius;
    double deltaLongitude = NormalizeLongitude(longitude - view.longitude);
    double east = deltaLongitude * kDegree * kSphereRadius * frame.cosLatitude;
    if (std::abs(deltaLongitude) > 90.0)
        return std::nullopt;
    double right = east * frame.cosAzimuth - north * frame.sinAzimuth;
    double up = east * frame.sinAzimuth + north * frame.cosAzimuth;
    return ScreenPoint{right / frame.halfWidth, up / frame.halfHeight};
}

} // namespace carvento::earth::simulator
