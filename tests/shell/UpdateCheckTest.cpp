// The update check against a release page served on the loopback interface.
#include "shell/UpdateCheck.hpp"
#include "support/FakePlatform.hpp"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <thread>

using namespace carvento::shell;
using carvento::platform::MemoryProfile;
using carvento::platform::MessageAnswer;
using carvento::platform::MessageButtons;
using carvento::testing::FakeLauncher;
using carvento::testing::FakePrompter;

namespace {

constexpr const char* kLink = "https://www.hvfactory.cn/carvento/Carvento-8.0.1.zip";
constexpr const char* kDescription = "修正换带计算";

std::string Page(const std::string& version, const std::string& description = kDescription)
{
    return "<html><body><p>Version:" + version + ";" + description + "</p><p>" + kLink +
           "</p>Version-End</p></body></html>";
}

// A one-page HTTP server on 127.0.0.1 that counts the requests it receives. It answers with a
// canned status and body, optionally holding back all but the first `firstPart` bytes of the
// body for `pauseMs`, or keeping the connection open after `firstPart` bytes for good.
class ReleaseServer {
public:
    int status = 200;
    std::string body;
    std::size_t firstPart = std::string::npos;
    int pauseMs = -1;    // -1: never send the rest
    bool silent = false; // accept, read the request and never answer
    // When set, answers the request instead of the canned answer above.
    std::function<void(QTcpSocket*)> respond;
    int requests = 0;

    ReleaseServer()
    {
        EXPECT_TRUE(m_server.listen(QHostAddress::LocalHost, 0));
        QObject::connect(&m_server, &QTcpServer::newConnection, [this] { Accept(); });
    }

    std::string Address() const
    {
        return "http://127.0.0.1:" + std::to_string(m_server.serverPort()) + "/release.html";
    }

private:
    void Accept()
    {
        while (QTcpSocket* socket = m_server.nextPendingConnection()) {
            socket->setParent(&m_server);
            QObject::connect(socket, &QTcpSocket::readyRead, socket,
                             [this, socket] { Read(socket); });
        }
    }

    void Read(QTcpSocket* socket)
    {
        QByteArray& request = m_requests[socket];
        request += socket->readAll();
        if (!request.contains("\r\n\r\n") || !m_answered.insert(socket).second)
            return;
        ++requests;
        if (silent)
            return;
        if (respond)
            return respond(socket);
        const QByteArray head = QStringLiteral("HTTP/1.1 %1 %2\r\n"
                                               "Content-Type: text/html; charset=utf-8\r\n"
                                               "Content-Length: %3\r\n"
                                               "Connection: close\r\n\r\n")
                                    .arg(status)
                                    .arg(status == 200 ? "OK" : "Not Found")
                                    .arg(body.size())
                                    .toLatin1();
        const QByteArray all = head + QByteArray::fromStdString(body);
        const qsizetype sendNow = firstPart == std::string::npos
                                      ? all.size()
                                      : head.size() + static_cast<qsizetype>(firstPart);
        socket->write(all.left(sendNow));
        if (sendNow == all.size()) {
            socket->disconnectFromHost();
        } else if (pauseMs >= 0) {
            QTimer::singleShot(pauseMs, socket, [socket, rest = all.mid(sendNow)] {
                socket->write(rest);
                socket->disconnectFromHost();
            });
        }
    }

    QTcpServer m_server;
    std::map<QTcpSocket*, QByteArray> m_requests;
    std::set<QTcpSocket*> m_answered;
};

// An address on which nothing listens: a port just given up by a server.
std::string RefusingAddress()
{
    QTcpServer server;
    EXPECT_TRUE(server.listen(QHostAddress::LocalHost, 0));
    const quint16 port = server.serverPort();
    server.close();
    return "http://127.0.0.1:" + std::to_string(port) + "/release.html";
}

constexpr int kTestTimeoutMs = 3000;
// Slack for a loaded test machine on top of a timeout.
constexpr int kSlackMs = 1500;
// The longest a start-up without network may be held up.
constexpr int kFewSecondsMs = 5000;

struct FetchCase {
    const char* name;
    int status;
    std::string body;
    int expected;
};

// Test listings show the case's name instead of its bytes.
void PrintTo(const FetchCase& c, std::ostream* os)
{
    *os << c.name;
}

class FetchReleaseInfoTest : public ::testing::TestWithParam<FetchCase> {};

} // namespace

TEST_P(FetchReleaseInfoTest, ResultForThePage)
{
    ReleaseServer server;
    server.status = GetParam().status;
    server.body = GetParam().body;
    const FetchResult fetched = FetchReleaseInfo(server.Address(), "8.0.0", kTestTimeoutMs);
    EXPECT_EQ(GetParam().expected, fetched.result);
    EXPECT_EQ(1, server.requests);
}

INSTANTIATE_TEST_SUITE_P(
    Pages, FetchReleaseInfoTest,
    ::testing::Values(
        FetchCase{"Newer", 200, Page("8.0.1"), 1},
        FetchCase{"NewerByTwoDigits", 200, Page("10.0.0"), 1},
        FetchCase{"Same", 200, Page("8.0.0"), 0}, FetchCase{"Older", 200, Page("7.9.12"), -1},
        FetchCase{"NoMarkers", 200, "<html><p>8.0.1;text</p><p>link</p></html>", kFetchFailed},
        FetchCase{"NoSeparator", 200, "Version:8.0.1</p>link</p>Version-End", kFetchFailed},
        FetchCase{"MarkersBeyond3000Bytes", 200,
                  std::string(kReleaseReadLimit, ' ') + Page("8.0.1"), kFetchFailed},
        FetchCase{"NotFoundWithABlockInTheBody", 404, Page("8.0.1"), kFetchFailed},
        FetchCase{"EmptyBody", 200, "", kFetchFailed}),
    [](const ::testing::TestParamInfo<FetchCase>& info) { return std::string(info.param.name); });

TEST(FetchReleaseInfo, WaitsForABodyThatArrivesInPieces)
{
    ReleaseServer server;
    server.body = Page("8.0.1");
    server.firstPart = 30; // the start marker, but not the end marker
    server.pauseMs = 200;
    EXPECT_EQ(1, FetchReleaseInfo(server.Address(), "8.0.0", kTestTimeoutMs).result);
}

TEST(FetchReleaseInfo, StopsReadingAfterTheFirst3000Bytes)
{
    // A long page whose rest never comes: the block lies in the first 3000 bytes, so the
    // check must not wait for the end of the body.
    ReleaseServer server;
    server.body = Page("8.0.1") + std::string(200000, ' ');
    server.firstPart = kReleaseReadLimit + 500;
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(1, FetchReleaseInfo(server.Address(), "8.0.0", kTestTimeoutMs).result);
    EXPECT_LT(clock.elapsed(), kTestTimeoutMs);
}

TEST(FetchReleaseInfo, FailsWithoutARequestForAnEmptyOrRelativeAddress)
{
    EXPECT_EQ(kFetchFailed, FetchReleaseInfo("", "8.0.0", kTestTimeoutMs).result);
    EXPECT_EQ(kFetchFailed, FetchReleaseInfo("release.html", "8.0.0", kTestTimeoutMs).result);
}

TEST(FetchReleaseInfo, RefusedConnectionFails)
{
    EXPECT_EQ(kFetchFailed, FetchReleaseInfo(RefusingAddress(), "8.0.0", kTestTimeoutMs).result);
}

TEST(FetchReleaseInfo, SilentServerTimesOut)
{
    ReleaseServer server;
    server.silent = true;
    constexpr int kTimeoutMs = 500;
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(kFetchFailed, FetchReleaseInfo(server.Address(), "8.0.0", kTimeoutMs).result);
    EXPECT_GE(clock.elapsed(), kTimeoutMs);
    EXPECT_LT(clock.elapsed(), kTimeoutMs + kSlackMs);
    EXPECT_EQ(1, server.requests);
}

// Keeps the client's socket full with `block` repeated, after `first`, until it hangs up (or
// 64 MB went out, so a client that never stops cannot hold the test for ever).
void Flood(QTcpSocket* socket, const QByteArray& first, const QByteArray& block)
{
    socket->write(first);
    auto sent = std::make_shared<qint64>(0);
    const auto pump = [socket, block, sent] {
        while (socket->state() == QAbstractSocket::ConnectedState &&
               socket->bytesToWrite() < 256 * 1024 && *sent < 64 * 1024 * 1024) {
            socket->write(block);
            *sent += block.size();
        }
    };
    QObject::connect(socket, &QTcpSocket::bytesWritten, socket, pump);
    pump();
}

QByteArray Repeated(const QByteArray& line, int times)
{
    QByteArray block;
    for (int i = 0; i < times; ++i)
        block += line;
    return block;
}

TEST(FetchReleaseInfo, EndlessHeaderStopsAtTheAnswerLimitWellBeforeTheTimeout)
{
    ReleaseServer server;
    server.respond = [](QTcpSocket* socket) {
        Flood(socket, "HTTP/1.1 200 OK\r\n",
              Repeated("X-Flood: " + QByteArray(500, 'a') + "\r\n", 128));
    };
    QElapsedTimer clock;
    clock.start();
    const FetchResult fetched = FetchReleaseInfo(server.Address(), "8.0.0", kTestTimeoutMs);
    EXPECT_EQ(kFetchFailed, fetched.result);
    EXPECT_EQ(kReleaseAnswerLimit, fetched.bytesReceived);
    EXPECT_LT(clock.elapsed(), kTestTimeoutMs);
}

TEST(FetchReleaseInfo, TrickleEndsAtTheTimeoutForTheWholeExchange)
{
    // One byte every 20 ms: every single read is quick, the exchange never ends.
    ReleaseServer server;
    server.respond = [](QTcpSocket* socket) {
        socket->write("HTTP/1.1 200 OK\r\nX-Slow: ");
        auto* drip = new QTimer(socket);
        QObject::connect(drip, &QTimer::timeout, socket, [socket] { socket->write("a"); });
        drip->start(20);
    };
    constexpr int kTimeoutMs = 800;
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(kFetchFailed, FetchReleaseInfo(server.Address(), "8.0.0", kTimeoutMs).result);
    EXPECT_GE(clock.elapsed(), kTimeoutMs);
    EXPECT_LT(clock.elapsed(), kTimeoutMs + kSlackMs);
}

TEST(FetchReleaseInfo, ChunkedBodyAndRedirectsReachTheBlock)
{
    ReleaseServer page;
    page.respond = [](QTcpSocket* socket) {
        const std::string body = Page("8.0.1");
        const std::size_t half = body.size() / 2;
        std::ostringstream chunked;
        chunked << std::hex << half << ";note=1\r\n"
                << body.substr(0, half) << "\r\n"
                << body.size() - half << "\r\n"
                << body.substr(half) << "\r\n0\r\n\r\n";
        socket->write("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n" +
                      QByteArray::fromStdString(chunked.str()));
        socket->disconnectFromHost();
    };
    ReleaseServer moved;
    moved.status = 302;
    moved.respond = [&page](QTcpSocket* socket) {
        socket->write(QByteArray("HTTP/1.1 302 Found\r\nLocation: ") +
                      QByteArray::fromStdString(page.Address()) + "\r\nContent-Length: 0\r\n\r\n");
        socket->disconnectFromHost();
    };
    EXPECT_EQ(1, FetchReleaseInfo(moved.Address(), "8.0.0", kTestTimeoutMs).result);
    EXPECT_EQ(1, moved.requests);
    EXPECT_EQ(1, page.requests);
}

TEST(FetchReleaseInfo, RedirectLoopGivesUp)
{
    ReleaseServer loop;
    loop.respond = [](QTcpSocket* socket) {
        socket->write("HTTP/1.1 301 Moved\r\nLocation: /again.html\r\nContent-Length: 0\r\n\r\n");
        socket->disconnectFromHost();
    };
    EXPECT_EQ(kFetchFailed, FetchReleaseInfo(loop.Address(), "8.0.0", kTestTimeoutMs).result);
    EXPECT_EQ(kMostRedirects + 1, loop.requests);
}

TEST(UpdateCheckDaily, SameDayOfTheMonthMakesNoRequest)
{
    ReleaseServer server;
    server.body = Page("8.0.1");
    MemoryProfile profile;
    profile.SetInt("", "Version", 5); // checked on the 5th, started on the 5th of a later month
    FakePrompter prompter;
    FakeLauncher launcher;
    EXPECT_EQ(0, CheckForUpdateDaily(profile, prompter, launcher, server.Address(), "8.0.0", 5,
                                     kTestTimeoutMs));
    EXPECT_EQ(0, server.requests);
    EXPECT_TRUE(prompter.messages.empty());
}

TEST(UpdateCheckDaily, OtherDayStoresTheDayAndAsksWithTheDescription)
{
    ReleaseServer server;
    server.body = Page("8.0.1");
    MemoryProfile profile;
    profile.SetInt("", "Version", 5);
    FakePrompter prompter;
    prompter.messageAnswers = {MessageAnswer::Cancel};
    FakeLauncher launcher;
    EXPECT_EQ(0, CheckForUpdateDaily(profile, prompter, launcher, server.Address(), "8.0.0", 6,
                                     kTestTimeoutMs));
    EXPECT_EQ(1, server.requests);
    EXPECT_EQ(6, profile.GetInt("", "Version", 0));
    ASSERT_EQ(1u, prompter.messages.size());
    EXPECT_EQ(kDescription, prompter.messages[0].text);
    EXPECT_EQ("存在新版本，是否更新?", prompter.messages[0].caption);
    EXPECT_EQ(MessageButtons::OkCancel, prompter.messages[0].buttons);
    EXPECT_TRUE(launcher.urls.empty());
}

TEST(UpdateCheckDaily, FirstStartEverChecksAndOkOpensTheLink)
{
    ReleaseServer server;
    server.body = Page("8.0.1");
    MemoryProfile profile; // no stored day: 0 never matches a day of the month
    FakePrompter prompter;
    prompter.messageAnswers = {MessageAnswer::Ok};
    FakeLauncher launcher;
    EXPECT_EQ(1, CheckForUpdateDaily(profile, prompter, launcher, server.Address(), "8.0.0", 1,
                                     kTestTimeoutMs));
    EXPECT_EQ(std::vector<std::string>{kLink}, launcher.urls);
    EXPECT_EQ(1, profile.GetInt("", "Version", 0));
}

TEST(UpdateCheckDaily, FailuresAndCurrentVersionsStaySilent)
{
    for (const auto& [status, body] :
         std::vector<std::pair<int, std::string>>{{200, Page("8.0.0")}, {404, Page("9.0.0")}}) {
        ReleaseServer server;
        server.status = status;
        server.body = body;
        MemoryProfile profile;
        FakePrompter prompter;
        FakeLauncher launcher;
        EXPECT_EQ(0, CheckForUpdateDaily(profile, prompter, launcher, server.Address(), "8.0.0", 17,
                                         kTestTimeoutMs));
        EXPECT_EQ(1, server.requests);
        EXPECT_TRUE(prompter.messages.empty()) << body;
        EXPECT_EQ(17, profile.GetInt("", "Version", 0));
    }
}

TEST(UpdateCheckDaily, GivesUpSilentlyWithinTheStartupTimeout)
{
    ReleaseServer server;
    server.silent = true;
    MemoryProfile profile;
    FakePrompter prompter;
    FakeLauncher launcher;
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(0, CheckForUpdateDaily(profile, prompter, launcher, server.Address(), "8.0.0", 9));
    EXPECT_LT(clock.elapsed(), kFewSecondsMs + kSlackMs);
    EXPECT_TRUE(prompter.messages.empty());
}

TEST(UpdateCheckInteractive, OnlyAWebLinkIsOpened)
{
    for (const char* link : {"file:///etc/passwd", "javascript:alert(1)", "smb://host/share/x.exe",
                             "<img src=\"/dev/zero\">"}) {
        ReleaseServer server;
        server.body = "Version:9.0.0;新版本</p><p>" + std::string(link) + "</p>Version-End";
        FakePrompter prompter;
        prompter.messageAnswers = {MessageAnswer::Ok};
        FakeLauncher launcher;
        EXPECT_EQ(0, CheckForUpdateInteractive(prompter, launcher, server.Address(), "8.0.0",
                                               kTestTimeoutMs))
            << link;
        EXPECT_EQ(std::vector<std::string>{"新版本"}, prompter.MessageTexts()) << link;
        EXPECT_TRUE(launcher.urls.empty()) << link;
    }
}

TEST(UpdateCheckInteractive, CurrentOrOlderReleaseIsUpToDate)
{
    for (const char* version : {"8.0", "7.9.9"}) {
        ReleaseServer server;
        server.body = Page(version);
        FakePrompter prompter;
        FakeLauncher launcher;
        EXPECT_EQ(0, CheckForUpdateInteractive(prompter, launcher, server.Address(), "8.0.0",
                                               kTestTimeoutMs));
        ASSERT_EQ(1u, prompter.messages.size()) << version;
        EXPECT_EQ("当前为最新版本!", prompter.messages[0].text);
        EXPECT_EQ("Carvento", prompter.messages[0].caption);
        EXPECT_EQ(MessageButtons::Ok, prompter.messages[0].buttons);
    }
}

TEST(UpdateCheckInteractive, EveryFailureIsANetworkError)
{
    ReleaseServer notFound;
    notFound.status = 404;
    notFound.body = Page("9.0.0");
    ReleaseServer noMarkers;
    noMarkers.body = "<html>8.0.1</html>";
    ReleaseServer beyond;
    beyond.body = std::string(kReleaseReadLimit, '-') + Page("9.0.0");
    for (const std::string& address :
         {notFound.Address(), noMarkers.Address(), beyond.Address(), RefusingAddress()}) {
        FakePrompter prompter;
        FakeLauncher launcher;
        EXPECT_EQ(0,
                  CheckForUpdateInteractive(prompter, launcher, address, "8.0.0", kTestTimeoutMs));
        EXPECT_EQ(std::vector<std::string>{"网络连接异常!"}, prompter.MessageTexts()) << address;
        EXPECT_EQ("Carvento", prompter.messages.at(0).caption);
    }
}

TEST(UpdateCheckInteractive, NewerReleaseWithoutDescriptionAsksInItsOwnWords)
{
    ReleaseServer server;
    server.body = "Version:10.0.0;Version-End";
    FakePrompter prompter;
    prompter.messageAnswers = {MessageAnswer::Cancel};
    FakeLauncher launcher;
    EXPECT_EQ(0, CheckForUpdateInteractive(prompter, launcher, server.Address(), "8.0.0",
                                           kTestTimeoutMs));
    ASSERT_EQ(1u, prompter.messages.size());
    EXPECT_EQ("存在新版本，是否更新?", prompter.messages[0].text);
    EXPECT_EQ("Carvento", prompter.messages[0].caption);
    EXPECT_EQ(MessageButtons::OkCancel, prompter.messages[0].buttons);
    EXPECT_TRUE(launcher.urls.empty());
}

TEST(UpdateCheckInteractive, RunsOnAThreadOfItsOwnAndOkOpensTheLink)
{
    ReleaseServer server;
    server.body = Page("8.0.1");
    FakePrompter prompter;
    prompter.messageAnswers = {MessageAnswer::Ok};
    FakeLauncher launcher;
    std::atomic<bool> done = false;
    int result = -1;
    const std::string address = server.Address();
    std::thread worker([&] {
        result = CheckForUpdateInteractive(prompter, launcher, address, "8.0.0", kTestTimeoutMs);
        done = true;
    });
    // The server lives on this thread: keep serving until the worker has its answer.
    QElapsedTimer clock;
    clock.start();
    while (!done && clock.elapsed() < kTestTimeoutMs + kSlackMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    worker.join();
    EXPECT_EQ(1, result);
    EXPECT_EQ(std::vector<std::string>{kDescription}, prompter.MessageTexts());
    EXPECT_EQ(std::vector<std::string>{kLink}, launcher.urls);
}

TEST(ReleasePageAddress, EnvironmentOverridesTheMakersPage)
{
    qunsetenv("CARVENTO_RELEASE_URL");
    EXPECT_EQ(kDefaultReleasePage, ReleasePageAddress());
    qputenv("CARVENTO_RELEASE_URL", "http://127.0.0.1:8080/r.html");
    EXPECT_EQ("http://127.0.0.1:8080/r.html", ReleasePageAddress());
    // Set but empty switches the check off: an empty address fails without a request.
    qputenv("CARVENTO_RELEASE_URL", "");
    EXPECT_EQ("", ReleasePageAddress());
    qunsetenv("CARVENTO_RELEASE_URL");
}
