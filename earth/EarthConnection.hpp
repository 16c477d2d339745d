// The program's one link to a running globe: the client that makes the calls, and the window
// geometry of the globe fetched on every connect. The client is made by a factory, so the
// program hands in its socket client and tests a fake.
#pragma once

#include "earth/EarthClient.hpp"
#include "platform/Prompter.hpp"

#include <functional>
#include <memory>

namespace carvento::earth {

namespace messages {
// Caption of the readiness messages: the application's title.
inline constexpr const char* kApplicationTitle = "Carvento";
inline constexpr const char* kNoticeCaption = "提示";
inline constexpr const char* kErrorCaption = "错误";
inline constexpr const char* kNotRunning = "未检测到运行的Google Earth!";
inline constexpr const char* kNoInstance = "获取Google Earth实例失败!";
inline constexpr const char* kNotInitialized = "Google Earth初始化失败!";
inline constexpr const char* kNotOnline = "未连接Google Earth服务器!";
// A globe that stopped answering in the middle of a task (its connection cannot be made again).
inline constexpr const char* kConnectionLost = "与Google Earth的连接已断开";
// The offer after "未检测到运行的Google Earth!" when a globe program is known (%s its path),
// and what became of it.
inline constexpr const char* kOfferStart = "是否启动地球程序 %s 并重试?";
inline constexpr const char* kStartFailed = "无法启动地球程序 %s!";
inline constexpr const char* kStartedSilent = "地球程序已启动,但%d秒内没有应答,请稍后重试!";
} // namespace messages

// How a desktop offers to start the globe when none runs: the program to start (empty: there
// is none to offer), how to start it, and a short pause between looks for its answer (the
// desktop keeps its windows answering meanwhile).
struct EarthStarter {
    std::function<std::string()> program;
    std::function<bool(const std::string& program)> start;
    std::function<void()> pause;
    int looks = 40;    // pauses before giving up
    int pauseMs = 250; // length of one pause, for the message
};

class EarthConnection {
public:
    // Makes the client on the first connect; may return nullptr when none can be made.
    using ClientFactory = std::function<std::unique_ptr<EarthClient>()>;

    explicit EarthConnection(ClientFactory factory) : m_factory(std::move(factory)) {}

    // Whether a client exists (a connect succeeded once).
    bool HasClient() const { return m_client != nullptr; }
    // The client; only after a successful ConnectEarth.
    EarthClient& client() { return *m_client; }

    // The globe's windows as fetched on the last connect (or refreshed by a view save).
    const EarthWindow& MainWindow() const { return m_mainWindow; }
    const EarthWindow& RenderWindow() const { return m_renderWindow; }
    void SetMainWindow(const EarthWindow& window) { m_mainWindow = window; }
    void SetRenderWindow(const EarthWindow& window) { m_renderWindow = window; }
    // Without a starter (the command line) a missing globe is only reported.
    void SetStarter(EarthStarter starter) { m_starter = std::move(starter); }

private:
    friend bool ConnectEarth(EarthConnection& connection, platform::Prompter& prompter);

    ClientFactory m_factory;
    std::unique_ptr<EarthClient> m_client;
    EarthStarter m_starter;
    EarthWindow m_mainWindow{};
    EarthWindow m_renderWindow{};
};

// Makes the client when there is none yet ("获取Google Earth实例失败!" when it cannot be
// made), checks that a globe runs ("未检测到运行的Google Earth!", with the starter's offer to
// start the globe program and try again when it has one), then fetches the main and
// render window geometry. Both messages have the caption "提示" and the information icon.
bool ConnectEarth(EarthConnection& connection, platform::Prompter& prompter);

// The globe is initialised ("Google Earth初始化失败!") and connected to its server
// ("未连接Google Earth服务器!"); the messages carry the application's title. False as well
// when there is no client.
bool CheckEarthReady(EarthConnection& connection, platform::Prompter& prompter);

} // namespace carvento::earth
