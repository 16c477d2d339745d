// Registering the globe program as the automation server the program drives.
#pragma once

#include "platform/Profile.hpp"
#include "platform/Prompter.hpp"

#include <string>

namespace carvento::earth {

namespace messages {
inline constexpr const char* kNoServerChosen = "未选择GoogleEarth.exe文件，本次操作取消!";
inline constexpr const char* kServerMissing = "文件不存在，本次操作取消!";
inline constexpr const char* kRegistered = "注册googleearth.exe成功!";
inline constexpr const char* kRegisterFailed = "注册googleearth.exe失败!错误码：%d";
} // namespace messages

// The program we register is our own globe, carvento-earth, beside this program; the real
// globe program is not ours to run. When it is not there the user picks it in an open dialog.
// The program is then started with the argument "/regServer". True when it started (its own
// outcome is not awaited); every outcome is reported in a message.
bool RegisterEarthServer(platform::Prompter& prompter, platform::Launcher& launcher,
                         const std::string& programFolder);

// The globe program to start when none runs: the one registered under [EARTH] Server, else
// carvento-earth beside this program; empty when neither is a file.
std::string RegisteredEarthProgram(const platform::Profile& profile,
                                   const std::string& programFolder);

} // namespace carvento::earth
