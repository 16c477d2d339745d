// Globe server registration.
#include "earth/EarthRegistration.hpp"

#include "earth/EarthConnection.hpp"

#include <filesystem>
#include <system_error>

namespace carvento::earth {
namespace {

// The launcher only tells whether the program started; it has no code of its own to report.
constexpr int kLaunchFailedCode = -1;

bool IsFile(const std::string& path)
{
    std::error_code error;
    return !path.empty() && std::filesystem::is_regular_file(path, error);
}

void Show(platform::Prompter& prompter, const std::string& text, const char* caption,
          platform::MessageIcon icon)
{
    prompter.ShowMessage({text, caption, icon, platform::MessageButtons::Ok});
}

} // namespace

bool RegisterEarthServer(platform::Prompter& prompter, platform::Launcher& launcher,
                         const std::string& programFolder)
{
    std::string path = programFolder.empty() ? std::string() : programFolder + "/carvento-earth";
    if (!IsFile(path)) {
        platform::FileDialog dialog;
        dialog.filters = {{"carvento-earth", "carvento-earth"}, {"所有文件(*.*)", "*.*"}};
        const std::vector<std::string> chosen = prompter.ChooseOpenFiles(dialog);
        if (chosen.empty() || chosen.front().empty()) {
            Show(prompter, messages::kNoServerChosen, messages::kErrorCaption,
                 platform::MessageIcon::Error);
            return false;
        }
        path = chosen.front();
    }
    if (!IsFile(path)) {
        Show(prompter, messages::kServerMissing, messages::kErrorCaption,
             platform::MessageIcon::Error);
        return false;
    }
    if (!launcher.StartProgram(path, {"/regServer"})) {
        std::string text = messages::kRegisterFailed;
        text.replace(text.find("%d"), 2, std::to_string(kLaunchFailedCode));
        Show(prompter, text, messages::kErrorCaption, platform::MessageIcon::Error);
        return false;
    }
    Show(prompter, messages::kRegistered, messages::kNoticeCaption,
         platform::MessageIcon::Information);
    return true;
}

std::string RegisteredEarthProgram(const platform::Profile& profile,
                                   const std::string& programFolder)
{
    const std::string registered = profile.GetString("EARTH", "Server", "");
    if (IsFile(registered))
        return registered;
    const std::string beside = programFolder.empty() ? std::string()
                                                     : programFolder + "/carvento-earth";
    return IsFile(beside) ? beside : std::string();
}

} // namespace carvento::earth
