// Connecting to the globe and checking that it is ready.
#include "earth/EarthConnection.hpp"

#include <algorithm>
#include <string>

namespace carvento::earth {
namespace {

void Notice(platform::Prompter& prompter, const char* text)
{
    prompter.ShowMessage({text, messages::kNoticeCaption, platform::MessageIcon::Information,
                          platform::MessageButtons::Ok});
}

void Warn(platform::Prompter& prompter, const char* text)
{
    prompter.ShowMessage({text, messages::kApplicationTitle, platform::MessageIcon::Warning,
                          platform::MessageButtons::Ok});
}

std::string WithArgument(const char* pattern, const std::string& argument)
{
    std::string text = pattern;
    const std::size_t at = text.find("%s") != std::string::npos ? text.find("%s") : text.find("%d");
    if (at != std::string::npos)
        text.replace(at, 2, argument);
    return text;
}

// The globe is not running: offers to start the starter's program and waits for its answer.
// True once it runs.
bool StartEarth(EarthClient& client, const EarthStarter& starter, platform::Prompter& prompter)
{
    const std::string program = starter.program ? starter.program() : std::string();
    if (program.empty() || !starter.start) {
        Notice(prompter, messages::kNotRunning);
        return false;
    }
    const std::string question = std::string(messages::kNotRunning) + "\n\n" +
                                 WithArgument(messages::kOfferStart, program);
    if (prompter.ShowMessage({question, messages::kNoticeCaption, platform::MessageIcon::Question,
                              platform::MessageButtons::YesNo}) != platform::MessageAnswer::Yes)
        return false;
    if (!starter.start(program)) {
        Warn(prompter, WithArgument(messages::kStartFailed, program).c_str());
        return false;
    }
    for (int look = 0; look < starter.looks; ++look) {
        if (starter.pause)
            starter.pause();
        if (client.Running())
            return true;
    }
    const int seconds = std::max(1, starter.looks * starter.pauseMs / 1000);
    Notice(prompter, WithArgument(messages::kStartedSilent, std::to_string(seconds)).c_str());
    return false;
}

} // namespace

bool ConnectEarth(EarthConnection& connection, platform::Prompter& prompter)
{
    if (!connection.m_client) {
        if (connection.m_factory)
            connection.m_client = connection.m_factory();
        if (!connection.m_client) {
            Notice(prompter, messages::kNoInstance);
            return false;
        }
    }
    if (!connection.m_client->Running() &&
        !StartEarth(*connection.m_client, connection.m_starter, prompter))
        return false;
    // A window that does not answer keeps what the last connect saw.
    if (std::optional<EarthWindow> main = connection.m_client->MainWindow())
        connection.m_mainWindow = *main;
    if (std::optional<EarthWindow> render = connection.m_client->RenderWindow())
        connection.m_renderWindow = *render;
    return true;
}

bool CheckEarthReady(EarthConnection& connection, platform::Prompter& prompter)
{
    if (!connection.HasClient()) {
        Notice(prompter, messages::kNotRunning);
        return false;
    }
    if (connection.client().IsInitialized() != 1) {
        Warn(prompter, messages::kNotInitialized);
        return false;
    }
    if (connection.client().IsOnline() != 1) {
        Warn(prompter, messages::kNotOnline);
        return false;
    }
    return true;
}

} // namespace carvento::earth
