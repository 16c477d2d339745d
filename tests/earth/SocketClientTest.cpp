// SocketEarthClient against a scripted server in the test: answers it cannot read, ERR, a server
// that hangs or drops the connection, callers on two threads, and numbers on the wire.
#include "earth/EarthProtocol.hpp"
#include "earth/ScriptedServer.hpp"
#include "earth/SocketEarthClient.hpp"
#include "support/ScratchFolder.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <limits>
#include <mutex>
#include <poll.h>
#include <random>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

using namespace carvento::earth;
using carvento::testing::ScratchFolder;
using carvento::testing::ScriptedServer;

namespace {

// The answer the scripted server gives next, set by the test's thread.
class NextAnswer {
public:
    void operator=(std::string text)
    {
        std::lock_guard lock(m_mutex);
        m_text = std::move(text);
    }
    std::string Get()
    {
        std::lock_guard lock(m_mutex);
        return m_text;
    }

private:
    std::mutex m_mutex;
    std::string m_text;
};

} // namespace

TEST(SocketClient, NoServerMeansNotRunningAndNoAnswer)
{
    ScratchFolder folder;
    SocketEarthClient client(folder / "nobody.sock");
    EXPECT_FALSE(client.Running());
    EXPECT_EQ(client.IsInitialized(), 0);
    EXPECT_EQ(client.IsOnline(), 0);
    EXPECT_FALSE(client.Camera());
    EXPECT_FALSE(client.SetCamera(EarthCameraMove{}));
    EXPECT_FALSE(client.LoadKml("<kml/>"));
    EXPECT_FALSE(client.AutoPilotSpeed());
    EXPECT_FALSE(client.PointOnTerrain(0, 0));
    EXPECT_FALSE(client.MainWindow());
    EXPECT_FALSE(client.RenderWindow());
    EXPECT_FALSE(client.MoveMainWindow(EarthWindow{0, 0, 800, 600}));
    EXPECT_FALSE(client.MoveRenderWindow(800, 600));
    // A path too long for a socket address is no server either.
    EXPECT_FALSE(SocketEarthClient(std::string(200, 'x')).Running());
}

TEST(SocketClient, AnswersThatCannotBeReadAreNoAnswer)
{
    ScratchFolder folder;
    NextAnswer next;
    ScriptedServer server(folder / "s.sock", [&](const std::string&) { return next.Get(); });
    SocketEarthClient client(folder / "s.sock", std::chrono::milliseconds(2000));

    next = "OK 30 104 5 1000 0 0";
    auto camera = client.Camera();
    ASSERT_TRUE(camera);
    EXPECT_EQ(camera->longitude, 104);
    EXPECT_EQ(camera->altitude, 5);
    for (std::string bad : {"OK 30 104 5 1000 0", "OK 30 104 5 1000 0 0 7", "OK 30 1,5 5 1000 0 0",
                            "OK 30 nan 5 1000 0 0", "OK  30 104 5 1000 0 0"}) {
        next = bad;
        EXPECT_FALSE(client.Camera()) << bad;
    }

    next = "OK 1 2 3 0";
    auto point = client.PointOnTerrain(0.5, -0.5);
    ASSERT_TRUE(point);
    EXPECT_FALSE(point->hasElevation);
    next = "OK none";
    EXPECT_FALSE(client.PointOnTerrain(0, 0));
    next = "OK 1 2 3 2";
    EXPECT_FALSE(client.PointOnTerrain(0, 0));
    next = "OK 0 0 800 600.5";
    EXPECT_FALSE(client.MainWindow());
    next = "OK 0 0 800 9999999999";
    EXPECT_FALSE(client.RenderWindow());
    next = "OK 2";
    EXPECT_EQ(client.IsInitialized(), 0);
    next = "OK";
    EXPECT_EQ(client.IsOnline(), 0);
    next = "OK 1";
    EXPECT_FALSE(client.SetCamera(EarthCameraMove{}));

    // ERR leaves the connection in use; a line that is neither OK nor ERR drops it.
    int connections = server.Connections();
    next = "ERR not now";
    EXPECT_FALSE(client.AutoPilotSpeed());
    next = "OK 2.5";
    EXPECT_EQ(client.AutoPilotSpeed(), 2.5);
    EXPECT_EQ(server.Connections(), connections);
    next = "HELLO";
    EXPECT_FALSE(client.AutoPilotSpeed());
    next = "OK 3";
    EXPECT_EQ(client.AutoPilotSpeed(), 3);
    EXPECT_EQ(server.Connections(), connections + 1);
}

TEST(SocketClient, LostConnectionIsOpenedOnceMoreAndAHungServerIsNotWaitedForever)
{
    ScratchFolder folder;
    std::atomic<int> dropsLeft = 1;
    std::atomic<bool> hang = false;
    ScriptedServer server(folder / "s.sock", [&](const std::string&) -> std::optional<std::string> {
        if (hang) {
            std::this_thread::sleep_for(std::chrono::milliseconds(600));
            return "OK 9";
        }
        if (dropsLeft > 0) {
            --dropsLeft;
            return std::nullopt;
        }
        return "OK 4";
    });
    SocketEarthClient client(folder / "s.sock", std::chrono::milliseconds(200));

    // The first connection is dropped with the request unanswered: one new connection, one
    // new request, the answer.
    EXPECT_EQ(client.AutoPilotSpeed(), 4);
    EXPECT_EQ(server.Connections(), 2);
    EXPECT_EQ(server.Requests(), 2);

    // Dropped every time: two connections for the call, then no answer.
    dropsLeft = 100;
    EXPECT_FALSE(client.AutoPilotSpeed());
    EXPECT_EQ(server.Requests(), 4);
    dropsLeft = 0;

    // No answer within the timeout: no answer, not asked again, and the late answer is not
    // taken for the answer to the next request.
    hang = true;
    int requests = server.Requests();
    EXPECT_FALSE(client.AutoPilotSpeed());
    EXPECT_EQ(server.Requests(), requests + 1);
    hang = false;
    std::this_thread::sleep_for(std::chrono::milliseconds(700));
    EXPECT_EQ(client.AutoPilotSpeed(), 4);
}

TEST(SocketClient, CallsTellARefusalFromSilenceAndFromAGoneGlobe)
{
    ScratchFolder folder;
    NextAnswer next;
    auto server = std::make_unique<ScriptedServer>(
        folder / "s.sock",
        [&](const std::string&) -> std::optional<std::string> { return next.Get(); });
    SocketEarthClient client(folder / "s.sock", std::chrono::milliseconds(200));

    next = "OK";
    EXPECT_EQ(client.MoveCamera({.latitude = 30}).status, CallStatus::Answered);
    next = "ERR SETCAMERA: the latitude lies outside -90 … 90";
    const CallResult refused = client.MoveCamera({.latitude = 95});
    EXPECT_EQ(refused.status, CallStatus::Refused);
    EXPECT_EQ(refused.error, "SETCAMERA: the latitude lies outside -90 … 90");
    next = "OK 1"; // an answer a move does not have
    EXPECT_EQ(client.MoveCamera({}).status, CallStatus::Refused);

    next = "OK none";
    TerrainAnswer sky = client.QueryTerrain(0, 0.9);
    EXPECT_EQ(sky.call.status, CallStatus::Answered);
    EXPECT_FALSE(sky.point);
    next = "OK 1 2 3";
    EXPECT_EQ(client.QueryTerrain(0, 0).call.status, CallStatus::Refused);

    next = ScriptedServer::kNoAnswer;
    EXPECT_EQ(client.MoveCamera({}).status, CallStatus::TimedOut);
    EXPECT_EQ(client.QueryTerrain(0, 0).call.status, CallStatus::TimedOut);

    next = ScriptedServer::kGoAway;
    const CallResult gone = client.MoveCamera({});
    EXPECT_EQ(gone.status, CallStatus::Failed);
    EXPECT_EQ(gone.error, "与Google Earth的连接已断开");
    EXPECT_EQ(client.QueryTerrain(0, 0).call.status, CallStatus::Failed);
    EXPECT_FALSE(client.SetCamera({}));
    server.reset();

    // The time-out a client gets by default can be set for the process.
    ::setenv("CARVENTO_EARTH_TIMEOUT_MS", "150", 1);
    EXPECT_EQ(SocketEarthClient().Timeout(), std::chrono::milliseconds(150));
    ::setenv("CARVENTO_EARTH_TIMEOUT_MS", "soon", 1);
    EXPECT_EQ(SocketEarthClient().Timeout(), SocketEarthClient::kDefaultTimeout);
    ::unsetenv("CARVENTO_EARTH_TIMEOUT_MS");
}

TEST(SocketClient, CallersOnTwoThreadsEachGetTheirOwnAnswer)
{
    ScratchFolder folder;
    // TERRAIN x y is answered with latitude x and longitude y.
    ScriptedServer server(folder / "s.sock", [](const std::string& line) {
        auto fields = protocol::SplitFields(line);
        return "OK " + std::string(fields.at(1)) + " " + std::string(fields.at(2)) + " 0 1";
    });
    SocketEarthClient client(folder / "s.sock");
    std::atomic<int> wrong = 0;
    auto caller = [&](double base) {
        for (int i = 0; i < 400; ++i) {
            double x = base + i * 1e-3;
            auto point = client.PointOnTerrain(x, -x);
            if (!point || point->latitude != x || point->longitude != -x)
                ++wrong;
        }
    };
    std::thread first(caller, 0.1);
    std::thread second(caller, 0.6);
    first.join();
    second.join();
    EXPECT_EQ(wrong, 0);
    EXPECT_EQ(server.Connections(), 1);
}

TEST(SocketClient, NumbersAreWrittenAsPercent17gAndReadWithoutTheLocale)
{
    std::mt19937_64 random(42);
    std::uniform_int_distribution<std::uint64_t> bits;
    std::vector<double> values = {0.0, -0.0, 1.0, 0.1, -123.456, 1e300, 5e-324, 104.25, 1e17, 1e16};
    for (int i = 0; i < 2000; ++i) {
        double value;
        std::uint64_t word = bits(random);
        std::memcpy(&value, &word, sizeof value);
        if (std::isfinite(value))
            values.push_back(value);
    }
    for (double value : values) {
        std::string line;
        protocol::AppendNumber(line, value);
        char expected[64];
        std::snprintf(expected, sizeof expected, " %.17g", value);
        ASSERT_EQ(line, expected);
        auto back = protocol::ParseNumber(std::string_view(line).substr(1));
        ASSERT_TRUE(back) << line;
        EXPECT_EQ(std::memcmp(&*back, &value, sizeof value), 0) << line;
    }

    // Whole fields only, finite only, whatever the process locale.
    const char* previous = std::setlocale(LC_NUMERIC, "de_DE.UTF-8");
    EXPECT_EQ(protocol::ParseNumber("1.5"), 1.5);
    for (const char* bad : {"", "1,5", "1.5x", " 1", "nan", "inf", "-", "+1", "0x10"})
        EXPECT_FALSE(protocol::ParseNumber(bad)) << bad;
    std::string line;
    protocol::AppendNumber(line, 0.5);
    EXPECT_EQ(line, " 0.5");
    if (previous)
        std::setlocale(LC_NUMERIC, "C");

    EXPECT_EQ(protocol::ParseInteger("-42"), -42);
    EXPECT_FALSE(protocol::ParseInteger("4.0"));
    EXPECT_FALSE(protocol::ParseInteger("99999999999999999999"));
}
