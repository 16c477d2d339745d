#include "earth/simulator/Simulator.hpp"

#include "earth/EarthProtocol.hpp"

#include <algorithm>
#include <cmath>

namespace carvento::earth::simulator {
namespace {

using protocol::AppendInteger;
using protocol::AppendNumber;

constexpr int kMaxWindowSide = 65535;
constexpr int kMaxWindowPosition = 1'000'000;

std::string Error(std::string_view name, std::string_view what)
{
    std::string answer = "ERR ";
    answer += name;
    answer += ": ";
    answer += what;
    return answer;
}

std::optional<int> IntField(std::string_view field, int low, int high)
{
    auto value = protocol::ParseInteger(field);
    if (!value || *value < low || *value > high)
        return std::nullopt;
    return static_cast<int>(*value);
}

bool IsSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

// The tuples of one <coordinates> text as positions.
std::vector<GroundPoint> ParseCoordinates(std::string_view text)
{
    std::vector<GroundPoint> positions;
    std::size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && IsSpace(text[i]))
            ++i;
        std::size_t start = i;
        while (i < text.size() && !IsSpace(text[i]))
            ++i;
        std::string_view tuple = text.substr(start, i - start);
        if (tuple.empty())
            break;
        std::size_t comma = tuple.find(',');
        if (comma == std::string_view::npos)
            continue;
        std::string_view rest = tuple.substr(comma + 1);
        std::size_t second = rest.find(',');
        auto longitude = protocol::ParseNumber(tuple.substr(0, comma));
        auto latitude = protocol::ParseNumber(rest.substr(0, second));
        if (longitude && latitude && *latitude >= -90 && *latitude <= 90)
            positions.push_back(GroundPoint{*longitude, *latitude});
    }
    return positions;
}

} // namespace

void AddKmlShapes(std::string_view kml, KmlShapes& shapes)
{
    std::size_t position = 0;
    while (shapes.pointCount < kMaxKmlPoints) {
        std::size_t open = kml.find('<', position);
        if (open == std::string_view::npos)
            return;
        std::size_t nameEnd = open + 1;
        while (nameEnd < kml.size() && !IsSpace(kml[nameEnd]) && kml[nameEnd] != '>' &&
               kml[nameEnd] != '/')
            ++nameEnd;
        std::string_view name = kml.substr(open + 1, nameEnd - open - 1);
        if (std::size_t colon = name.rfind(':'); colon != std::string_view::npos)
            name = name.substr(colon + 1);
        std::size_t close = kml.find('>', nameEnd);
        if (close == std::string_view::npos)
            return;
        position = close + 1;
        if (name != "coordinates" || kml[close - 1] == '/')
            continue;
        std::size_t textEnd = kml.find('<', position);
        if (textEnd == std::string_view::npos)
            textEnd = kml.size();
        std::vector<GroundPoint> positions =
            ParseCoordinates(kml.substr(position, textEnd - position));
        position = textEnd;
        if (positions.empty() || shapes.pointCount + positions.size() > kMaxKmlPoints)
            continue;
        shapes.pointCount += positions.size();
        if (positions.size() == 1)
            shapes.points.push_back(positions.front());
        else
            shapes.lines.push_back(std::move(positions));
    }
}

Simulator::Simulator(TerrainFunction terrain, Options options)
    : m_terrain(std::move(terrain)), m_options(options)
{
}

ViewGeometry Simulator::View() const
{
    return ViewGeometry{.latitude = m_camera.latitude,
                        .longitude = m_camera.longitude,
                        .range = m_camera.range,
                        .azimuth = m_camera.azimuth,
                        .width = m_render.width,
                        .height = m_render.height};
}

void Simulator::Changed()
{
    if (onViewChanged)
        onViewChanged();
}

void Simulator::WindowsChanged(const WindowRect& main, const WindowRect& render)
{
    m_main = main;
    m_render = render;
}

void Simulator::MoveMain(const WindowRect& main)
{
    m_main = main;
    m_render = WindowRect{0, 0, main.width, std::max(1, main.height - kStatusLineHeight)};
    if (onMoveMain)
        onMoveMain(m_main);
    Changed();
}

std::string Simulator::Terrain(double x, double y)
{
    ++m_terrainQueries;
    auto ground = ScreenToGround(View(), x, y);
    if (!ground)
        return "OK none";
    std::optional<double> elevation = m_terrain(ground->longitude, ground->latitude);
    std::string answer = "OK";
    AppendNumber(answer, ground->latitude);
    AppendNumber(answer, ground->longitude);
    AppendNumber(answer, elevation.value_or(0.0));
    answer += elevation ? " 1" : " 0";
    if (m_samples.size() >= kMaxSamples)
        m_samples.erase(m_samples.begin(), m_samples.begin() + kMaxSamples / 2);
    m_samples.push_back(*ground);
    ++m_terrainSamples;
    Changed();
    return answer;
}

std::string Simulator::LoadKml(std::string_view kml)
{
    m_kmlBytes += kml.size();
    AddKmlShapes(kml, m_shapes);
    Changed();
    return "OK";
}

Simulator::Reply Simulator::Handle(std::string_view line)
{
    if (line.size() > protocol::kMaxLineLength)
        return Reply{.answer = "ERR request line too long", .kmlPayload = {}, .close = true};
    std::vector<std::string_view> fields = protocol::SplitFields(line);
    if (fields.empty())
        return Reply{.answer = "ERR empty request", .kmlPayload = {}, .close = false};
    std::string_view name = fields[0];
    std::size_t arguments = fields.size() - 1;
    auto reply = [](std::string answer) {
        return Reply{.answer = std::move(answer), .kmlPayload = {}, .close = false};
    };
    auto wrongCount = [&](std::size_t expected) {
        return reply(Error(name, "takes " + std::to_string(expected) + " arguments, not " +
                                     std::to_string(arguments)));
    };

    if (name == "INITIALIZED" || name == "ONLINE" || name == "CAMERA" || name == "SPEED" ||
        name == "MAINWINDOW" || name == "RENDERWINDOW" || name == "STATS") {
        if (arguments != 0)
            return wrongCount(0);
        std::string answer = "OK";
        if (name == "INITIALIZED") {
            answer += m_options.initialized ? " 1" : " 0";
        } else if (name == "ONLINE") {
            answer += m_options.online ? " 1" : " 0";
        } else if (name == "CAMERA") {
            for (double value : {m_camera.latitude, m_camera.longitude, m_camera.altitude,
                                 m_camera.range, m_camera.tilt, m_camera.azimuth})
                AppendNumber(answer, value);
        } else if (name == "SPEED") {
            AppendNumber(answer, m_speed);
        } else if (name == "STATS") {
            AppendInteger(answer, static_cast<long long>(m_moves));
            AppendInteger(answer, static_cast<long long>(m_terrainQueries));
            AppendInteger(answer, static_cast<long long>(m_kmlBytes));
        } else {
            const WindowRect& window = name == "MAINWINDOW" ? m_main : m_render;
            for (int value : {window.left, window.top, window.width, window.height})
                AppendInteger(answer, value);
        }
        return reply(answer);
    }

    if (name == "SETCAMERA") {
        if (arguments != 8)
            return wrongCount(8);
        auto mode = IntField(fields[4], 0, 100);
        std::vector<std::string_view> numberFields(fields.begin(), fields.end());
        numberFields[4] = "0";
        auto numbers = protocol::ParseNumbers(numberFields, 1);
        if (!numbers || !mode)
            return reply(Error(name, "the arguments are lat lon alt mode range tilt azimuth "
                                     "speed, finite numbers and an integer mode"));
        const auto& n = *numbers;
        if (n[0] < -90 || n[0] > 90)
            return reply(Error(name, "the latitude lies outside -90 … 90"));
        if (n[4] < 0)
            return reply(Error(name, "the range is negative"));
        if (n[5] < 0 || n[5] > 90)
            return reply(Error(name, "the tilt lies outside 0 … 90"));
        if (n[7] < 0)
            return reply(Error(name, "the speed is negative"));
        m_camera = Camera{.latitude = n[0],
                          .longitude = NormalizeLongitude(n[1]),
                          .altitude = n[2],
                          .altitudeMode = *mode,
                          .range = n[4],
                          .tilt = n[5],
                          .azimuth = NormalizeLongitude(n[6])};
        m_speed = n[7];
        ++m_moves;
        Changed();
        return reply("OK");
    }

    if (name == "KML") {
        if (arguments != 1)
            return wrongCount(1);
        auto size = protocol::ParseInteger(fields[1]);
        if (!size || *size < 0)
            return reply(Error(name, "the argument is the byte count of the text"));
        if (static_cast<unsigned long long>(*size) > protocol::kMaxKmlBytes)
            return Reply{.answer = Error(name, "the text is larger than " +
                                                   std::to_string(protocol::kMaxKmlBytes) +
                                                   " bytes"),
                         .kmlPayload = {},
                         .close = true};
        return Reply{.answer = {}, .kmlPayload = static_cast<std::size_t>(*size), .close = false};
    }

    if (name == "TERRAIN") {
        if (arguments != 2)
            return wrongCount(2);
        auto numbers = protocol::ParseNumbers(fields, 1);
        if (!numbers)
            return reply(Error(name, "the arguments are two finite numbers"));
        return reply(Terrain((*numbers)[0], (*numbers)[1]));
    }

    if (name == "MOVEMAIN") {
        if (arguments != 4)
            return wrongCount(4);
        auto left = IntField(fields[1], -kMaxWindowPosition, kMaxWindowPosition);
        auto top = IntField(fields[2], -kMaxWindowPosition, kMaxWindowPosition);
        auto width = IntField(fields[3], 1, kMaxWindowSide);
        auto height = IntField(fields[4], kStatusLineHeight + 1, kMaxWindowSide);
        if (!left || !top || !width || !height)
            return reply(Error(name, "the arguments are left top width height in pixels, "
                                     "a window of at least 1 × " +
                                         std::to_string(kStatusLineHeight + 1)));
        MoveMain(WindowRect{*left, *top, *width, *height});
        return reply("OK");
    }

    if (name == "MOVERENDER") {
        if (arguments != 2)
            return wrongCount(2);
        auto width = IntField(fields[1], 1, kMaxWindowSide);
        auto height = IntField(fields[2], 1, kMaxWindowSide - kStatusLineHeight);
        if (!width || !height)
            return reply(Error(name, "the arguments are width height in pixels"));
        MoveMain(WindowRect{m_main.left, m_main.top, *width, *height + kStatusLineHeight});
        return reply("OK");
    }

    std::string unknown(name.substr(0, 64));
    return reply("ERR unknown request " + unknown);
}

} // namespace carvento::earth::simulator
