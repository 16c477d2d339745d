// BLN files from untrusted bytes: the input is cut into up to three files at the byte 0x1E and
// converted one by one (each beside its input) and merged into one output. Both ways must
// agree on the polygons, never let a polygon run on into the next file, and leave an existing
// output untouched when writing fails.
#include "fuzz/FuzzSupport.hpp"

#include "fileconv/BlnReader.hpp"

#include <string>
#include <vector>

using namespace carvento;

namespace {

int EmptyLines(const std::string& text)
{
    int count = 0;
    for (std::size_t at = text.find("\n\n"); at != std::string::npos;
         at = text.find("\n\n", at + 1))
        ++count;
    return count + (text.rfind("\n", 0) == 0 ? 1 : 0);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::ClearScratch();
    const std::vector<std::string_view> pieces = fuzz::SplitInput(fuzz::AsText(data, size), 3);
    std::vector<std::string> paths;
    int polygonsOneByOne = 0;
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        paths.push_back(fuzz::ScratchPath("湖 " + std::to_string(i) + ".bln"));
        fuzz::WriteWholeFile(paths.back(), pieces[i]);
        const fileconv::BlnFileText one = fileconv::ReadBlnFile(paths.back());
        FUZZ_CHECK(one.opened);
        FUZZ_CHECK(one.polygons >= 0);
        // One empty line closes each polygon.
        FUZZ_CHECK(EmptyLines(one.text) == one.polygons);
        for (const fileconv::BlnFinding& finding : one.findings) {
            FUZZ_CHECK(finding.path == paths.back());
            FUZZ_CHECK(finding.line >= 1);
            FUZZ_CHECK(!finding.message.empty());
            FUZZ_CHECK(!fileconv::Describe(finding).empty());
        }
        polygonsOneByOne += one.polygons;
    }

    const fileconv::BlnReport each = fileconv::BlnToText(paths, std::nullopt);
    FUZZ_CHECK(each.unreadable.empty());
    FUZZ_CHECK(each.polygons == polygonsOneByOne);

    const std::string merged = fuzz::ScratchPath("合并 all.txt");
    fuzz::WriteWholeFile(merged, "old content\r\n");
    fileconv::TextFileFormat utf8;
    utf8.encoding = tables::TextEncoding::Utf8;
    const fileconv::BlnReport together = fileconv::BlnToText(paths, merged, utf8);
    FUZZ_CHECK(together.polygons == polygonsOneByOne);
    FUZZ_CHECK(together.findings.size() == each.findings.size());
    std::string now;
    FUZZ_CHECK(fuzz::ReadWholeFile(merged, now));
    if (!together.output.Ok())
        FUZZ_CHECK(now == "old content\r\n");
    return 0;
}
