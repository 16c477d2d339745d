// The update check over QtNetwork.
#include "shell/UpdateCheck.hpp"

#include "shell/Messages.hpp"

#include <QByteArray>
#include <QDate>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QNetworkProxyFactory>
#include <QSslSocket>
#include <QTimer>
#include <QUrl>

#include <algorithm>
#include <cstdlib>

namespace carvento::shell {

namespace {

constexpr const char* kReleasePageVariable = "CARVENTO_RELEASE_URL";

// The exchange is ours on a plain socket rather than QNetworkAccessManager's: that one reads
// whatever a server sends on a thread of its own, an endless header included, and its
// destructor then waits up to five seconds for that thread; neither the memory nor the time
// a hostile server costs could be bounded. Here every byte passes the limit check below,
// and the socket never buffers more than this many unread bytes.
constexpr qint64 kSocketBufferBytes = 16 * 1024;
// A chunk-size line is a hexadecimal number with optional extensions: a few dozen bytes.
constexpr qsizetype kLongestChunkLine = 1024;

bool IsWebScheme(const QUrl& url)
{
    const QString scheme = url.scheme().toLower();
    return scheme == QLatin1String("http") || scheme == QLatin1String("https");
}

// Reads one HTTP/1.1 answer fed in pieces as they arrive: the head (after any 1xx interim
// answers), then for status 200 the body up to kReleaseReadLimit bytes, decoding chunked
// transfer and honouring Content-Length; other statuses need no body.
class AnswerReader {
public:
    enum class State { Head, Body, Done, Failed };

    State state() const { return m_state; }
    bool finished() const { return m_state == State::Done || m_state == State::Failed; }
    int status() const { return m_status; }
    const QByteArray& location() const { return m_location; }
    const QByteArray& body() const { return m_body; }

    void feed(QByteArray bytes)
    {
        if (m_state == State::Head) {
            m_head += bytes;
            bytes.clear();
            const qsizetype end = m_head.indexOf("\r\n\r\n");
            const qsizetype bareEnd = m_head.indexOf("\n\n");
            if (end < 0 && bareEnd < 0)
                return;
            const bool crlf = end >= 0 && (bareEnd < 0 || end < bareEnd);
            const qsizetype headSize = crlf ? end : bareEnd;
            const QByteArray rest = m_head.mid(headSize + (crlf ? 4 : 2));
            if (!parseHead(m_head.left(headSize)))
                return fail();
            m_head.clear();
            if (m_status >= 100 && m_status < 200) // interim answer: the real one follows
                return feed(rest);
            if (m_status != 200 || (m_framing == Framing::Length && m_remaining == 0)) {
                m_state = State::Done;
                return;
            }
            m_state = State::Body;
            bytes = rest;
        }
        if (m_state == State::Body)
            feedBody(bytes);
    }

    // The server closed the connection.
    void endOfStream()
    {
        if (finished())
            return;
        if (m_state == State::Body && m_framing == Framing::UntilClose)
            m_state = State::Done;
        else
            fail();
    }

    void fail() { m_state = State::Failed; }

private:
    enum class Framing { UntilClose, Length, Chunked };
    enum class ChunkStep { SizeLine, Data, DataEnd };

    bool parseHead(const QByteArray& head)
    {
        const QList<QByteArray> lines = head.split('\n');
        const QByteArray statusLine = lines.front().trimmed();
        const QList<QByteArray> words = statusLine.split(' ');
        if (!statusLine.startsWith("HTTP/") || words.size() < 2 || words[1].size() != 3)
            return false;
        bool ok = false;
        m_status = words[1].toInt(&ok);
        if (!ok)
            return false;
        m_framing = Framing::UntilClose;
        m_location.clear();
        for (qsizetype i = 1; i < lines.size(); ++i) {
            const qsizetype colon = lines[i].indexOf(':');
            if (colon <= 0)
                continue;
            const QByteArray name = lines[i].left(colon).trimmed().toLower();
            const QByteArray value = lines[i].mid(colon + 1).trimmed();
            if (name == "location") {
                m_location = value;
            } else if (name == "transfer-encoding") {
                if (value.toLower().contains("chunked"))
                    m_framing = Framing::Chunked;
            } else if (name == "content-length" && m_framing != Framing::Chunked) {
                m_remaining = value.toLongLong(&ok);
                if (!ok || m_remaining < 0)
                    return false;
                m_framing = Framing::Length;
            }
        }
        return true;
    }

    void keep(const char* data, qsizetype size)
    {
        const qsizetype room = static_cast<qsizetype>(kReleaseReadLimit) - m_body.size();
        m_body.append(data, std::min(size, room));
        if (m_body.size() >= static_cast<qsizetype>(kReleaseReadLimit))
            m_state = State::Done; // only these bytes are examined: the rest is not waited for
    }

    void feedBody(const QByteArray& bytes)
    {
        switch (m_framing) {
        case Framing::UntilClose:
            keep(bytes.constData(), bytes.size());
            return;
        case Framing::Length: {
            const qsizetype take =
                static_cast<qsizetype>(std::min<qint64>(m_remaining, bytes.size()));
            m_remaining -= take;
            keep(bytes.constData(), take);
            if (m_remaining == 0 && !finished())
                m_state = State::Done;
            return;
        }
        case Framing::Chunked:
            m_pending += bytes;
            feedChunks();
            return;
        }
    }

    void feedChunks()
    {
        qsizetype pos = 0;
        while (!finished()) {
            if (m_chunkStep == ChunkStep::Data) {
                const qsizetype take =
                    static_cast<qsizetype>(std::min<qint64>(m_remaining, m_pending.size() - pos));
                keep(m_pending.constData() + pos, take);
                pos += take;
                m_remaining -= take;
                if (m_remaining > 0)
                    break;
                m_chunkStep = ChunkStep::DataEnd;
                continue;
            }
            const qsizetype newline = m_pending.indexOf('\n', pos);
            if (newline < 0) {
                if (m_pending.size() - pos > kLongestChunkLine)
                    fail();
                break;
            }
            const QByteArray line = m_pending.mid(pos, newline - pos).trimmed();
            pos = newline + 1;
            if (m_chunkStep == ChunkStep::DataEnd) {
                if (!line.isEmpty())
                    return fail();
                m_chunkStep = ChunkStep::SizeLine;
                continue;
            }
            bool ok = false;
            const qsizetype semicolon = line.indexOf(';');
            m_remaining =
                (semicolon < 0 ? line : line.left(semicolon)).trimmed().toLongLong(&ok, 16);
            if (!ok || m_remaining < 0)
                return fail();
            if (m_remaining == 0) // the last chunk; trailers are of no interest
                m_state = State::Done;
            else
                m_chunkStep = ChunkStep::Data;
        }
        m_pending.remove(0, pos);
    }

    State m_state = State::Head;
    int m_status = 0;
    QByteArray m_location;
    QByteArray m_head;
    QByteArray m_body;
    Framing m_framing = Framing::UntilClose;
    qint64 m_remaining = 0;
    ChunkStep m_chunkStep = ChunkStep::SizeLine;
    QByteArray m_pending;
};

// One GET of `url`, within `deadline` and reading at most `kReleaseAnswerLimit - received`
// bytes (`received` counts them). The reader says how far the answer got.
void Exchange(const QUrl& url, const QByteArray& userAgent, const QDeadlineTimer& deadline,
              long long& received, AnswerReader& reader)
{
    const bool secure = url.scheme().toLower() == QLatin1String("https");
    if (secure && !QSslSocket::supportsSsl())
        return reader.fail();

    // The loop first: on a thread Qt did not start, it installs the event dispatcher that the
    // timer and the socket below need.
    QEventLoop loop;
    QSslSocket socket;
    socket.setReadBufferSize(kSocketBufferBytes);

    // The system's proxy for this request only, leaving the process-wide application proxy
    // alone. A plain-http request goes to an HTTP proxy in absolute form; https and SOCKS go
    // through the socket's own tunnel.
    QString host = url.host();
    quint16 port = static_cast<quint16>(url.port(secure ? 443 : 80));
    bool absoluteForm = false;
    socket.setProxy(QNetworkProxy::NoProxy);
    const QList<QNetworkProxy> proxies =
        QNetworkProxyFactory::systemProxyForQuery(QNetworkProxyQuery(url));
    if (!proxies.isEmpty()) {
        const QNetworkProxy& proxy = proxies.front();
        const bool httpProxy = proxy.type() == QNetworkProxy::HttpProxy ||
                               proxy.type() == QNetworkProxy::HttpCachingProxy;
        if (httpProxy && !secure) {
            host = proxy.hostName();
            port = proxy.port();
            absoluteForm = true;
        } else if (proxy.type() == QNetworkProxy::HttpProxy ||
                   proxy.type() == QNetworkProxy::Socks5Proxy) {
            socket.setProxy(proxy);
        }
    }

    QByteArray target = absoluteForm ? url.toEncoded(QUrl::RemoveFragment)
                                     : url.toEncoded(QUrl::RemoveScheme | QUrl::RemoveAuthority |
                                                     QUrl::RemoveFragment);
    if (target.isEmpty())
        target = "/";
    QByteArray hostHeader = url.host(QUrl::FullyEncoded).toLatin1();
    if (hostHeader.contains(':'))
        hostHeader = '[' + hostHeader + ']';
    if (url.port() != -1)
        hostHeader += ':' + QByteArray::number(url.port());
    const QByteArray request = "GET " + target + " HTTP/1.1\r\nHost: " + hostHeader +
                               "\r\nUser-Agent: " + userAgent +
                               "\r\nAccept: */*\r\nConnection: close\r\n\r\n";

    const auto readAvailable = [&] {
        while (!reader.finished() && socket.bytesAvailable() > 0) {
            const qint64 room = kReleaseAnswerLimit - received;
            if (room <= 0)
                return reader.fail(); // too much before the examined part was in
            const QByteArray piece = socket.read(std::min(room, socket.bytesAvailable()));
            received += piece.size();
            reader.feed(piece);
        }
    };
    const auto settle = [&] {
        if (reader.finished())
            loop.quit();
    };
    const auto sendRequest = [&] { socket.write(request); };
    QObject::connect(&socket, &QSslSocket::readyRead, &loop, [&] {
        readAvailable();
        settle();
    });
    QObject::connect(&socket, &QSslSocket::disconnected, &loop, [&] {
        readAvailable();
        reader.endOfStream();
        settle();
    });
    QObject::connect(&socket, &QAbstractSocket::errorOccurred, &loop,
                     [&](QAbstractSocket::SocketError error) {
                         readAvailable();
                         if (error == QAbstractSocket::RemoteHostClosedError)
                             reader.endOfStream();
                         else
                             reader.fail();
                         settle();
                     });
    if (secure)
        QObject::connect(&socket, &QSslSocket::encrypted, &loop, sendRequest);
    else
        QObject::connect(&socket, &QSslSocket::connected, &loop, sendRequest);

    QTimer timer;
    timer.setSingleShot(true);
    // A coarse timer may fire up to 5 % early; the timeout is a promise to wait this long.
    timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer, &QTimer::timeout, &loop, [&] {
        reader.fail();
        loop.quit();
    });
    if (deadline.hasExpired())
        return reader.fail();
    timer.start(static_cast<int>(std::max<qint64>(1, deadline.remainingTime())));

    if (secure)
        socket.connectToHostEncrypted(host, port, url.host());
    else
        socket.connectToHost(host, port);
    if (!reader.finished())
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    timer.stop();
    QObject::disconnect(&socket, nullptr, &loop, nullptr);
    socket.abort();
}

// Asks whether to update; on OK hands the link to the desktop and returns 1.
int AskToUpdate(const ReleaseInfo& info, platform::Prompter& prompter, platform::Launcher& launcher)
{
    platform::Message question;
    question.buttons = platform::MessageButtons::OkCancel;
    if (!info.description.empty()) {
        question.text = info.description;
        question.caption = messages::kNewVersionQuestion;
    } else {
        question.text = messages::kNewVersionQuestion;
        question.caption = messages::kApplicationTitle;
    }
    if (prompter.ShowMessage(question) != platform::MessageAnswer::Ok)
        return 0;
    // The link comes from the network: only a web address goes to the desktop, which would
    // otherwise run whatever handler a file: or custom scheme names.
    const QString link = QString::fromStdString(info.link).trimmed();
    const QUrl url(link, QUrl::StrictMode);
    if (!url.isValid() || !IsWebScheme(url) || url.host().isEmpty())
        return 0;
    // The user's choice stands even when no browser takes the link: the answer is what counts.
    launcher.OpenUrl(link.toStdString());
    return 1;
}

void Tell(platform::Prompter& prompter, const char* text)
{
    prompter.ShowMessage(platform::Message{text, messages::kApplicationTitle,
                                           platform::MessageIcon::None,
                                           platform::MessageButtons::Ok});
}

} // namespace

std::string ReleasePageAddress()
{
    if (const char* value = std::getenv(kReleasePageVariable))
        return value;
    return kDefaultReleasePage;
}

int TodayDayOfMonth()
{
    return QDate::currentDate().day();
}

FetchResult FetchReleaseInfo(const std::string& address, const std::string& currentVersion,
                             int timeoutMs)
{
    FetchResult result;
    if (address.empty())
        return result;
    QUrl url(QString::fromStdString(address), QUrl::StrictMode);
    if (!url.isValid() || url.isRelative() || !IsWebScheme(url) || url.host().isEmpty())
        return result;

    const QDeadlineTimer deadline(timeoutMs, Qt::PreciseTimer);
    const QByteArray userAgent = "Carvento/" + QByteArray::fromStdString(currentVersion);
    for (int redirects = 0;; ++redirects) {
        AnswerReader reader;
        Exchange(url, userAgent, deadline, result.bytesReceived, reader);
        if (reader.state() != AnswerReader::State::Done)
            return result;
        const int status = reader.status();
        const bool redirect = status == 301 || status == 302 || status == 303 || status == 307 ||
                              status == 308;
        if (redirect && !reader.location().isEmpty()) {
            if (redirects == kMostRedirects)
                return result;
            const QUrl next = url.resolved(QUrl::fromEncoded(reader.location()));
            // Never from https down to http, as browsers do not either.
            const bool downgrade = url.scheme().toLower() == QLatin1String("https") &&
                                   next.scheme().toLower() != QLatin1String("https");
            if (!next.isValid() || !IsWebScheme(next) || next.host().isEmpty() || downgrade)
                return result;
            url = next;
            continue;
        }
        if (status != 200)
            return result;
        const QByteArray& body = reader.body();
        const ReleaseBlock block = ParseReleaseBlock(
            std::string_view(body.constData(), static_cast<std::size_t>(body.size())));
        if (!block.Ok())
            return result;
        result.info = block.info;
        result.result = CompareVersions(block.info.version, currentVersion);
        return result;
    }
}

int CheckForUpdateDaily(platform::Profile& profile, platform::Prompter& prompter,
                        platform::Launcher& launcher, const std::string& address,
                        const std::string& currentVersion, int today, int timeoutMs)
{
    if (profile.GetInt("", kLastCheckDayKey, 0) == today)
        return 0;
    profile.SetInt("", kLastCheckDayKey, today);
    const FetchResult fetched = FetchReleaseInfo(address, currentVersion, timeoutMs);
    if (fetched.result <= 0)
        return 0;
    return AskToUpdate(fetched.info, prompter, launcher);
}

int CheckForUpdateInteractive(platform::Prompter& prompter, platform::Launcher& launcher,
                              const std::string& address, const std::string& currentVersion,
                              int timeoutMs)
{
    const FetchResult fetched = FetchReleaseInfo(address, currentVersion, timeoutMs);
    if (fetched.result == kFetchFailed) {
        Tell(prompter, messages::kNetworkError);
        return 0;
    }
    if (fetched.result <= 0) {
        Tell(prompter, messages::kUpToDate);
        return 0;
    }
    return AskToUpdate(fetched.info, prompter, launcher);
}

} // namespace carvento::shell
