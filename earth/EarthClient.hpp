// The calls the program makes to a running globe program, one method per automation call. The
// globe may be the real program behind its automation server or carvento-earth, which answers
// the same calls over a local socket (see EarthProtocol.hpp). Implementations are safe to call
// from a task's worker thread and the user-interface thread at the same time.
#pragma once

#include <optional>
#include <span>
#include <string>

namespace carvento::earth {

// Camera as the globe reports it (degrees and metres).
struct EarthCamera {
    double latitude = 0;  // focus latitude
    double longitude = 0; // focus longitude
    double altitude = 0;  // focus altitude
    double range = 0;     // distance from the focus point
    double tilt = 0;
    double azimuth = 0;
};

// A camera move: altitude mode 1 is relative to the ground, 2 absolute.
struct EarthCameraMove {
    double latitude = 0;
    double longitude = 0;
    double altitude = 0;
    int altitudeMode = 1;
    double range = 0;
    double tilt = 0;
    double azimuth = 0;
    double speed = 0;
};

// A position on the globe (degrees).
struct GeoPosition {
    double latitude = 0;
    double longitude = 0;
};

// The ground under a screen position. `hasElevation` is false where the terrain has no height
// (outside a DEM, a no-data cell): the altitude then means nothing.
struct TerrainPoint {
    double latitude = 0;
    double longitude = 0;
    double altitude = 0;
    bool hasElevation = true;
};

// How a call went, for the callers that must tell a globe that would not do something from one
// that has gone. An error answer and an answer that cannot be read are refusals; no answer in
// time is a time-out (the globe may be busy); a globe that no longer answers at all, or one that
// cannot read its own terrain, has failed, and `error` says why.
enum class CallStatus { Answered, Refused, TimedOut, Failed };

struct CallResult {
    CallStatus status = CallStatus::Answered;
    std::string error{};
    bool Answered() const { return status == CallStatus::Answered; }
};

// PointOnTerrain with how the call went: `point` is nothing for the sky or when not answered.
struct TerrainAnswer {
    CallResult call{};
    std::optional<TerrainPoint> point{};
};

// A window rectangle in screen pixels (the render window's is its client size at 0, 0).
struct EarthWindow {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
};

class EarthClient {
public:
    virtual ~EarthClient() = default;

    // Whether a globe program runs and answers (a window titled "Google Earth" exists).
    virtual bool Running() = 0;
    // id 18 and id 19: 1 when initialised, 1 when connected to its server.
    virtual int IsInitialized() = 0;
    virtual int IsOnline() = 0;
    // id 1 with consider-terrain 1, and the camera object's properties 1, 2, 3, 5, 6, 7.
    virtual std::optional<EarthCamera> Camera() = 0;
    // id 3.
    virtual bool SetCamera(const EarthCameraMove& move) = 0;
    // id 3 with how it went. By default a move SetCamera does not take is a refusal.
    virtual CallResult MoveCamera(const EarthCameraMove& move)
    {
        return {SetCamera(move) ? CallStatus::Answered : CallStatus::Refused};
    }
    // The positions the next camera moves go to, one move each in this order (a batch
    // elevation run tells them before it flies). A globe that reads the ground under many
    // positions faster together than one at a time may read it now. Only a hint: the moves
    // and queries that follow answer as they would without it. By default nothing.
    virtual void ExpectMoves(std::span<const GeoPosition>) {}
    // id 7: features loaded from KML text.
    virtual bool LoadKml(const std::string& kml) = 0;
    // id 8.
    virtual std::optional<double> AutoPilotSpeed() = 0;
    // id 13: screen x, y each -1 … 1 across the 3-D view, (0, 0) its centre; nothing when the
    // position shows no ground (the sky) or the globe did not answer.
    virtual std::optional<TerrainPoint> PointOnTerrain(double x, double y) = 0;
    // id 13 with how it went. By default no point is the sky.
    virtual TerrainAnswer QueryTerrain(double x, double y) { return {{}, PointOnTerrain(x, y)}; }
    // ids 29 and 33, and moving those windows (restoring a view).
    virtual std::optional<EarthWindow> MainWindow() = 0;
    virtual std::optional<EarthWindow> RenderWindow() = 0;
    virtual bool MoveMainWindow(const EarthWindow& window) = 0;
    virtual bool MoveRenderWindow(int width, int height) = 0;
};

} // namespace carvento::earth
