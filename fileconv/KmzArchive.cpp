// KMZ reading through libzip.
#include "fileconv/KmzArchive.hpp"

#include "platform/AsciiText.hpp"

#include <cstdio>
#include <zip.h>

namespace carvento::fileconv {
namespace {

bool IsKml(std::string_view name)
{
    return platform::AsciiLower(name).ends_with(".kml");
}

} // namespace

bool LooksLikeZip(const std::string& path)
{
    std::FILE* in = std::fopen(path.c_str(), "rb");
    if (!in)
        return false;
    char magic[4] = {};
    const bool zip = std::fread(magic, 1, 4, in) == 4 && magic[0] == 'P' && magic[1] == 'K' &&
                     magic[2] == '\x03' && magic[3] == '\x04';
    std::fclose(in);
    return zip;
}

std::optional<std::string> ReadKmzDocument(const std::string& path, std::string& error)
{
    int code = 0;
    zip_t* archive = zip_open(path.c_str(), ZIP_RDONLY, &code);
    if (!archive) {
        error = "不是可读的KMZ压缩文件";
        return std::nullopt;
    }
    const zip_int64_t entries = zip_get_num_entries(archive, 0);
    if (entries < 0 || entries > kKmzMaxEntries) {
        zip_close(archive);
        error = "KMZ压缩文件条目过多";
        return std::nullopt;
    }
    // doc.kml at the root first, then any .kml at the root, then any .kml at all.
    zip_int64_t chosen = -1;
    int rank = 4;
    for (zip_int64_t i = 0; i < entries; ++i) {
        const char* name = zip_get_name(archive, static_cast<zip_uint64_t>(i), 0);
        if (!name || !IsKml(name))
            continue;
        const std::string_view entry = name;
        const bool root = entry.find('/') == std::string_view::npos;
        const int entryRank = root && platform::AsciiLower(entry) == "doc.kml" ? 1 : root ? 2 : 3;
        if (entryRank < rank) {
            rank = entryRank;
            chosen = i;
        }
    }
    if (chosen < 0) {
        zip_close(archive);
        error = "KMZ压缩文件中没有KML文档";
        return std::nullopt;
    }
    zip_stat_t stat;
    zip_stat_init(&stat);
    if (zip_stat_index(archive, static_cast<zip_uint64_t>(chosen), 0, &stat) != 0 ||
        ((stat.valid & ZIP_STAT_SIZE) && stat.size > kKmzMaxDocumentBytes)) {
        zip_close(archive);
        error = "KMZ中的KML文档过大";
        return std::nullopt;
    }
    zip_file_t* file = zip_fopen_index(archive, static_cast<zip_uint64_t>(chosen), 0);
    if (!file) {
        zip_close(archive);
        error = "KMZ压缩文件已损坏";
        return std::nullopt;
    }
    // The size the archive states is not trusted: reading stops at the limit whatever it says.
    std::string bytes;
    char buffer[1 << 16];
    zip_int64_t got = 0;
    bool tooLarge = false;
    while ((got = zip_fread(file, buffer, sizeof buffer)) > 0) {
        if (bytes.size() + static_cast<std::size_t>(got) > kKmzMaxDocumentBytes) {
            tooLarge = true;
            break;
        }
        bytes.append(buffer, static_cast<std::size_t>(got));
    }
    const bool failed = got < 0;
    zip_fclose(file);
    zip_close(archive);
    if (tooLarge) {
        error = "KMZ中的KML文档过大";
        return std::nullopt;
    }
    if (failed) {
        error = "KMZ压缩文件已损坏";
        return std::nullopt;
    }
    return bytes;
}

} // namespace carvento::fileconv
