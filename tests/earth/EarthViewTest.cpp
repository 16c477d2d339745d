// Connecting to the globe, its view kept in the profile, and registering the globe program.
#include "FakeEarth.hpp"
#include "earth/EarthConnection.hpp"
#include "earth/EarthRegistration.hpp"
#include "earth/EarthView.hpp"
#include "platform/Profile.hpp"
#include "support/FakePlatform.hpp"
#include "support/ScratchFolder.hpp"

#include <gtest/gtest.h>

namespace carvento::testing {
namespace {

using earth::EarthConnection;

// A connection whose factory hands out one fake globe; the test keeps a pointer to it.
struct Globe {
    FakeEarth* fake = nullptr;
    EarthConnection connection{[this] {
        auto client = std::make_unique<FakeEarth>();
        fake = client.get();
        return client;
    }};
    FakePrompter prompter;
    platform::MemoryProfile profile;

    bool Connect() { return earth::ConnectEarth(connection, prompter); }
};

TEST(EarthConnection, ConnectAndReadinessReportWhyTheGlobeCannotBeUsed)
{
    EarthConnection none([] { return std::unique_ptr<earth::EarthClient>(); });
    FakePrompter prompter;
    EXPECT_FALSE(earth::ConnectEarth(none, prompter));
    EXPECT_FALSE(earth::CheckEarthReady(none, prompter));

    Globe globe;
    ASSERT_TRUE(globe.Connect());
    globe.fake->running = false;
    EXPECT_FALSE(globe.Connect());
    globe.fake->running = true;
    globe.fake->initialized = 0;
    EXPECT_FALSE(earth::CheckEarthReady(globe.connection, globe.prompter));
    globe.fake->initialized = 1;
    globe.fake->online = 0;
    EXPECT_FALSE(earth::CheckEarthReady(globe.connection, globe.prompter));
    globe.fake->online = 1;
    EXPECT_TRUE(earth::CheckEarthReady(globe.connection, globe.prompter));

    ASSERT_EQ(2u, prompter.messages.size());
    EXPECT_EQ("获取Google Earth实例失败!", prompter.messages[0].text);
    EXPECT_EQ("提示", prompter.messages[0].caption);
    EXPECT_EQ(platform::MessageIcon::Information, prompter.messages[0].icon);
    ASSERT_EQ(3u, globe.prompter.messages.size());
    EXPECT_EQ("未检测到运行的Google Earth!", globe.prompter.messages[0].text);
    EXPECT_EQ("提示", globe.prompter.messages[0].caption);
    EXPECT_EQ(platform::MessageIcon::Information, globe.prompter.messages[0].icon);
    EXPECT_EQ("Google Earth初始化失败!", globe.prompter.messages[1].text);
    EXPECT_EQ("Carvento", globe.prompter.messages[1].caption);
    EXPECT_EQ("未连接Google Earth服务器!", globe.prompter.messages[2].text);
    EXPECT_EQ("Carvento", globe.prompter.messages[2].caption);
}

TEST(EarthView, ASavedViewComesBackAndTheProfileHoldsItAsText)
{
    Globe globe;
    ASSERT_TRUE(globe.Connect());
    globe.fake->SetCamera({.latitude = 30.5,
                           .longitude = 104.25,
                           .altitude = 12,
                           .altitudeMode = 2,
                           .range = 2500.125,
                           .tilt = 30,
                           .azimuth = -45.5,
                           .speed = 3});
    earth::SaveEarthView(globe.connection, globe.prompter, globe.profile);
    const std::map<std::string, std::string> expected = {{"EARTH/X", "10"},
                                                         {"EARTH/Y", "20"},
                                                         {"EARTH/Width", "1024"},
                                                         {"EARTH/Height", "768"},
                                                         {"VIEW/Width", "1000"},
                                                         {"VIEW/Height", "700"},
                                                         {"VIEW/alt", "12.000000"},
                                                         {"VIEW/azimuth", "-45.500000"},
                                                         {"VIEW/lat", "30.500000"},
                                                         {"VIEW/lng", "104.250000"},
                                                         {"VIEW/range", "2500.125000"},
                                                         {"VIEW/speed", "3.000000"},
                                                         {"VIEW/tilt", "30.000000"}};
    for (const auto& [path, text] : expected) {
        const std::size_t slash = path.find('/');
        EXPECT_EQ(text, globe.profile.GetString(path.substr(0, slash), path.substr(slash + 1), ""))
            << path;
    }
    EXPECT_EQ(expected.size(), globe.profile.Values().size());

    // The user flies elsewhere and moves the window; the restore brings both back.
    globe.fake->SetCamera({.latitude = -10, .longitude = 5, .range = 9});
    globe.fake->MoveMainWindow({0, 0, 300, 200});
    earth::RestoreEarthView(globe.connection, globe.prompter, globe.profile);
    const earth::EarthView view = earth::ReadEarthView(globe.connection, globe.prompter);
    EXPECT_EQ(30.5, view.lat);
    EXPECT_EQ(104.25, view.lng);
    EXPECT_EQ(2500.125, view.range);
    EXPECT_EQ(30, view.tilt);
    EXPECT_EQ(-45.5, view.azimuth);
    EXPECT_EQ(2, globe.fake->moves.back().altitudeMode);
    EXPECT_EQ(1024, globe.fake->mainWindow->width);
    EXPECT_EQ(20, globe.fake->mainWindow->top);
    EXPECT_TRUE(globe.prompter.messages.empty());
}

TEST(EarthView, AnEmptyOrGarbledProfileRestoresTheDefaults)
{
    Globe globe;
    ASSERT_TRUE(globe.Connect());
    earth::RestoreEarthView(globe.connection, globe.prompter, globe.profile);
    ASSERT_EQ(1u, globe.fake->mainWindowMoves.size());
    const earth::EarthWindow main = globe.fake->mainWindowMoves[0];
    EXPECT_EQ(std::vector<int>({0, 0, 800, 600}),
              std::vector<int>({main.left, main.top, main.width, main.height}));
    ASSERT_EQ(1u, globe.fake->renderWindowMoves.size());
    EXPECT_EQ(800, globe.fake->renderWindowMoves[0].width);
    EXPECT_EQ(600, globe.fake->renderWindowMoves[0].height);
    ASSERT_EQ(1u, globe.fake->moves.size());
    const earth::EarthCameraMove move = globe.fake->moves[0];
    EXPECT_EQ(std::vector<double>({0, 0, 1000, 0, 0, 0, 100}),
              std::vector<double>({move.latitude, move.longitude, move.altitude, move.range,
                                   move.tilt, move.azimuth, move.speed}));
    EXPECT_EQ(2, move.altitudeMode);

    // Values read from their leading number; text without one is 0.
    globe.profile.SetString("EARTH", "Width", "640px");
    globe.profile.SetString("VIEW", "lat", "12.5e1 north");
    globe.profile.SetString("VIEW", "alt", "high");
    earth::RestoreEarthView(globe.connection, globe.prompter, globe.profile);
    EXPECT_EQ(640, globe.fake->mainWindowMoves.back().width);
    EXPECT_EQ(125, globe.fake->moves.back().latitude);
    EXPECT_EQ(0, globe.fake->moves.back().altitude);
}

TEST(EarthView, AGlobeThatIsNotReadyStillHasItsWindowsSavedAndMoved)
{
    Globe globe;
    ASSERT_TRUE(globe.Connect());
    globe.profile.SetString("VIEW", "lat", "45.000000");
    globe.fake->online = 0;
    earth::SaveEarthView(globe.connection, globe.prompter, globe.profile);
    EXPECT_EQ("1024", globe.profile.GetString("EARTH", "Width", ""));
    // The camera was not available: the saved one stays.
    EXPECT_EQ("45.000000", globe.profile.GetString("VIEW", "lat", ""));
    earth::RestoreEarthView(globe.connection, globe.prompter, globe.profile);
    EXPECT_EQ(1u, globe.fake->mainWindowMoves.size());
    EXPECT_TRUE(globe.fake->moves.empty());
    EXPECT_EQ(std::vector<std::string>({"未连接Google Earth服务器!", "未连接Google Earth服务器!"}),
              globe.prompter.MessageTexts());
}

// Records each program started with its arguments.
struct ArgumentLauncher : FakeLauncher {
    std::vector<std::vector<std::string>> arguments;
    bool StartProgram(const std::string& program, const std::vector<std::string>& args) override
    {
        arguments.push_back(args);
        return FakeLauncher::StartProgram(program, args);
    }
};

TEST(EarthConnection, WithoutARunningGlobeTheRegisteredProgramIsOfferedAndWaitedFor)
{
    ScratchFolder folder;
    Globe globe;
    ASSERT_TRUE(globe.Connect());
    globe.fake->running = false;
    std::vector<std::string> started;
    int pauses = 0;
    bool comesUp = true;
    const std::string registered = folder.Write("bin/globe", "#!/bin/sh\n");
    globe.profile.SetString("EARTH", "Server", registered);
    globe.connection.SetStarter(
        {.program = [&] { return earth::RegisteredEarthProgram(globe.profile, folder / "none"); },
         .start =
             [&](const std::string& program) {
                 started.push_back(program);
                 return true;
             },
         .pause =
             [&] {
                 // The globe answers after the third look.
                 if (++pauses == 3 && comesUp)
                     globe.fake->running = true;
             },
         .looks = 5,
         .pauseMs = 1000});
    // Declined: nothing started, the message keeps its first line.
    globe.prompter.messageAnswers = {platform::MessageAnswer::No, platform::MessageAnswer::Yes,
                                     platform::MessageAnswer::Yes};
    EXPECT_FALSE(globe.Connect());
    EXPECT_TRUE(started.empty());
    ASSERT_EQ(1u, globe.prompter.messages.size());
    EXPECT_EQ(0u, globe.prompter.messages[0].text.find("未检测到运行的Google Earth!"));
    EXPECT_NE(std::string::npos, globe.prompter.messages[0].text.find(registered));
    EXPECT_EQ(platform::MessageButtons::YesNo, globe.prompter.messages[0].buttons);
    // Accepted: started, looked for until it answers, connected.
    EXPECT_TRUE(globe.Connect());
    EXPECT_EQ(std::vector<std::string>{registered}, started);
    EXPECT_EQ(3, pauses);
    // A globe that never answers: said so after the last look.
    globe.fake->running = false;
    comesUp = false;
    EXPECT_FALSE(globe.Connect());
    EXPECT_EQ(8, pauses);
    EXPECT_EQ("地球程序已启动,但5秒内没有应答,请稍后重试!", globe.prompter.messages.back().text);

    // No program known (none registered, none beside us): the plain message, no offer.
    globe.profile.SetString("EARTH", "Server", folder / "gone");
    globe.prompter.messages.clear();
    EXPECT_FALSE(globe.Connect());
    EXPECT_EQ(std::vector<std::string>{"未检测到运行的Google Earth!"},
              globe.prompter.MessageTexts());
    // carvento-earth beside the program stands in for a registration.
    const std::string beside = folder.Write("carvento-earth", "#!/bin/sh\n");
    EXPECT_EQ(beside, earth::RegisteredEarthProgram(globe.profile, folder.Path().string()));
}

TEST(EarthRegistration, TheGlobeBesideTheProgramOrAChosenOneIsStartedToRegister)
{
    ScratchFolder folder;
    FakePrompter prompter;
    ArgumentLauncher launcher;
    const std::string beside = folder.Write("carvento-earth", "#!/bin/sh\n");
    EXPECT_TRUE(earth::RegisterEarthServer(prompter, launcher, folder.Path().string()));
    EXPECT_TRUE(prompter.openDialogs.empty());
    EXPECT_EQ(std::vector<std::string>{beside}, launcher.programs);
    EXPECT_EQ(std::vector<std::string>{"/regServer"}, launcher.arguments.at(0));

    // Not beside the program: the user picks it, or cancels, or picks one that is gone.
    const std::string other = folder.Write("elsewhere/globe", "x");
    prompter.openAnswers = {{other}, {}, {folder / "gone"}};
    launcher.succeed = false;
    EXPECT_FALSE(earth::RegisterEarthServer(prompter, launcher, folder / "elsewhere"));
    EXPECT_FALSE(earth::RegisterEarthServer(prompter, launcher, folder / "elsewhere"));
    EXPECT_FALSE(earth::RegisterEarthServer(prompter, launcher, folder / "elsewhere"));
    EXPECT_EQ(std::vector<std::string>({beside, other}), launcher.programs);
    EXPECT_EQ(std::vector<std::string>(
                  {"注册googleearth.exe成功!", "注册googleearth.exe失败!错误码：-1",
                   "未选择GoogleEarth.exe文件，本次操作取消!", "文件不存在，本次操作取消!"}),
              prompter.MessageTexts());
    EXPECT_EQ("提示", prompter.messages[0].caption);
    EXPECT_EQ("错误", prompter.messages[1].caption);
    EXPECT_EQ(platform::MessageIcon::Error, prompter.messages[2].icon);
    ASSERT_EQ(3u, prompter.openDialogs.size());
    EXPECT_EQ("*.*", prompter.openDialogs[0].filters.back().second);
}

} // namespace
} // namespace carvento::testing
