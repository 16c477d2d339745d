// The update check over QtNetwork.
#include "shell/UpdateCheck.hpp"

#include "shell/Messages.hpp"

#include <QByteArray>
#include <QDate>
#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkProxyFactory>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>
#include <QUrl>

#include <cstdlib>

namespace carvento::shell {

namespace {

constexpr const char* kReleasePageVariable = "CARVENTO_RELEASE_URL";

// The system's proxy configuration for this manager only, without changing the process-wide
// application proxy other parts of the program may rely on.
class SystemProxyFactory final : public QNetworkProxyFactory {
public:
    QList<QNetworkProxy> queryProxy(const QNetworkProxyQuery& query) override
    {
        return systemProxyForQuery(query);
    }
};

// Asks whether to update; on OK hands the link to the desktop and returns 1.
int AskToUpdate(const ReleaseInfo& info, platform::Prompter& prompter,
                platform::Launcher& launcher)
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
    // The user's choice stands even when no browser takes the link: the answer is what counts.
    launcher.OpenUrl(info.link);
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

int TodayDayOfMonth() { return QDate::currentDate().day(); }

FetchResult FetchReleaseInfo(const std::string& address, const std::string& currentVersion,
                             int timeoutMs)
{
    const FetchResult failed;
    if (address.empty())
        return failed;
    const QUrl url(QString::fromStdString(address), QUrl::StrictMode);
    if (!url.isValid() || url.isRelative())
        return failed;

    // The loop first: on a thread Qt did not start, it installs the event dispatcher that the
    // timer and the network objects below need.
    QEventLoop loop;
    QNetworkAccessManager manager;
    manager.setProxyFactory(new SystemProxyFactory);
    QTimer deadline;
    deadline.setSingleShot(true);
    // A coarse timer may fire up to 5 % early; the timeout is a promise to wait this long.
    deadline.setTimerType(Qt::PreciseTimer);

    QNetworkRequest request(url);
    request.setHeader(QNetworkRequest::UserAgentHeader,
                      QStringLiteral("Carvento/%1").arg(QString::fromStdString(currentVersion)));
    QNetworkReply* reply = manager.get(request);

    // Read until the limit is reached or the reply ends, whichever comes first: one read of a
    // network stream may return only the first packet.
    QByteArray body;
    bool timedOut = false;
    const auto readMore = [&] {
        const qint64 wanted = static_cast<qint64>(kReleaseReadLimit) - body.size();
        if (wanted > 0)
            body += reply->read(wanted);
        if (body.size() >= static_cast<qint64>(kReleaseReadLimit))
            loop.quit();
    };
    QObject::connect(reply, &QNetworkReply::readyRead, &loop, readMore);
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    QObject::connect(&deadline, &QTimer::timeout, &loop, [&] {
        timedOut = true;
        loop.quit();
    });
    deadline.start(timeoutMs);
    if (!reply->isFinished())
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    deadline.stop();
    QObject::disconnect(reply, nullptr, &loop, nullptr);

    const bool complete = body.size() >= static_cast<qint64>(kReleaseReadLimit);
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (!complete && !timedOut && reply->isFinished() && reply->error() == QNetworkReply::NoError)
        readMore();
    const bool usable = !timedOut && status == 200 &&
                        (complete || (reply->isFinished() &&
                                      reply->error() == QNetworkReply::NoError));
    if (!reply->isFinished())
        reply->abort();
    if (!usable)
        return failed;

    const ReleaseBlock block =
        ParseReleaseBlock(std::string_view(body.constData(), static_cast<std::size_t>(body.size())));
    if (!block.ok())
        return failed;
    FetchResult result;
    result.info = block.info;
    result.result = CompareVersions(block.info.version, currentVersion);
    return result;
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
