// EarthClient over the local socket of carvento-earth (see EarthProtocol.hpp), on plain POSIX
// sockets so the Qt-free layers can use it.
//
// The client connects on its first call and keeps one connection, guarded by a mutex, so a
// task's worker thread and the user-interface thread may call it at the same time (one request
// and its answer at a time). A connection found broken is opened again once per call and the
// request sent again. Every wait for the server is bounded by the timeout, so a hung server
// never hangs the program; after a timeout the connection is dropped (a late answer would
// otherwise be read as the answer to the next request). Every failure, an ERR answer and an
// answer that cannot be read all give the interface's "no answer": nothing, false or 0;
// MoveCamera and QueryTerrain also say which it was (a server that cannot be reached any more
// has failed, one that did not answer in time timed out).
#pragma once

#include "earth/EarthClient.hpp"

#include <chrono>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace carvento::earth {

class SocketEarthClient final : public EarthClient {
public:
    static constexpr std::chrono::milliseconds kDefaultTimeout{10000};

    // The server at protocol::DefaultSocketPath(), with protocol::AnswerTimeout(kDefaultTimeout).
    SocketEarthClient();
    explicit SocketEarthClient(std::string socketPath,
                               std::chrono::milliseconds timeout = kDefaultTimeout);
    ~SocketEarthClient() override;
    SocketEarthClient(const SocketEarthClient&) = delete;
    SocketEarthClient& operator=(const SocketEarthClient&) = delete;

    // True when a server accepts the connection (an open connection is checked first, so a
    // server that has gone away is noticed).
    bool Running() override;
    int IsInitialized() override;
    int IsOnline() override;
    std::optional<EarthCamera> Camera() override;
    bool SetCamera(const EarthCameraMove& move) override;
    CallResult MoveCamera(const EarthCameraMove& move) override;
    // Text larger than protocol::kMaxKmlBytes is refused without being sent.
    bool LoadKml(const std::string& kml) override;
    std::optional<double> AutoPilotSpeed() override;
    std::optional<TerrainPoint> PointOnTerrain(double x, double y) override;
    TerrainAnswer QueryTerrain(double x, double y) override;
    std::optional<EarthWindow> MainWindow() override;
    std::optional<EarthWindow> RenderWindow() override;
    bool MoveMainWindow(const EarthWindow& window) override;
    bool MoveRenderWindow(int width, int height) override;

    // One request line (without its line end) and an optional payload sent right after it;
    // the fields after "OK", or nothing on any failure or an ERR answer. Public for the calls
    // the interface does not name (STATS) and for tests.
    std::optional<std::vector<std::string>> Request(const std::string& line,
                                                    std::string_view payload = {});

    // The same, with how it went: the fields after "OK" land in `fields` when answered.
    CallResult Call(const std::string& line, std::vector<std::string>& fields,
                    std::string_view payload = {});

    const std::string& SocketPath() const { return m_path; }
    std::chrono::milliseconds Timeout() const { return m_timeout; }

private:
    // How one exchange (or one step of it) ended: an OK answer; an ERR answer; the connection
    // lost (worth one new connection); no answer in time; an answer that is neither.
    enum class Exchange { Answered, Refused, Broken, TimedOut, Garbled };

    // Answered when connected, Broken when no server accepts, TimedOut when its queue stayed full.
    Exchange ConnectLocked();
    void DisconnectLocked();
    bool ConnectionAliveLocked();
    Exchange ExchangeLocked(const std::string& message, std::string_view payload,
                            std::string& answer);
    Exchange SendAllLocked(std::string_view bytes, std::chrono::steady_clock::time_point deadline);
    Exchange ReadLineLocked(std::string& line, std::chrono::steady_clock::time_point deadline);

    std::optional<std::vector<double>> RequestNumbers(const std::string& line, std::size_t count);
    bool RequestOk(const std::string& line, std::string_view payload = {});

    std::string m_path;
    std::chrono::milliseconds m_timeout;
    std::mutex m_mutex;
    int m_fd = -1;
    std::string m_pending; // bytes received after the last answer line
};

} // namespace carvento::earth
