// carvento-earth: stands in for the globe program where it does not exist. It answers the
// globe's automation calls over a local socket (earth/EarthProtocol.hpp) with real terrain,
// from an elevation model or from the built-in synthetic surface, and shows what it is asked.
//
//   carvento-earth [--dem FILE] [--not-initialized] [--not-connected] [--headless]
//                  [--socket PATH] [/regServer]
#include "earth/EarthProtocol.hpp"
#include "earth/dem/DemTerrain.hpp"
#include "earth/simulator/EarthServer.hpp"
#include "earth/simulator/EarthWindow.hpp"
#include "earth/simulator/Simulator.hpp"
#include "earth/simulator/SyntheticTerrain.hpp"
#include "platform/qt/SettingsProfile.hpp"

#include <QApplication>
#include <QCoreApplication>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>
#include <sys/socket.h>
#include <unistd.h>

using namespace carvento;
using namespace carvento::earth::simulator;

namespace {

constexpr const char* kUsage =
    "usage: carvento-earth [--dem FILE] [--not-initialized] [--not-connected] [--headless]\n"
    "                      [--socket PATH] [/regServer]\n"
    "  --dem FILE         terrain from an elevation model GDAL reads (default: synthetic)\n"
    "  --not-initialized  answer that the globe is not initialised\n"
    "  --not-connected    answer that the globe is not connected to its server\n"
    "  --headless         no window (tests, servers without a display)\n"
    "  --socket PATH      listen here instead of the default socket\n"
    "  /regServer         record this program as the globe in the user's profile and exit\n";

struct Arguments {
    std::string dem;
    std::string socket;
    bool initialized = true;
    bool online = true;
    bool headless = false;
    bool registerServer = false;
};

// Nothing and a message on standard error when the command line cannot be read.
std::optional<Arguments> ParseArguments(int argc, char** argv)
{
    Arguments arguments;
    for (int i = 1; i < argc; ++i) {
        std::string_view argument = argv[i];
        auto value = [&](std::string& target) {
            if (i + 1 >= argc || std::string_view(argv[i + 1]).empty()) {
                std::fprintf(stderr, "carvento-earth: %s needs a value\n", argv[i]);
                return false;
            }
            target = argv[++i];
            return true;
        };
        if (argument == "--dem") {
            if (!value(arguments.dem))
                return std::nullopt;
        } else if (argument == "--socket") {
            if (!value(arguments.socket))
                return std::nullopt;
        } else if (argument == "--not-initialized") {
            arguments.initialized = false;
        } else if (argument == "--not-connected") {
            arguments.online = false;
        } else if (argument == "--headless") {
            arguments.headless = true;
        } else if (argument == "/regServer" || argument == "/RegServer" ||
                   argument == "--regserver") {
            arguments.registerServer = true;
        } else if (argument == "--help" || argument == "-h") {
            std::fputs(kUsage, stdout);
            std::exit(0);
        } else {
            std::fprintf(stderr, "carvento-earth: unknown argument %s\n%s", argv[i], kUsage);
            return std::nullopt;
        }
    }
    return arguments;
}

// Records this program under [EARTH] Server in the user's profile (or the INI file named by
// CARVENTO_PROFILE), as the real globe registers its automation server.
int RegisterServer()
{
    std::unique_ptr<platform::SettingsProfile> profile;
    if (const char* path = std::getenv("CARVENTO_PROFILE"); path && *path)
        profile = platform::SettingsProfile::FromIniFile(path);
    else
        profile = std::make_unique<platform::SettingsProfile>();
    const std::string program = QCoreApplication::applicationFilePath().toStdString();
    platform::ProfileUpdate update = profile->Update([&program](platform::Profile& settings) {
        settings.SetString("EARTH", "Server", program);
    });
    if (!update.Ok()) {
        std::fprintf(stderr, "carvento-earth: could not register in %s: %s\n",
                     profile->FilePath().c_str(), update.description());
        return 1;
    }
    std::printf("carvento-earth: registered %s in %s\n", program.c_str(),
                profile->FilePath().c_str());
    return 0;
}

// SIGTERM and SIGINT end the event loop, so the socket is removed on the way out.
int g_signalPipe[2] = {-1, -1};

void OnSignal(int)
{
    char byte = 1;
    [[maybe_unused]] ssize_t written = ::write(g_signalPipe[1], &byte, 1);
}

void QuitOnSignals(QCoreApplication& application)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_signalPipe) != 0)
        return;
    auto* notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, &application);
    QObject::connect(notifier, &QSocketNotifier::activated, &application,
                     [] { QCoreApplication::quit(); });
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGTERM, &action, nullptr);
    ::sigaction(SIGINT, &action, nullptr);
}

} // namespace

int main(int argc, char** argv)
{
    std::optional<Arguments> arguments = ParseArguments(argc, argv);
    if (!arguments)
        return 2;

    // Without a display Qt would abort while starting; say what to do instead.
    const bool windowed = !arguments->headless && !arguments->registerServer;
    auto unset = [](const char* name) {
        const char* value = std::getenv(name);
        return !value || !*value;
    };
    if (windowed && unset("QT_QPA_PLATFORM") && unset("DISPLAY") && unset("WAYLAND_DISPLAY")) {
        std::fputs("carvento-earth: no display to show the globe on; run it with --headless or "
                   "with QT_QPA_PLATFORM=offscreen\n",
                   stderr);
        return 1;
    }

    std::unique_ptr<QCoreApplication> application;
    if (!windowed)
        application = std::make_unique<QCoreApplication>(argc, argv);
    else
        application = std::make_unique<QApplication>(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("carvento-earth"));

    if (arguments->registerServer)
        return RegisterServer();

    TerrainFunction terrain = [](double longitude, double latitude) -> std::optional<double> {
        return SyntheticElevation(longitude, latitude);
    };
    if (!arguments->dem.empty()) {
        std::string error;
        std::shared_ptr<earth::DemTerrain> dem = earth::DemTerrain::Open(arguments->dem, error);
        if (!dem) {
            std::fprintf(stderr, "carvento-earth: %s\n", error.c_str());
            return 1;
        }
        terrain = [dem](double longitude, double latitude) {
            return dem->Elevation(longitude, latitude);
        };
    }

    Simulator simulator(terrain, Simulator::Options{.initialized = arguments->initialized,
                                                    .online = arguments->online});
    EarthServer server(simulator);
    std::string socketPath = arguments->socket.empty() ? earth::protocol::DefaultSocketPath()
                                                       : arguments->socket;
    QString error;
    if (!server.Listen(QString::fromStdString(socketPath), error)) {
        std::fprintf(stderr, "carvento-earth: %s\n", error.toUtf8().constData());
        return 1;
    }
    QuitOnSignals(*application);

    std::unique_ptr<EarthWindow> window;
    if (!arguments->headless) {
        window = std::make_unique<EarthWindow>(simulator);
        simulator.onViewChanged = [&window] { window->ScheduleRedraw(); };
        simulator.onMoveMain = [&window](const WindowRect& main) { window->ApplyGeometry(main); };
        window->show();
    }
    std::fprintf(stderr, "carvento-earth: listening at %s\n", socketPath.c_str());
    int status = QCoreApplication::exec();
    simulator.onViewChanged = nullptr;
    simulator.onMoveMain = nullptr;
    window.reset();
    server.Close();
    return status;
}
