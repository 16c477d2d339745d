// The release block of the update check from untrusted page bytes, and the version
// comparison from untrusted version texts: no reads past the examined bytes, a block found
// only inside them, and a comparison that is an ordering.
#include "fuzz/FuzzSupport.hpp"

#include "shell/ReleaseBlock.hpp"

#include <algorithm>
#include <string>

using namespace carvento;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view page = fuzz::AsText(data, size);
    const shell::ReleaseBlock block = shell::ParseReleaseBlock(page);
    FUZZ_CHECK(block.description() != nullptr);
    // Bytes beyond the limit are never examined.
    if (page.size() > shell::kReleaseReadLimit) {
        const shell::ReleaseBlock limited =
            shell::ParseReleaseBlock(page.substr(0, shell::kReleaseReadLimit));
        FUZZ_CHECK(limited.status == block.status);
        FUZZ_CHECK(limited.info.version == block.info.version);
        FUZZ_CHECK(limited.info.description == block.info.description);
        FUZZ_CHECK(limited.info.link == block.info.link);
    }
    if (block.Ok()) {
        const std::size_t examined = std::min(page.size(), shell::kReleaseReadLimit);
        FUZZ_CHECK(block.info.version.size() + block.info.description.size() < examined);
        // Removing the paragraph marks only shortens the rest of the block (a mark that the
        // removal itself joins together, "<</p>p>", stays: one pass, as documented).
        FUZZ_CHECK(block.info.link.size() + block.info.version.size() +
                       block.info.description.size() <
                   examined);
    }

    // Version texts: the input cut in three at 0x1E.
    const auto versions = fuzz::SplitInput(page.substr(0, 512), 3);
    const std::string_view a = versions[0];
    const std::string_view b = versions.size() > 1 ? versions[1] : std::string_view("8.0.0");
    const std::string_view c = versions.size() > 2 ? versions[2] : std::string_view("8.0");
    const int ab = shell::CompareVersions(a, b);
    FUZZ_CHECK(ab >= -1 && ab <= 1);
    FUZZ_CHECK(shell::CompareVersions(b, a) == -ab);
    FUZZ_CHECK(shell::CompareVersions(a, a) == 0);
    const int bc = shell::CompareVersions(b, c);
    if (ab == bc && ab != 0)
        FUZZ_CHECK(shell::CompareVersions(a, c) == ab);
    if (ab == 0)
        FUZZ_CHECK(shell::CompareVersions(a, c) == bc);
    return 0;
}
