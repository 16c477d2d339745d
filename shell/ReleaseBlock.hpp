// The release block on the maker's release page ("Version:" … "Version-End") and the
// comparison of version texts. Pure functions on bytes; the network side is UpdateCheck.hpp.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace carvento::shell {

// Only this many leading bytes of the page body are ever examined.
inline constexpr std::size_t kReleaseReadLimit = 3000;

// What the release block announces. Texts are the page's UTF-8 bytes, untrimmed.
struct ReleaseInfo {
    std::string version;
    std::string description;
    std::string link;
};

enum class ReleaseBlockStatus {
    Found,       // version, description and link are filled
    NoMarkers,   // "Version:" or a following "Version-End" is missing from the examined bytes
    NoSeparator, // the block holds none of ";", "|", "[", "]"
};

struct ReleaseBlock {
    ReleaseBlockStatus status = ReleaseBlockStatus::NoMarkers;
    ReleaseInfo info;

    bool Ok() const { return status == ReleaseBlockStatus::Found; }
    // A short English explanation of the status, for logs and test output.
    const char* description() const;
};

// Reads the release block from the first kReleaseReadLimit bytes of `page` (bytes after
// that are ignored, so a block that ends beyond them is not found).
//   block       the text after "Version:" up to the first "Version-End" that follows it
//   version     the block up to the first of ";", "|", "[", "]"
//   description from after that separator up to the first "</p>"
//   link        the rest of the block from that "</p>" on, with every "<p>" and "</p>" removed
// Without a "</p>" after the separator, description and link are both empty.
ReleaseBlock ParseReleaseBlock(std::string_view page);

// Compares two version texts: 1 when `remote` is newer than `current`, 0 when they are the
// same version, -1 when `remote` is older. Components are separated by "." and compared
// from the left, each first by the number its leading digits spell (any length, leading
// zeros ignored; no digits counts as 0), then by the rest of the component byte by byte,
// so text after the number sorts after the bare number ("8.0.1b" and "8.0.1-rc" are newer
// than "8.0.1"). A missing component counts as "0", so "8.0" equals "8.0.0". Spaces and tabs
// around the whole text are ignored.
int CompareVersions(std::string_view remote, std::string_view current);

} // namespace carvento::shell
