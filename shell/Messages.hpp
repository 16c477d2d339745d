// Fixed texts the shell shows in message boxes, in one place. The caption of every box is the
// application title unless noted.
#pragma once

#include "pages/Messages.hpp"

namespace carvento::shell::messages {

using pages::messages::kApplicationTitle;

inline constexpr const char* kUpToDate = "当前为最新版本!";
inline constexpr const char* kNetworkError = "网络连接异常!";
// The text of the update question when the release has no description; with a description,
// the description is the text and this is the caption.
inline constexpr const char* kNewVersionQuestion = "存在新版本，是否更新?";
// Information icon.
inline constexpr const char* kCreateWindowFailed = "Create Window Failed";

} // namespace carvento::shell::messages
