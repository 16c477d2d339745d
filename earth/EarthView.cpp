// Saving and restoring the globe's view.
#include "earth/EarthView.hpp"

#include "platform/NumberText.hpp"

#include <string>

namespace carvento::earth {
namespace {

constexpr const char* kEarthSection = "EARTH";
constexpr const char* kViewSection = "VIEW";

// Values are text; they read back from their leading number (0 when there is none).
int ReadInt(const platform::Profile& profile, const char* section, const char* key,
            const char* fallback)
{
    return platform::ParseInt(profile.GetString(section, key, fallback));
}

double ReadDouble(const platform::Profile& profile, const char* key, const char* fallback)
{
    return platform::ParseDouble(profile.GetString(kViewSection, key, fallback));
}

void WriteInt(platform::Profile& profile, const char* section, const char* key, int value)
{
    profile.SetString(section, key, std::to_string(value));
}

void WriteDouble(platform::Profile& profile, const char* key, double value)
{
    profile.SetString(kViewSection, key, platform::FormatFixed(value, 6));
}

} // namespace

std::optional<EarthView> TryReadEarthView(EarthConnection& connection, platform::Prompter& prompter)
{
    if (!CheckEarthReady(connection, prompter))
        return std::nullopt;
    std::optional<EarthCamera> camera = connection.client().Camera();
    if (!camera)
        return std::nullopt;
    EarthView view;
    view.lat = camera->latitude;
    view.lng = camera->longitude;
    view.alt = camera->altitude;
    view.range = camera->range;
    view.tilt = camera->tilt;
    view.azimuth = camera->azimuth;
    view.speed = connection.client().AutoPilotSpeed().value_or(0);
    return view;
}

EarthView ReadEarthView(EarthConnection& connection, platform::Prompter& prompter)
{
    return TryReadEarthView(connection, prompter).value_or(EarthView{});
}

bool ApplyEarthView(EarthConnection& connection, platform::Prompter& prompter,
                    const EarthView& view)
{
    if (!CheckEarthReady(connection, prompter))
        return false;
    return connection.client().SetCamera({.latitude = view.lat,
                                          .longitude = view.lng,
                                          .altitude = view.alt,
                                          .altitudeMode = 2,
                                          .range = view.range,
                                          .tilt = view.tilt,
                                          .azimuth = view.azimuth,
                                          .speed = view.speed});
}

bool SaveEarthView(EarthConnection& connection, platform::Prompter& prompter,
                   platform::Profile& profile)
{
    // The windows as they are now; what the last connect saw when the globe does not answer.
    if (connection.HasClient()) {
        if (std::optional<EarthWindow> main = connection.client().MainWindow())
            connection.SetMainWindow(*main);
        if (std::optional<EarthWindow> render = connection.client().RenderWindow())
            connection.SetRenderWindow(*render);
    }
    const EarthWindow& main = connection.MainWindow();
    WriteInt(profile, kEarthSection, "X", main.left);
    WriteInt(profile, kEarthSection, "Y", main.top);
    WriteInt(profile, kEarthSection, "Width", main.width);
    WriteInt(profile, kEarthSection, "Height", main.height);
    const EarthWindow& render = connection.RenderWindow();
    WriteInt(profile, kViewSection, "Width", render.width);
    WriteInt(profile, kViewSection, "Height", render.height);

    // Without a camera the last saved one is kept rather than replaced by zeros.
    std::optional<EarthView> view = TryReadEarthView(connection, prompter);
    if (!view)
        return false;
    WriteDouble(profile, "alt", view->alt);
    WriteDouble(profile, "azimuth", view->azimuth);
    WriteDouble(profile, "lat", view->lat);
    WriteDouble(profile, "lng", view->lng);
    WriteDouble(profile, "range", view->range);
    WriteDouble(profile, "speed", view->speed);
    WriteDouble(profile, "tilt", view->tilt);
    return true;
}

bool RestoreEarthView(EarthConnection& connection, platform::Prompter& prompter,
                      const platform::Profile& profile)
{
    const EarthWindow main{.left = ReadInt(profile, kEarthSection, "X", "0"),
                           .top = ReadInt(profile, kEarthSection, "Y", "0"),
                           .width = ReadInt(profile, kEarthSection, "Width", "800"),
                           .height = ReadInt(profile, kEarthSection, "Height", "600")};
    const int renderWidth = ReadInt(profile, kViewSection, "Width", "800");
    const int renderHeight = ReadInt(profile, kViewSection, "Height", "600");
    if (connection.HasClient()) {
        connection.client().MoveMainWindow(main);
        connection.client().MoveRenderWindow(renderWidth, renderHeight);
    }
    EarthView view;
    view.alt = ReadDouble(profile, "alt", "1000");
    view.azimuth = ReadDouble(profile, "azimuth", "0");
    view.lat = ReadDouble(profile, "lat", "0");
    view.lng = ReadDouble(profile, "lng", "0");
    view.range = ReadDouble(profile, "range", "0");
    view.speed = ReadDouble(profile, "speed", "100");
    view.tilt = ReadDouble(profile, "tilt", "0");
    return ApplyEarthView(connection, prompter, view);
}

} // namespace carvento::earth
