#include "earth/SocketEarthClient.hpp"

#include "earth/EarthConnection.hpp"
#include "earth/EarthProtocol.hpp"

#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

namespace carvento::earth {
namespace {

using Clock = std::chrono::steady_clock;

// An answer line longer than this is no answer of ours; the connection is dropped.
constexpr std::size_t kMaxAnswerLength = 64 * 1024;

// Milliseconds left until the deadline, for poll (at least 0).
int RemainingMs(Clock::time_point deadline)
{
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0)
        return 0;
    return left.count() > INT_MAX ? INT_MAX : static_cast<int>(left.count());
}

// Waits for `events` on the socket; false on timeout or error.
bool WaitFor(int fd, short events, Clock::time_point deadline)
{
    while (true) {
        pollfd entry{fd, events, 0};
        int ready = ::poll(&entry, 1, RemainingMs(deadline));
        if (ready > 0)
            return true; // readable, writable or an error the next call reports
        if (ready == 0)
            return false;
        if (errno != EINTR)
            return false;
    }
}

std::optional<int> ToInt(std::string_view field)
{
    auto value = protocol::ParseInteger(field);
    if (!value || *value < INT_MIN || *value > INT_MAX)
        return std::nullopt;
    return static_cast<int>(*value);
}

} // namespace

SocketEarthClient::SocketEarthClient()
    : SocketEarthClient(protocol::DefaultSocketPath(), protocol::AnswerTimeout(kDefaultTimeout))
{
}

SocketEarthClient::SocketEarthClient(std::string socketPath, std::chrono::milliseconds timeout)
    : m_path(std::move(socketPath)), m_timeout(timeout)
{
}

SocketEarthClient::~SocketEarthClient()
{
    std::lock_guard lock(m_mutex);
    DisconnectLocked();
}

SocketEarthClient::Exchange SocketEarthClient::ConnectLocked()
{
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (m_path.empty() || m_path.size() >= sizeof address.sun_path)
        return Exchange::Broken;
    std::memcpy(address.sun_path, m_path.data(), m_path.size());

    int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return Exchange::Broken;
    // A local connect never waits: a server whose queue is full refuses with EAGAIN for the
    // moment, so try again until the timeout.
    const Clock::time_point deadline = Clock::now() + m_timeout;
    int result = -1;
    while (true) {
        result = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
        if (result == 0 || (errno != EAGAIN && errno != EINTR) || Clock::now() >= deadline)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    if (result != 0) {
        const bool full = errno == EAGAIN;
        ::close(fd);
        return full ? Exchange::TimedOut : Exchange::Broken;
    }
    m_fd = fd;
    m_pending.clear();
    return Exchange::Answered;
}

void SocketEarthClient::DisconnectLocked()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    m_pending.clear();
}

bool SocketEarthClient::ConnectionAliveLocked()
{
    if (m_fd < 0)
        return false;
    pollfd entry{m_fd, POLLIN, 0};
    if (::poll(&entry, 1, 0) < 0)
        return false;
    if (entry.revents & (POLLHUP | POLLERR | POLLNVAL))
        return false;
    if (entry.revents & POLLIN) {
        // Between requests the server sends nothing: this is the end of the connection or
        // bytes we cannot place.
        return false;
    }
    return true;
}

SocketEarthClient::Exchange SocketEarthClient::SendAllLocked(std::string_view bytes,
                                                             Clock::time_point deadline)
{
    while (!bytes.empty()) {
        ssize_t sent = ::send(m_fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (sent > 0) {
            bytes.remove_prefix(static_cast<std::size_t>(sent));
            continue;
        }
        if (sent < 0 && errno == EINTR)
            continue;
        if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            if (!WaitFor(m_fd, POLLOUT, deadline))
                return Exchange::TimedOut;
            continue;
        }
        return Exchange::Broken;
    }
    return Exchange::Answered;
}

SocketEarthClient::Exchange SocketEarthClient::ReadLineLocked(std::string& line,
                                                              Clock::time_point deadline)
{
    char buffer[16384];
    while (true) {
        std::size_t end = m_pending.find('\n');
        if (end != std::string::npos) {
            line.assign(m_pending, 0, end);
            m_pending.erase(0, end + 1);
            return Exchange::Answered;
        }
        if (m_pending.size() > kMaxAnswerLength)
            return Exchange::Garbled;
        ssize_t received = ::recv(m_fd, buffer, sizeof buffer, 0);
        if (received > 0) {
            m_pending.append(buffer, static_cast<std::size_t>(received));
            continue;
        }
        if (received == 0)
            return Exchange::Broken; // the server closed the connection
        if (errno == EINTR)
            continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK)
            return Exchange::Broken;
        if (!WaitFor(m_fd, POLLIN, deadline))
            return Exchange::TimedOut;
    }
}

SocketEarthClient::Exchange SocketEarthClient::ExchangeLocked(const std::string& message,
                                                              std::string_view payload,
                                                              std::string& answer)
{
    // The whole exchange, payload included, is bounded by one timeout per answer: a payload of
    // hundreds of megabytes gets time in proportion (10 MB/s at the least).
    auto budget = m_timeout + std::chrono::milliseconds(payload.size() / 10000);
    Clock::time_point deadline = Clock::now() + budget;
    Exchange step = SendAllLocked(message, deadline);
    if (step == Exchange::Answered)
        step = SendAllLocked(payload, deadline);
    if (step == Exchange::Answered)
        step = ReadLineLocked(answer, deadline);
    if (step != Exchange::Answered)
        return step;
    if (answer == "OK" || answer.starts_with("OK "))
        return Exchange::Answered;
    if (answer == "ERR" || answer.starts_with("ERR "))
        return Exchange::Refused;
    return Exchange::Garbled;
}

CallResult SocketEarthClient::Call(const std::string& line, std::vector<std::string>& fields,
                                   std::string_view payload)
{
    fields.clear();
    if (line.size() >= protocol::kMaxLineLength || line.find('\n') != std::string::npos)
        return {CallStatus::Refused, "request line too long"};
    std::string message = line + '\n';
    std::lock_guard lock(m_mutex);
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (m_fd >= 0 && !ConnectionAliveLocked())
            DisconnectLocked();
        if (m_fd < 0) {
            const Exchange connected = ConnectLocked();
            if (connected == Exchange::TimedOut)
                return {CallStatus::TimedOut, {}};
            if (connected != Exchange::Answered)
                return {CallStatus::Failed, messages::kConnectionLost};
        }
        std::string answer;
        Exchange exchange = ExchangeLocked(message, payload, answer);
        if (exchange == Exchange::Answered) {
            if (answer.size() > 3)
                for (std::string_view field :
                     protocol::SplitFields(std::string_view(answer).substr(3)))
                    fields.emplace_back(field);
            return {};
        }
        if (exchange == Exchange::Refused) // the server reads on after an ERR
            return {CallStatus::Refused, answer.size() > 4 ? answer.substr(4) : std::string()};
        // After anything else the connection is of no further use. A connection that was lost
        // is opened once more; a server that did not answer in time, or answered what we
        // cannot read, is not asked again.
        DisconnectLocked();
        if (exchange == Exchange::TimedOut)
            return {CallStatus::TimedOut, {}};
        if (exchange == Exchange::Garbled)
            return {CallStatus::Refused, "an answer that cannot be read"};
    }
    // Lost twice: once on the connection it had, once on a new one.
    return {CallStatus::Failed, messages::kConnectionLost};
}

std::optional<std::vector<std::string>> SocketEarthClient::Request(const std::string& line,
                                                                   std::string_view payload)
{
    std::vector<std::string> fields;
    if (!Call(line, fields, payload).Answered())
        return std::nullopt;
    return fields;
}

std::optional<std::vector<double>> SocketEarthClient::RequestNumbers(const std::string& line,
                                                                     std::size_t count)
{
    auto fields = Request(line);
    if (!fields || fields->size() != count)
        return std::nullopt;
    std::vector<double> numbers;
    for (const std::string& field : *fields) {
        auto number = protocol::ParseNumber(field);
        if (!number)
            return std::nullopt;
        numbers.push_back(*number);
    }
    return numbers;
}

bool SocketEarthClient::RequestOk(const std::string& line, std::string_view payload)
{
    auto fields = Request(line, payload);
    return fields && fields->empty();
}

bool SocketEarthClient::Running()
{
    std::lock_guard lock(m_mutex);
    if (ConnectionAliveLocked())
        return true;
    DisconnectLocked();
    return ConnectLocked() == Exchange::Answered;
}

int SocketEarthClient::IsInitialized()
{
    auto fields = Request("INITIALIZED");
    return fields && fields->size() == 1 && (*fields)[0] == "1" ? 1 : 0;
}

int SocketEarthClient::IsOnline()
{
    auto fields = Request("ONLINE");
    return fields && fields->size() == 1 && (*fields)[0] == "1" ? 1 : 0;
}

std::optional<EarthCamera> SocketEarthClient::Camera()
{
    auto numbers = RequestNumbers("CAMERA", 6);
    if (!numbers)
        return std::nullopt;
    const auto& n = *numbers;
    return EarthCamera{.latitude = n[0],
                       .longitude = n[1],
                       .altitude = n[2],
                       .range = n[3],
                       .tilt = n[4],
                       .azimuth = n[5]};
}

bool SocketEarthClient::SetCamera(const EarthCameraMove& move)
{
    return MoveCamera(move).Answered();
}

CallResult SocketEarthClient::MoveCamera(const EarthCameraMove& move)
{
    std::string line = "SETCAMERA";
    protocol::AppendNumber(line, move.latitude);
    protocol::AppendNumber(line, move.longitude);
    protocol::AppendNumber(line, move.altitude);
    protocol::AppendInteger(line, move.altitudeMode);
    protocol::AppendNumber(line, move.range);
    protocol::AppendNumber(line, move.tilt);
    protocol::AppendNumber(line, move.azimuth);
    protocol::AppendNumber(line, move.speed);
    std::vector<std::string> fields;
    CallResult result = Call(line, fields);
    if (result.Answered() && !fields.empty())
        return {CallStatus::Refused, "an answer that cannot be read"};
    return result;
}

bool SocketEarthClient::LoadKml(const std::string& kml)
{
    if (kml.size() > protocol::kMaxKmlBytes)
        return false;
    std::string line = "KML";
    protocol::AppendInteger(line, static_cast<long long>(kml.size()));
    return RequestOk(line, kml);
}

std::optional<double> SocketEarthClient::AutoPilotSpeed()
{
    auto numbers = RequestNumbers("SPEED", 1);
    if (!numbers)
        return std::nullopt;
    return (*numbers)[0];
}

std::optional<TerrainPoint> SocketEarthClient::PointOnTerrain(double x, double y)
{
    return QueryTerrain(x, y).point;
}

TerrainAnswer SocketEarthClient::QueryTerrain(double x, double y)
{
    std::string line = "TERRAIN";
    protocol::AppendNumber(line, x);
    protocol::AppendNumber(line, y);
    std::vector<std::string> fields;
    TerrainAnswer answer{Call(line, fields), std::nullopt};
    if (!answer.call.Answered())
        return answer;
    if (fields.size() == 1 && fields[0] == "none")
        return answer; // no ground there
    const auto unreadable = [] {
        return TerrainAnswer{{CallStatus::Refused, "an answer that cannot be read"}, std::nullopt};
    };
    if (fields.size() != 4)
        return unreadable();
    auto latitude = protocol::ParseNumber(fields[0]);
    auto longitude = protocol::ParseNumber(fields[1]);
    auto altitude = protocol::ParseNumber(fields[2]);
    const std::string& flag = fields[3];
    if (!latitude || !longitude || !altitude || (flag != "0" && flag != "1"))
        return unreadable();
    answer.point = TerrainPoint{.latitude = *latitude,
                                .longitude = *longitude,
                                .altitude = *altitude,
                                .hasElevation = flag == "1"};
    return answer;
}

namespace {

std::optional<EarthWindow> ToWindow(const std::optional<std::vector<std::string>>& fields)
{
    if (!fields || fields->size() != 4)
        return std::nullopt;
    auto left = ToInt((*fields)[0]);
    auto top = ToInt((*fields)[1]);
    auto width = ToInt((*fields)[2]);
    auto height = ToInt((*fields)[3]);
    if (!left || !top || !width || !height)
        return std::nullopt;
    return EarthWindow{.left = *left, .top = *top, .width = *width, .height = *height};
}

} // namespace

std::optional<EarthWindow> SocketEarthClient::MainWindow()
{
    return ToWindow(Request("MAINWINDOW"));
}

std::optional<EarthWindow> SocketEarthClient::RenderWindow()
{
    return ToWindow(Request("RENDERWINDOW"));
}

bool SocketEarthClient::MoveMainWindow(const EarthWindow& window)
{
    std::string line = "MOVEMAIN";
    protocol::AppendInteger(line, window.left);
    protocol::AppendInteger(line, window.top);
    protocol::AppendInteger(line, window.width);
    protocol::AppendInteger(line, window.height);
    return RequestOk(line);
}

bool SocketEarthClient::MoveRenderWindow(int width, int height)
{
    std::string line = "MOVERENDER";
    protocol::AppendInteger(line, width);
    protocol::AppendInteger(line, height);
    return RequestOk(line);
}

} // namespace carvento::earth
