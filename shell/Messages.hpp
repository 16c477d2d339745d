// Fixed texts the shell shows in message boxes, in one place. The caption of every box is the
// application title unless noted.
#pragma once

#include "pages/frames/Messages.hpp"

namespace carvento::shell::messages {

using pages::messages::kApplicationTitle;

inline constexpr const char* kUpToDate = "当前为最新版本!";
inline constexpr const char* kNetworkError = "网络连接异常!";
// The text of the update question when the release has no description; with a description,
// the description is the text and this is the caption.
inline constexpr const char* kNewVersionQuestion = "存在新版本，是否更新?";
// Information icon.
inline constexpr const char* kCreateWindowFailed = "Create Window Failed";
// A second start found the running instance but could not reach it to show its panel.
// Warning icon; also written to standard error.
inline constexpr const char* kInstanceUnreachable =
    "Carvento 已在运行，但无法与之联系。请结束正在运行的 Carvento 后再启动。";

} // namespace carvento::shell::messages
