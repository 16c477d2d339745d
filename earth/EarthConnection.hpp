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
} // namespace messages

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

private:
    friend bool ConnectEarth(EarthConnection& connection, platform::Prompter& prompter);

    ClientFactory m_factory;
    std::unique_ptr<EarthClient> m_client;
    EarthWindow m_mainWindow{};
    EarthWindow m_renderWindow{};
};

// Makes the client when there is none yet ("获取Google Earth实例失败!" when it cannot be
// made), checks that a globe runs ("未检测到运行的Google Earth!"), then fetches the main and
// render window geometry. Both messages have the caption "提示" and the information icon.
bool ConnectEarth(EarthConnection& connection, platform::Prompter& prompter);

// The globe is initialised ("Google Earth初始化失败!") and connected to its server
// ("未连接Google Earth服务器!"); the messages carry the application's title. False as well
// when there is no client.
bool CheckEarthReady(EarthConnection& connection, platform::Prompter& prompter);

} // namespace carvento::earth
