// Whole-file reading.
#include "platform/WholeFile.hpp"

namespace carvento::platform {

bool ReadWholeStream(std::FILE* in, std::string& bytes)
{
    char buffer[1 << 16];
    std::size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, in)) > 0)
        bytes.append(buffer, got);
    return std::ferror(in) == 0;
}

bool ReadWholeFile(const std::string& path, std::string& bytes)
{
    std::FILE* in = std::fopen(path.c_str(), "rb");
    if (!in)
        return false;
    // A folder opens on Linux and fails at the first read.
    const bool read = ReadWholeStream(in, bytes);
    std::fclose(in);
    return read;
}

} // namespace carvento::platform
