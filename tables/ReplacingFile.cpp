// Whole-file replacement through a temporary file beside the target.
#include "tables/ReplacingFile.hpp"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace carvento::tables {
namespace {

std::string FolderOf(const std::string& path)
{
    std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

} // namespace

std::string ResolvedTarget(const std::string& path)
{
    char resolved[PATH_MAX];
    struct stat info {};
    if (::lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode) &&
        ::realpath(path.c_str(), resolved))
        return resolved;
    return path;
}

std::FILE* CreateTemporaryBeside(const std::string& target, std::string& temporaryPath)
{
    std::string folder = FolderOf(target);
    std::size_t slash = target.rfind('/');
    std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
    struct stat existing {};
    bool exists = ::stat(target.c_str(), &existing) == 0;
    std::random_device entropy;
    for (int attempt = 0; attempt < 100; ++attempt) {
        temporaryPath = folder + "/." + name + "." + std::to_string(entropy() % 1000000000u) +
                        ".tmp";
        int fd = ::open(temporaryPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0) {
            if (errno == EEXIST)
                continue;
            return nullptr;
        }
        if (exists)
            (void)::fchmod(fd, existing.st_mode & 07777);
        std::FILE* file = ::fdopen(fd, "wb");
        if (!file) {
            ::close(fd);
            ::unlink(temporaryPath.c_str());
        }
        return file;
    }
    return nullptr;
}

bool ReplacingFile::Open(const std::string& path)
{
    Abandon();
    m_targetPath = ResolvedTarget(path);
    m_failed = false;
    struct stat info {};
    if (::stat(m_targetPath.c_str(), &info) == 0 && !S_ISREG(info.st_mode)) {
        // Nothing to replace; a folder fails to open.
        m_out = std::fopen(m_targetPath.c_str(), "wb");
        m_temporaryPath.clear();
    } else {
        m_out = CreateTemporaryBeside(m_targetPath, m_temporaryPath);
        if (!m_out)
            m_temporaryPath.clear();
    }
    return m_out != nullptr;
}

bool ReplacingFile::Write(std::string_view bytes)
{
    if (!m_out || m_failed)
        return false;
    if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), m_out) != bytes.size())
        m_failed = true;
    return !m_failed;
}

bool ReplacingFile::Commit()
{
    if (!m_out)
        return false;
    if (std::fflush(m_out) != 0 || std::ferror(m_out))
        m_failed = true;
    if (!m_temporaryPath.empty() && !m_failed && ::fsync(fileno(m_out)) != 0)
        m_failed = true;
    if (std::fclose(m_out) != 0)
        m_failed = true;
    m_out = nullptr;
    if (!m_temporaryPath.empty()) {
        if (m_failed || std::rename(m_temporaryPath.c_str(), m_targetPath.c_str()) != 0) {
            m_failed = true;
            ::unlink(m_temporaryPath.c_str());
        }
        m_temporaryPath.clear();
    }
    return !m_failed;
}

void ReplacingFile::Abandon()
{
    if (!m_out)
        return;
    std::fclose(m_out);
    m_out = nullptr;
    if (!m_temporaryPath.empty())
        ::unlink(m_temporaryPath.c_str());
    m_temporaryPath.clear();
}

bool ReplaceFileContents(const std::string& path, std::string_view bytes)
{
    ReplacingFile file;
    return file.Open(path) && file.Write(bytes) && file.Commit();
}

} // namespace carvento::tables
