// The output policy: streams, private temporaries, replace by rename, and the run's plan.
#include "tables/OutputPolicy.hpp"

#include "platform/AsciiText.hpp"
#include "platform/NumberText.hpp"

#include <cerrno>
#include <chrono>
#include <climits>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <iostream>
#include <sys/stat.h>
#include <unistd.h>

namespace carvento::tables {
namespace {

// Temporaries are named ".cvt-<hash of the target's name>-<process>-XXXXXX": under 40 bytes
// whatever the target's name, and recognisable as ours for that target.
constexpr std::string_view kTemporaryMark = ".cvt-";

std::string FolderOf(const std::string& path)
{
    std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string NameOf(const std::string& path)
{
    std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string NameHash(std::string_view name)
{
    std::uint32_t hash = 2166136261u; // FNV-1a
    for (unsigned char c : name) {
        hash ^= c;
        hash *= 16777619u;
    }
    char text[9];
    std::snprintf(text, sizeof text, "%08x", hash);
    return text;
}

bool ProcessGone(long pid)
{
    return pid > 0 && ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH;
}

// Removes what earlier runs that were killed left for `name` in `folder`: our temporaries whose
// process is gone, and temporaries of the older ".<name>.<number>.tmp" form an hour old or more.
void RemoveStaleTemporaries(const std::string& folder, const std::string& name)
{
    DIR* dir = ::opendir(folder.c_str());
    if (!dir)
        return;
    const std::string ours = TemporaryPrefix(name);
    const std::string older = "." + name + ".";
    const auto now = std::chrono::system_clock::now();
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view entryName = entry->d_name;
        bool stale = false;
        struct stat info {};
        const std::string path = folder + "/" + std::string(entryName);
        if (entryName.starts_with(ours)) {
            // ours + "<pid>-XXXXXX"
            const std::string_view rest = entryName.substr(ours.size());
            const std::size_t dash = rest.find('-');
            const std::optional<long long> pid = dash == std::string_view::npos
                                                     ? std::nullopt
                                                     : platform::ParseInteger(rest.substr(0, dash),
                                                                              1, INT_MAX);
            stale = pid && rest.size() - dash == 7 && ProcessGone(static_cast<long>(*pid));
        } else if (entryName.starts_with(older) && entryName.ends_with(".tmp") &&
                   entryName.size() > older.size() + 4) {
            const std::string_view digits = entryName.substr(older.size(),
                                                             entryName.size() - older.size() - 4);
            stale = digits.find_first_not_of("0123456789") == std::string_view::npos;
            if (stale && ::lstat(path.c_str(), &info) == 0) {
                const auto modified = std::chrono::system_clock::from_time_t(info.st_mtime);
                stale = now - modified > std::chrono::hours(1);
            }
        }
        if (!stale || ::lstat(path.c_str(), &info) != 0 || info.st_uid != ::geteuid())
            continue;
        if (S_ISDIR(info.st_mode) && entryName.starts_with(ours))
            RemoveTemporaryFolder(path);
        else if (S_ISREG(info.st_mode))
            ::unlink(path.c_str());
    }
    ::closedir(dir);
}

} // namespace

bool IsStandardOutput(std::string_view path)
{
    return path == "-" || path == "/dev/stdout" || path == "/dev/fd/1" || path == "/proc/self/fd/1";
}

bool WriteStandardOutput(std::string_view bytes)
{
    std::cout.flush();
    std::fflush(stdout);
    while (!bytes.empty()) {
        const ssize_t wrote = ::write(STDOUT_FILENO, bytes.data(), bytes.size());
        if (wrote < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(wrote));
    }
    return true;
}

std::string ResolvedTarget(const std::string& path)
{
    char resolved[PATH_MAX];
    struct stat info {};
    if (::lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode) &&
        ::realpath(path.c_str(), resolved))
        return resolved;
    return path;
}

std::string UnreplaceableReason(const std::string& path)
{
    // The names of a process's open files lead to whatever file the shell opened for it
    // (">> log.txt"): replacing that would destroy what the shell appends to.
    if (path.starts_with("/proc/") || path.starts_with("/sys/") || path.starts_with("/dev/fd/") ||
        path == "/dev/stdin" || path == "/dev/stdout" || path == "/dev/stderr")
        return "不是普通文件";
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0)
        return ""; // a new file (or a dangling link, which fails to resolve later)
    if (S_ISDIR(info.st_mode))
        return "是文件夹";
    if (!S_ISREG(info.st_mode))
        return "不是普通文件";
    return "";
}

std::string TemporaryPrefix(std::string_view targetName)
{
    return std::string(kTemporaryMark) + NameHash(targetName) + "-";
}

std::FILE* CreateTemporaryBeside(const std::string& target, std::string& temporaryPath)
{
    const std::string folder = FolderOf(target);
    const std::string name = NameOf(target);
    RemoveStaleTemporaries(folder, name);
    std::string pattern = folder + "/" + TemporaryPrefix(name) + std::to_string(::getpid()) +
                          "-XXXXXX";
    // mkstemp opens with O_CREAT | O_EXCL and mode 0600: a planted link is never followed and
    // nobody else can read the data before it is complete.
    int fd = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (fd < 0) {
        temporaryPath.clear();
        return nullptr;
    }
    temporaryPath = pattern;
    std::FILE* file = ::fdopen(fd, "wb");
    if (!file) {
        ::close(fd);
        ::unlink(temporaryPath.c_str());
        temporaryPath.clear();
    }
    return file;
}

std::string CreateTemporaryFolderBeside(const std::string& target)
{
    const std::string folder = FolderOf(target);
    const std::string name = NameOf(target);
    RemoveStaleTemporaries(folder, name);
    std::string pattern = folder + "/" + TemporaryPrefix(name) + std::to_string(::getpid()) +
                          "-XXXXXX";
    return ::mkdtemp(pattern.data()) ? pattern : std::string();
}

void RemoveTemporaryFolder(const std::string& folder)
{
    // Only what a writer put there: plain files, one level deep.
    if (DIR* dir = ::opendir(folder.c_str())) {
        while (const dirent* entry = ::readdir(dir)) {
            const std::string path = folder + "/" + entry->d_name;
            struct stat info {};
            if (::lstat(path.c_str(), &info) == 0 && !S_ISDIR(info.st_mode))
                ::unlink(path.c_str());
        }
        ::closedir(dir);
    }
    ::rmdir(folder.c_str());
}

void MatchTargetPermissions(std::FILE* temporary, const std::string& target)
{
    struct stat existing {};
    mode_t mode = 0;
    if (::stat(target.c_str(), &existing) == 0) {
        mode = existing.st_mode & 07777;
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    (void)::fchmod(fileno(temporary), mode);
}

bool ReplacingFile::Open(const std::string& path)
{
    Abandon();
    m_failed = false;
    m_stream = IsStandardOutput(path);
    if (m_stream)
        return true;
    m_targetPath = ResolvedTarget(path);
    if (!UnreplaceableReason(m_targetPath).empty() || !UnreplaceableReason(path).empty())
        return false;
    m_out = CreateTemporaryBeside(m_targetPath, m_temporaryPath);
    return m_out != nullptr;
}

bool ReplacingFile::Write(std::string_view bytes)
{
    if ((!m_out && !m_stream) || m_failed)
        return false;
    if (m_stream) {
        m_failed = !WriteStandardOutput(bytes);
        return !m_failed;
    }
    if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), m_out) != bytes.size())
        m_failed = true;
    return !m_failed;
}

bool ReplacingFile::Commit()
{
    if (m_stream) {
        m_stream = false;
        return !m_failed;
    }
    if (!m_out)
        return false;
    if (std::fflush(m_out) != 0 || std::ferror(m_out))
        m_failed = true;
    if (!m_failed) {
        MatchTargetPermissions(m_out, m_targetPath);
        if (::fsync(fileno(m_out)) != 0)
            m_failed = true;
    }
    if (std::fclose(m_out) != 0)
        m_failed = true;
    m_out = nullptr;
    if (m_failed || std::rename(m_temporaryPath.c_str(), m_targetPath.c_str()) != 0) {
        m_failed = true;
        ::unlink(m_temporaryPath.c_str());
    }
    m_temporaryPath.clear();
    return !m_failed;
}

void ReplacingFile::Abandon()
{
    m_stream = false;
    if (!m_out)
        return;
    std::fclose(m_out);
    m_out = nullptr;
    ::unlink(m_temporaryPath.c_str());
    m_temporaryPath.clear();
}

bool ReplaceFileContents(const std::string& path, std::string_view bytes)
{
    ReplacingFile file;
    return file.Open(path) && file.Write(bytes) && file.Commit();
}

bool OutputPlan::Identity::operator==(const Identity& other) const
{
    if (exists != other.exists)
        return false;
    return exists ? device == other.device && inode == other.inode : resolved == other.resolved;
}

OutputPlan::Identity OutputPlan::Identify(const std::string& path)
{
    Identity identity;
    struct stat info {};
    if (::stat(path.c_str(), &info) == 0) {
        identity.exists = true;
        identity.device = info.st_dev;
        identity.inode = info.st_ino;
        return identity;
    }
    // Not there yet: its folder resolved, and its name.
    const std::string target = ResolvedTarget(path);
    char folder[PATH_MAX];
    identity.resolved = ::realpath(FolderOf(target).c_str(), folder)
                            ? std::string(folder) + "/" + NameOf(target)
                            : target;
    return identity;
}

bool OutputPlan::AddInput(const std::string& path)
{
    if (path == "-")
        return true;
    Identity identity = Identify(path);
    for (const auto& input : m_inputs)
        if (input.first == identity)
            return false;
    m_inputs.emplace_back(std::move(identity), path);
    return true;
}

std::string OutputPlan::Claim(const std::string& path)
{
    if (IsStandardOutput(path))
        return "";
    std::string reason = UnreplaceableReason(path);
    if (reason.empty())
        reason = UnreplaceableReason(ResolvedTarget(path));
    if (!reason.empty())
        return "输出 " + path + " " + reason + "，未写入任何文件!";
    const Identity identity = Identify(path);
    for (const auto& [input, name] : m_inputs)
        if (input == identity)
            return "输出文件 " + path + " 就是输入文件 " + name + "，未写入任何文件!";
    for (const auto& [output, name] : m_outputs)
        if (output == identity)
            return "两个输出是同一个文件: " + name + " 与 " + path + "，未写入任何文件!";
    m_outputs.emplace_back(identity, path);
    return "";
}

std::string OutputPlan::ClaimMerge(const std::string& path, std::string_view suffix)
{
    struct stat info {};
    if (!suffix.empty() && ::stat(path.c_str(), &info) == 0 &&
        !platform::AsciiLower(path).ends_with(platform::AsciiLower(suffix)))
        return "合并输出 " + path + " 已存在且不是" + std::string(suffix) +
               "文件，可能是输入文件，未写入任何文件!";
    return Claim(path);
}

} // namespace carvento::tables
