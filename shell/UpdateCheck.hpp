// The update check: one HTTP GET of the maker's release page, the silent check at start-up
// (at most once per day of the month) and the check on demand with a message for every outcome.
//
// Everything here runs a private QEventLoop and needs a QCoreApplication (or QApplication) to
// exist. The functions block the calling thread until the request ends or times out; they may
// be called on the user-interface thread or on any other thread, also one not started by Qt.
#pragma once

#include "platform/Profile.hpp"
#include "platform/Prompter.hpp"
#include "shell/ReleaseBlock.hpp"

#include <string>

namespace carvento::shell {

// The release page of the maker's site, used unless CARVENTO_RELEASE_URL is set.
inline constexpr const char* kDefaultReleasePage = "https://www.hvfactory.cn/carvento/release.html";

// The start-up check gives up after this long: no network must not hold the program.
inline constexpr int kStartupTimeoutMs = 4000;
// The check on demand runs on its own thread and may wait longer for a slow connection.
inline constexpr int kInteractiveTimeoutMs = 15000;
// The most a check reads from the network, status lines, headers and redirects included: a
// release page answers in a few kilobytes, a server that sends more is not one.
inline constexpr long long kReleaseAnswerLimit = 1024 * 1024;
// Redirects followed before the check gives up.
inline constexpr int kMostRedirects = 5;

// FetchReleaseInfo's result when nothing usable was read.
inline constexpr int kFetchFailed = -2;

// Profile value (in the root section) holding the day of the month of the last start-up check.
inline constexpr const char* kLastCheckDayKey = "Version";

// The release page address: the environment variable CARVENTO_RELEASE_URL when it is set
// (set and empty switches the check off: an empty address fails without a request),
// otherwise kDefaultReleasePage.
std::string ReleasePageAddress();

// Day of the month (1 … 31) of today's local date.
int TodayDayOfMonth();

struct FetchResult {
    // 1 (remote version newer than the current one), 0 (same), -1 (older), or kFetchFailed.
    int result = kFetchFailed;
    // Filled whenever result is not kFetchFailed.
    ReleaseInfo info;
    // Bytes read from the network, over every redirect; never above kReleaseAnswerLimit.
    long long bytesReceived = 0;
};

// Requests `address` with HTTP GET (http or https, system proxy settings, at most
// kMostRedirects redirects, none from https to http) and reads the release block from the
// first kReleaseReadLimit bytes of the body; versions compare with CompareVersions.
// kFetchFailed when the address is empty, not an absolute http or https URL, the request
// fails, the status is not HTTP 200, the block is missing or has no separator, the answer
// grows past kReleaseAnswerLimit bytes before the examined part of the body is in, or the
// whole exchange (look-up, connection, redirects, reading) takes longer than `timeoutMs`
// milliseconds: the time and the bytes are totals, not limits per read.
FetchResult FetchReleaseInfo(const std::string& address, const std::string& currentVersion,
                             int timeoutMs = kStartupTimeoutMs);

// The silent start-up check. When `today` (day of the month) equals the profile's
// kLastCheckDayKey (default 0), returns 0 without a request; otherwise stores `today` there,
// fetches, and when the remote version is newer asks the user whether to update. Returns 1
// when the user chose to open the download link (which has then been handed to `launcher`;
// the program should end), else 0. Failures show nothing. The question's text is the page's
// description, untrusted: a prompter must show it as plain text. Only an http or https link is
// handed on; for any other the answer OK opens nothing and returns 0.
int CheckForUpdateDaily(platform::Profile& profile, platform::Prompter& prompter,
                        platform::Launcher& launcher, const std::string& address,
                        const std::string& currentVersion, int today,
                        int timeoutMs = kStartupTimeoutMs);

// The check on demand ("更新"), meant to run on its own thread. Shows "当前为最新版本!" for an
// equal or older remote version and "网络连接异常!" for every failure, returning 0; for a newer
// version asks the user as the start-up check does and returns 1 when the link was opened.
// `prompter` and `launcher` are called on the calling thread.
int CheckForUpdateInteractive(platform::Prompter& prompter, platform::Launcher& launcher,
                              const std::string& address, const std::string& currentVersion,
                              int timeoutMs = kInteractiveTimeoutMs);

} // namespace carvento::shell
