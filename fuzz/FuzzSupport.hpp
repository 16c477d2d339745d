// Shared pieces of the fuzz targets: a scratch folder for the files a target writes, whole-file
// reading and writing, splitting one input into several files, and a check that stops the run
// with a message (libFuzzer and the replay program both treat the abort as a finding).
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <system_error>
#include <unistd.h>
#include <vector>

namespace carvento::fuzz {

[[noreturn]] inline void Fail(const char* what, const char* file, int line)
{
    std::fprintf(stderr, "%s:%d: check failed: %s\n", file, line, what);
    std::abort();
}

#define FUZZ_CHECK(condition)                                                                      \
    do {                                                                                           \
        if (!(condition))                                                                          \
            ::carvento::fuzz::Fail(#condition, __FILE__, __LINE__);                                \
    } while (false)

inline std::string_view AsText(const std::uint8_t* data, std::size_t size)
{
    return {reinterpret_cast<const char*>(data), size};
}

// One private folder per process, emptied by the caller between inputs with ClearScratch and
// removed when the process ends normally.
inline const std::filesystem::path& ScratchFolder()
{
    struct Folder {
        std::filesystem::path path;
        Folder()
        {
            std::error_code ec;
            std::filesystem::path base = std::filesystem::temp_directory_path(ec);
            if (ec)
                base = "/tmp";
            std::string pattern = (base / "carvento-fuzz-XXXXXX").string();
            if (!::mkdtemp(pattern.data()))
                Fail("mkdtemp", __FILE__, __LINE__);
            path = pattern;
        }
        ~Folder()
        {
            std::error_code ec;
            std::filesystem::remove_all(path, ec);
        }
    };
    static Folder folder;
    return folder.path;
}

inline void ClearScratch()
{
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(ScratchFolder(), ec))
        std::filesystem::remove_all(entry.path(), ec);
}

inline std::string ScratchPath(std::string_view name)
{
    return (ScratchFolder() / std::string(name)).string();
}

inline void WriteWholeFile(const std::string& path, std::string_view bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        Fail("writing a scratch file", __FILE__, __LINE__);
}

inline bool ReadWholeFile(const std::string& path, std::string& bytes)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

// Splits an input into at most `parts` pieces at the byte 0x1E (record separator); the last
// piece keeps any further separators.
inline std::vector<std::string_view> SplitInput(std::string_view input, std::size_t parts)
{
    std::vector<std::string_view> pieces;
    while (pieces.size() + 1 < parts) {
        std::size_t at = input.find('\x1e');
        if (at == std::string_view::npos)
            break;
        pieces.push_back(input.substr(0, at));
        input.remove_prefix(at + 1);
    }
    pieces.push_back(input);
    return pieces;
}

} // namespace carvento::fuzz
