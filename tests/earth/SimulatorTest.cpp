// carvento-earth run headless on a socket of the test's own, driven through SocketEarthClient
// and a raw socket: camera, terrain under screen positions, windows, KML, switches, malformed
// requests, a second instance, left-over sockets, /regServer and terrain from a DEM file.
#include "earth/EarthProtocol.hpp"
#include "earth/SocketEarthClient.hpp"
#include "earth/simulator/SyntheticTerrain.hpp"
#include "support/ScratchFolder.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <numbers>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

using namespace carvento::earth;
using carvento::earth::simulator::SyntheticElevation;
using carvento::testing::ScratchFolder;

namespace {

constexpr double kRadius = 6378137.0;
constexpr double kDegree = std::numbers::pi / 180.0;

// One carvento-earth process, its standard error kept in a file; killed at the end if still
// running.
class EarthProcess {
public:
    EarthProcess(const ScratchFolder& folder, std::vector<std::string> arguments)
        : m_errors(folder / ("earth-" + std::to_string(++s_count) + ".err"))
    {
        arguments.insert(arguments.begin(), CARVENTO_EARTH);
        std::vector<char*> argv;
        for (std::string& argument : arguments)
            argv.push_back(argument.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, m_errors.c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
        EXPECT_EQ(posix_spawn(&m_pid, CARVENTO_EARTH, &actions, nullptr, argv.data(), environ), 0);
        posix_spawn_file_actions_destroy(&actions);
    }
    ~EarthProcess()
    {
        if (m_pid > 0) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
    }

    // Waits until a server answers at the path; false when the process ended first.
    bool WaitUntilServing(const std::string& socket)
    {
        for (int i = 0; i < 400; ++i) {
            if (SocketEarthClient(socket, std::chrono::milliseconds(1000)).Running())
                return true;
            int status = 0;
            if (::waitpid(m_pid, &status, WNOHANG) == m_pid) {
                m_pid = -1;
                return false;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(25));
        }
        return false;
    }

    // The exit status once the process ends by itself (-1 when it did not end by exit).
    int Wait()
    {
        int status = 0;
        ::waitpid(m_pid, &status, 0);
        m_pid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    // Asks the process to end as a desktop session would, and waits for it.
    int Terminate()
    {
        ::kill(m_pid, SIGTERM);
        return Wait();
    }

    std::string Errors() const { return ScratchFolder::Read(m_errors); }

private:
    static inline int s_count = 0;
    std::string m_errors;
    pid_t m_pid = -1;
};

// A connection of our own, for what SocketEarthClient never sends.
class RawConnection {
public:
    explicit RawConnection(const std::string& path)
    {
        m_fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
        EXPECT_EQ(::connect(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        timeval timeout{5, 0};
        ::setsockopt(m_fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    }
    ~RawConnection() { ::close(m_fd); }

    void Send(const std::string& bytes)
    {
        EXPECT_EQ(::send(m_fd, bytes.data(), bytes.size(), MSG_NOSIGNAL),
                  static_cast<ssize_t>(bytes.size()));
    }
    // The next answer line, or "<closed>" when the server closed the connection.
    std::string Line()
    {
        std::string line;
        char c;
        while (true) {
            ssize_t received = ::recv(m_fd, &c, 1, 0);
            if (received <= 0)
                return line.empty() ? "<closed>" : line;
            if (c == '\n')
                return line;
            line += c;
        }
    }
    std::string Ask(const std::string& request)
    {
        Send(request + "\n");
        return Line();
    }

private:
    int m_fd = -1;
};

class SimulatorTest : public ::testing::Test {
protected:
    // Starts carvento-earth --headless on the test's socket with the extra arguments.
    EarthProcess& Start(std::vector<std::string> arguments = {})
    {
        arguments.insert(arguments.begin(), {"--headless", "--socket", m_socket});
        m_earth = std::make_unique<EarthProcess>(m_folder, arguments);
        EXPECT_TRUE(m_earth->WaitUntilServing(m_socket)) << m_earth->Errors();
        return *m_earth;
    }

    ScratchFolder m_folder;
    std::string m_socket = m_folder / "earth.sock";
    std::unique_ptr<EarthProcess> m_earth;
};

} // namespace

TEST_F(SimulatorTest, CameraMovesRoundTripAndAreCounted)
{
    Start();
    SocketEarthClient earth(m_socket);
    EXPECT_TRUE(earth.Running());
    EXPECT_EQ(earth.IsInitialized(), 1);
    EXPECT_EQ(earth.IsOnline(), 1);
    auto initial = earth.Camera();
    ASSERT_TRUE(initial);
    EXPECT_EQ(initial->latitude, 30);
    EXPECT_EQ(initial->longitude, 104);
    EXPECT_EQ(initial->range, 10000);
    EXPECT_EQ(earth.AutoPilotSpeed(), 1);

    EarthCameraMove move{.latitude = 31.123456789012345,
                         .longitude = 103.98765432109876,
                         .altitude = 512.25,
                         .altitudeMode = 2,
                         .range = 2345.5,
                         .tilt = 12.5,
                         .azimuth = -33.3,
                         .speed = 5};
    ASSERT_TRUE(earth.SetCamera(move));
    auto camera = earth.Camera();
    ASSERT_TRUE(camera);
    EXPECT_EQ(camera->latitude, move.latitude);
    EXPECT_EQ(camera->longitude, move.longitude);
    EXPECT_EQ(camera->altitude, move.altitude);
    EXPECT_EQ(camera->range, move.range);
    EXPECT_EQ(camera->tilt, move.tilt);
    EXPECT_EQ(camera->azimuth, move.azimuth);
    EXPECT_EQ(earth.AutoPilotSpeed(), 5);

    // Longitudes and azimuths come back within -180 … 180.
    move.longitude = 190;
    move.azimuth = 270;
    ASSERT_TRUE(earth.SetCamera(move));
    EXPECT_EQ(earth.Camera()->longitude, -170);
    EXPECT_EQ(earth.Camera()->azimuth, -90);

    // Out of range: refused, the camera stays.
    move.latitude = 91;
    EXPECT_FALSE(earth.SetCamera(move));
    move.latitude = 10;
    move.tilt = 95;
    EXPECT_FALSE(earth.SetCamera(move));
    move.tilt = 0;
    move.range = -1;
    EXPECT_FALSE(earth.SetCamera(move));
    EXPECT_EQ(earth.Camera()->latitude, 31.123456789012345);

    auto stats = earth.Request("STATS");
    ASSERT_TRUE(stats);
    EXPECT_EQ(stats->at(0), "2");
}

TEST_F(SimulatorTest, TerrainUnderScreenPositionsFollowsTheCameraAndTheRenderWindow)
{
    Start();
    SocketEarthClient earth(m_socket);
    const double latitude = 30.5;
    const double longitude = 104.25;
    const double range = 20000;
    ASSERT_TRUE(earth.SetCamera({.latitude = latitude,
                                 .longitude = longitude,
                                 .altitude = 0,
                                 .altitudeMode = 1,
                                 .range = range,
                                 .tilt = 0,
                                 .azimuth = 0,
                                 .speed = 5}));

    // The centre is the focus itself, with the synthetic height there to the last bit.
    auto centre = earth.PointOnTerrain(0, 0);
    ASSERT_TRUE(centre);
    EXPECT_EQ(centre->latitude, latitude);
    EXPECT_EQ(centre->longitude, longitude);
    EXPECT_EQ(centre->altitude, SyntheticElevation(longitude, latitude));
    EXPECT_TRUE(centre->hasElevation);

    // The top right corner of an 800 × 578 render window: 60° across, the height in
    // proportion, metres to degrees on the sphere.
    const double halfWidth = range * std::tan(30 * kDegree);
    const double halfHeight = halfWidth * 578 / 800;
    auto corner = earth.PointOnTerrain(1, 1);
    ASSERT_TRUE(corner);
    EXPECT_NEAR(corner->latitude, latitude + halfHeight / kRadius / kDegree, 1e-12);
    EXPECT_NEAR(corner->longitude,
                longitude + halfWidth / (kRadius * std::cos(latitude * kDegree)) / kDegree, 1e-12);
    EXPECT_EQ(corner->altitude, SyntheticElevation(corner->longitude, corner->latitude));

    // Looking east, the right edge of the view lies south of the focus.
    ASSERT_TRUE(earth.SetCamera({.latitude = latitude,
                                 .longitude = longitude,
                                 .altitude = 0,
                                 .altitudeMode = 1,
                                 .range = range,
                                 .tilt = 0,
                                 .azimuth = 90,
                                 .speed = 5}));
    auto right = earth.PointOnTerrain(1, 0);
    ASSERT_TRUE(right);
    EXPECT_NEAR(right->latitude, latitude - halfWidth / kRadius / kDegree, 1e-12);
    EXPECT_NEAR(right->longitude, longitude, 1e-12);

    // A square render window makes the view as high as it is wide.
    ASSERT_TRUE(earth.MoveRenderWindow(500, 500));
    auto top = earth.PointOnTerrain(0, 1);
    ASSERT_TRUE(top);
    EXPECT_NEAR(top->longitude,
                longitude + halfWidth / (kRadius * std::cos(latitude * kDegree)) / kDegree, 1e-12);

    // Beyond the view there is no ground; every answer counts.
    EXPECT_FALSE(earth.PointOnTerrain(1.5, 0));
    EXPECT_FALSE(earth.PointOnTerrain(0, -1.01));
    auto stats = earth.Request("STATS");
    ASSERT_TRUE(stats);
    EXPECT_EQ(stats->at(1), "6");
}

TEST_F(SimulatorTest, WindowsReportAndMoveTogether)
{
    Start();
    SocketEarthClient earth(m_socket);
    auto main = earth.MainWindow();
    auto render = earth.RenderWindow();
    ASSERT_TRUE(main && render);
    EXPECT_EQ(main->left, 0);
    EXPECT_EQ(main->width, 800);
    EXPECT_EQ(main->height, 600);
    EXPECT_EQ(render->width, 800);
    const int statusLine = main->height - render->height;
    EXPECT_GT(statusLine, 0);

    ASSERT_TRUE(earth.MoveMainWindow({.left = 10, .top = 20, .width = 1024, .height = 768}));
    main = earth.MainWindow();
    render = earth.RenderWindow();
    EXPECT_EQ(main->left, 10);
    EXPECT_EQ(main->top, 20);
    EXPECT_EQ(main->width, 1024);
    EXPECT_EQ(main->height, 768);
    EXPECT_EQ(render->left, 0);
    EXPECT_EQ(render->width, 1024);
    EXPECT_EQ(render->height, 768 - statusLine);

    ASSERT_TRUE(earth.MoveRenderWindow(640, 480));
    main = earth.MainWindow();
    EXPECT_EQ(main->left, 10);
    EXPECT_EQ(main->width, 640);
    EXPECT_EQ(main->height, 480 + statusLine);
    EXPECT_EQ(earth.RenderWindow()->height, 480);

    EXPECT_FALSE(earth.MoveMainWindow({.left = 0, .top = 0, .width = 0, .height = 600}));
    EXPECT_FALSE(earth.MoveRenderWindow(640, -1));
    EXPECT_EQ(earth.RenderWindow()->width, 640);
}

TEST_F(SimulatorTest, KmlIsTakenByItsByteCountNotByItsLines)
{
    Start();
    SocketEarthClient earth(m_socket);
    // Text that looks like requests must not be read as requests.
    std::string kml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<kml><Document><name>测线\n"
                      "CAMERA\nSETCAMERA 0 0 0 1 1 0 0 1</name>\n"
                      "<Placemark><LineString><coordinates>104.1,30.1,0 104.2,30.2,0\n"
                      "</coordinates></LineString></Placemark>\n"
                      "<Placemark><Point><coordinates>104.15,30.15</coordinates></Point>"
                      "</Placemark></Document></kml>\n";
    ASSERT_TRUE(earth.LoadKml(kml));
    ASSERT_TRUE(earth.LoadKml(""));
    auto stats = earth.Request("STATS");
    ASSERT_TRUE(stats);
    EXPECT_EQ(stats->at(0), "0"); // no camera move hidden in the text
    EXPECT_EQ(stats->at(2), std::to_string(kml.size()));
    EXPECT_EQ(earth.Camera()->latitude, 30);
}

TEST_F(SimulatorTest, WithItsWindowItAnswersAsHeadlessAndKeepsDrawing)
{
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    m_earth = std::make_unique<EarthProcess>(m_folder,
                                             std::vector<std::string>{"--socket", m_socket});
    ::unsetenv("QT_QPA_PLATFORM");
    ASSERT_TRUE(m_earth->WaitUntilServing(m_socket)) << m_earth->Errors();
    SocketEarthClient earth(m_socket);
    ASSERT_TRUE(earth.LoadKml("<kml><LineString><coordinates>103.99,29.99 104.01,30.01"
                              "</coordinates></LineString><Point><coordinates>104,30"
                              "</coordinates></Point></kml>"));
    for (int i = 0; i <= 20; ++i)
        ASSERT_TRUE(earth.PointOnTerrain(i / 10.0 - 1, 0.5));
    ASSERT_TRUE(earth.MoveMainWindow({.left = 30, .top = 40, .width = 640, .height = 502}));
    auto main = earth.MainWindow();
    ASSERT_TRUE(main);
    EXPECT_EQ(main->width, 640);
    EXPECT_EQ(main->height, 502);
    EXPECT_EQ(earth.RenderWindow()->height, 480);
    // The redraws that follow leave it answering.
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    auto centre = earth.PointOnTerrain(0, 0);
    ASSERT_TRUE(centre);
    EXPECT_EQ(centre->altitude, SyntheticElevation(104, 30));
    EXPECT_EQ(m_earth->Terminate(), 0);
}

TEST_F(SimulatorTest, SwitchesAnswerNotInitialisedAndNotConnected)
{
    Start({"--not-initialized", "--not-connected"});
    SocketEarthClient earth(m_socket);
    EXPECT_TRUE(earth.Running());
    EXPECT_EQ(earth.IsInitialized(), 0);
    EXPECT_EQ(earth.IsOnline(), 0);
    EXPECT_TRUE(earth.Camera());
}

TEST_F(SimulatorTest, MalformedRequestsGetErrAndServingGoesOn)
{
    Start();
    RawConnection raw(m_socket);
    const std::vector<std::string> malformed = {"",
                                                "BOGUS",
                                                "camera",
                                                "CAMERA 1",
                                                "TERRAIN 0",
                                                "TERRAIN 0 x",
                                                "TERRAIN nan 0",
                                                "TERRAIN 0  0",
                                                "SETCAMERA 1 2 3 1 1000 0 0",
                                                "SETCAMERA 1 2 3 1.5 1000 0 0 1",
                                                "SETCAMERA 1,5 2 3 1 1000 0 0 1",
                                                "MOVEMAIN 1 2 3",
                                                "MOVEMAIN 0 0 800 99999999999",
                                                "MOVERENDER a b",
                                                "KML",
                                                "KML -5",
                                                "KML 12abc",
                                                std::string("\x01\xff\xfe", 3)};
    for (const std::string& bad : malformed)
        EXPECT_TRUE(raw.Ask(bad).starts_with("ERR ")) << bad;
    EXPECT_TRUE(raw.Ask("SPEED").starts_with("OK ")); // the same connection still serves

    // A line without end beyond the limit, and a KML beyond the limit: ERR, then the server
    // closes that connection because it cannot know where the next request starts.
    raw.Send(std::string(protocol::kMaxLineLength + 10, 'A'));
    EXPECT_TRUE(raw.Line().starts_with("ERR "));
    EXPECT_EQ(raw.Line(), "<closed>");
    RawConnection large(m_socket);
    EXPECT_TRUE(large.Ask("KML " + std::to_string(protocol::kMaxKmlBytes + 1)).starts_with("ERR"));
    EXPECT_EQ(large.Line(), "<closed>");

    SocketEarthClient earth(m_socket);
    ASSERT_TRUE(earth.Camera());
    EXPECT_EQ(earth.Camera()->range, 10000);
}

TEST_F(SimulatorTest, OneServerPerSocketAndLeftOverSocketsAreReplaced)
{
    EarthProcess& first = Start();
    EarthProcess second(m_folder, {"--headless", "--socket", m_socket});
    EXPECT_EQ(second.Wait(), 1);
    EXPECT_NE(second.Errors().find("already"), std::string::npos) << second.Errors();
    SocketEarthClient earth(m_socket);
    EXPECT_TRUE(earth.Camera());

    // Ended by a signal, the server removes its socket; the client notices.
    EXPECT_EQ(first.Terminate(), 0);
    EXPECT_FALSE(std::filesystem::exists(m_socket));
    EXPECT_FALSE(earth.Running());
    EXPECT_FALSE(earth.Camera());

    // A socket nobody listens at, as a killed server leaves it.
    {
        int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, m_socket.c_str(), sizeof address.sun_path - 1);
        ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        ::close(fd);
    }
    ASSERT_TRUE(std::filesystem::exists(m_socket));
    Start();
    // The client that knew the old server reaches the new one.
    EXPECT_TRUE(earth.Camera());
    m_earth->Terminate();

    // A file that is not a socket is never removed.
    std::string file = m_folder.Write("earth.sock", "user data");
    EarthProcess refused(m_folder, {"--headless", "--socket", file});
    EXPECT_EQ(refused.Wait(), 1);
    EXPECT_EQ(ScratchFolder::Read(file), "user data");
}

TEST_F(SimulatorTest, RegServerRecordsTheProgramInTheProfileAndKeepsTheRest)
{
    std::string profile = m_folder.Write("profile.ini", "[CoordinateSystem]\nCustom=Beijing54\n");
    ::setenv("CARVENTO_PROFILE", profile.c_str(), 1);
    EarthProcess registration(m_folder, {"/regServer"});
    int status = registration.Wait();
    ::unsetenv("CARVENTO_PROFILE");
    EXPECT_EQ(status, 0) << registration.Errors();
    std::string text = ScratchFolder::Read(profile);
    EXPECT_NE(text.find("[EARTH]"), std::string::npos) << text;
    std::string program = std::filesystem::canonical(CARVENTO_EARTH).string();
    EXPECT_NE(text.find("Server=" + program), std::string::npos) << text;
    EXPECT_NE(text.find("Custom=Beijing54"), std::string::npos) << text;
}

TEST_F(SimulatorTest, DemTerrainGivesBilinearHeightsAndNoneOutside)
{
    // 3 × 2 cells of 0.01° over 104° … 104.03° E, 30° … 30.02° N, the top right one empty.
    std::string dem = m_folder.Write("dem.asc", "ncols 3\nnrows 2\nxllcorner 104\n"
                                                "yllcorner 30\ncellsize 0.01\n"
                                                "NODATA_value -9999\n"
                                                "100 200 -9999\n"
                                                "300 400 500\n");
    EarthProcess broken(m_folder,
                        {"--headless", "--socket", m_socket, "--dem", m_folder / "missing.asc"});
    EXPECT_EQ(broken.Wait(), 1);
    EXPECT_NE(broken.Errors().find("missing.asc"), std::string::npos) << broken.Errors();

    Start({"--dem", dem});
    SocketEarthClient earth(m_socket);
    auto at = [&](double longitude, double latitude) {
        EXPECT_TRUE(earth.SetCamera({.latitude = latitude,
                                     .longitude = longitude,
                                     .altitude = 0,
                                     .altitudeMode = 1,
                                     .range = 1000,
                                     .tilt = 0,
                                     .azimuth = 0,
                                     .speed = 5}));
        return earth.PointOnTerrain(0, 0);
    };
    // Between the four western centres, a quarter of the way east and down:
    // (100 + 0.25·100) + ((300 + 0.25·100) − (100 + 0.25·100))·0.25 = 175.
    auto inside = at(104.0075, 30.0125);
    ASSERT_TRUE(inside);
    EXPECT_TRUE(inside->hasElevation);
    EXPECT_NEAR(inside->altitude, 175, 1e-9);

    auto outside = at(105, 31);
    ASSERT_TRUE(outside);
    EXPECT_FALSE(outside->hasElevation);
    EXPECT_EQ(outside->latitude, 31);

    auto noData = at(104.025, 30.015);
    ASSERT_TRUE(noData);
    EXPECT_FALSE(noData->hasElevation);
}
