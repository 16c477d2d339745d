// Whole-file reading.
#include "platform/WholeFile.hpp"

#include <limits>
#include <sys/stat.h>

namespace carvento::platform {

bool ReadWholeStream(std::FILE* in, std::string& bytes)
{
    char buffer[1 << 16];
    std::size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, in)) > 0)
        bytes.append(buffer, got);
    return std::ferror(in) == 0;
}

namespace {

// A regular file in one piece: exactly the size it had when opened. One that shrinks or grows
// while it is read is refused, as another program is still writing it and any piece taken would
// be a cut.
bool ReadRegularFile(std::FILE* in, std::size_t size, std::string& bytes)
{
    const std::size_t start = bytes.size();
    bytes.resize(start + size);
    const std::size_t got = std::fread(bytes.data() + start, 1, size, in);
    bytes.resize(start + got);
    return got == size && std::fgetc(in) == EOF && std::ferror(in) == 0;
}

} // namespace

bool ReadWholeFile(const std::string& path, std::string& bytes)
{
    std::FILE* in = std::fopen(path.c_str(), "rb");
    if (!in)
        return false;
    // A folder opens on Linux; it is refused before the first read.
    struct stat info {};
    bool read = false;
    if (::fstat(::fileno(in), &info) == 0 && !S_ISDIR(info.st_mode)) {
        if (S_ISREG(info.st_mode) && info.st_size > 0)
            read = static_cast<unsigned long long>(info.st_size) <
                       std::numeric_limits<std::size_t>::max() / 2 &&
                   ReadRegularFile(in, static_cast<std::size_t>(info.st_size), bytes);
        else // a device, a pipe, or a file the system gives no size (/proc)
            read = ReadWholeStream(in, bytes);
    }
    std::fclose(in);
    return read;
}

} // namespace carvento::platform
