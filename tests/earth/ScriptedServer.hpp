// A globe server on its own thread for tests: it answers each request line with what the script
// returns. A line is sent; nothing closes the connection without an answer; kNoAnswer reads on
// without answering (a globe that hangs); kGoAway closes the connection and stops listening (a
// globe that has quit). Connections are served one after the other and counted.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <functional>
#include <optional>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

namespace carvento::testing {

class ScriptedServer {
public:
    using Script = std::function<std::optional<std::string>(const std::string& line)>;
    static constexpr const char* kNoAnswer = "\x01no answer";
    static constexpr const char* kGoAway = "\x01go away";

    ScriptedServer(const std::string& path, Script script) : m_script(std::move(script))
    {
        m_listener = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
        EXPECT_EQ(::bind(m_listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        EXPECT_EQ(::listen(m_listener, 8), 0);
        m_thread = std::thread([this] { Serve(); });
    }
    ~ScriptedServer()
    {
        m_stop = true;
        m_thread.join();
        if (m_listener >= 0)
            ::close(m_listener);
    }
    ScriptedServer(const ScriptedServer&) = delete;
    ScriptedServer& operator=(const ScriptedServer&) = delete;

    int Connections() const { return m_connections; }
    int Requests() const { return m_requests; }

private:
    bool Wait(int fd)
    {
        while (!m_stop) {
            pollfd entry{fd, POLLIN, 0};
            if (::poll(&entry, 1, 20) > 0)
                return true;
        }
        return false;
    }

    void Serve()
    {
        while (Wait(m_listener)) {
            int connection = ::accept(m_listener, nullptr, nullptr);
            if (connection < 0)
                continue;
            ++m_connections;
            std::string buffer;
            char bytes[4096];
            bool open = true;
            bool gone = false;
            while (open && Wait(connection)) {
                ssize_t received = ::recv(connection, bytes, sizeof bytes, 0);
                if (received <= 0)
                    break;
                buffer.append(bytes, static_cast<std::size_t>(received));
                std::size_t end;
                while (open && (end = buffer.find('\n')) != std::string::npos) {
                    std::string line = buffer.substr(0, end);
                    buffer.erase(0, end + 1);
                    ++m_requests;
                    std::optional<std::string> answer = m_script(line);
                    if (!answer || *answer == kGoAway) {
                        gone = answer.has_value();
                        open = false;
                        break;
                    }
                    if (*answer == kNoAnswer)
                        continue;
                    *answer += '\n';
                    ::send(connection, answer->data(), answer->size(), MSG_NOSIGNAL);
                }
            }
            ::close(connection);
            if (gone) {
                ::close(m_listener);
                m_listener = -1;
                return;
            }
        }
    }

    Script m_script;
    int m_listener = -1;
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_connections{0};
    std::atomic<int> m_requests{0};
    std::thread m_thread;
};

} // namespace carvento::testing
