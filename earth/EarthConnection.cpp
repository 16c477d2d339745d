// Connecting to the globe and checking that it is ready.
#include "earth/EarthConnection.hpp"

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
    if (!connection.m_client->Running()) {
        Notice(prompter, messages::kNotRunning);
        return false;
    }
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
