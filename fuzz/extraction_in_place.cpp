// KML to TXT and GPX to TXT from untrusted bytes, both ways: read in place (OpenKml / OpenGpx,
// CountTexts, WriteExtractedTexts) and through a loaded document (LoadKml + KmlToText, LoadGpx +
// ExtractTexts + WriteTexts). They must agree on whether the file loads, on every count and
// point left out, and on every byte written.
#include "fuzz/FuzzSupport.hpp"

#include "fileconv/GpxDocument.hpp"
#include "fileconv/KmlDocument.hpp"

#include <string>
#include <vector>

using namespace carvento;

namespace {

// The files an extraction wrote in its folder, in a fixed order, then cleared for the next.
std::vector<std::string> Written(const std::string& folder, const std::vector<std::string>& names)
{
    std::vector<std::string> files;
    for (const std::string& name : names) {
        std::string bytes;
        const std::string path = fuzz::ScratchPath(folder + "/" + name);
        files.push_back(fuzz::ReadWholeFile(path, bytes) ? bytes : std::string("(none)"));
        std::filesystem::remove(path);
    }
    return files;
}

const auto kPartial = [](const std::string& name) { return name + ".part"; };

void CompareKml(const std::string& input)
{
    const std::vector<std::string> names = {"x_地标.txt",      "x_路径.txt",
                                            "x_多边形.txt",    "x_地标.txt.part",
                                            "x_路径.txt.part", "x_多边形.txt.part"};
    fileconv::KmlDocument loaded;
    fileconv::KmlDocument read;
    const bool loadedOk = loaded.LoadKml(input);
    FUZZ_CHECK(read.OpenKml(input) == loadedOk);
    FUZZ_CHECK(read.LoadError() == loaded.LoadError());
    if (!loadedOk)
        return;
    std::filesystem::create_directories(fuzz::ScratchPath("a"));
    std::filesystem::create_directories(fuzz::ScratchPath("b"));
    const fileconv::KmlExportOptions options;
    const fileconv::TextOutput a = loaded.KmlToText(fuzz::ScratchPath("a/x.txt"), options,
                                                    kPartial);
    const fileconv::KmlCounts& counts = read.CountTexts(options);
    const fileconv::TextOutput b = read.WriteExtractedTexts(fuzz::ScratchPath("b/x.txt"), options,
                                                            kPartial);
    const fileconv::KmlCounts& expected = loaded.Counts();
    FUZZ_CHECK(counts.points == expected.points && counts.lines == expected.lines &&
               counts.tracks == expected.tracks && counts.polygons == expected.polygons &&
               counts.holes == expected.holes && counts.skipped == expected.skipped);
    FUZZ_CHECK(a.written.size() == b.written.size() && a.failed.size() == b.failed.size());
    FUZZ_CHECK(Written("a", names) == Written("b", names));
}

void CompareGpx(const std::string& input)
{
    const std::vector<std::string> names = {"x_航点.txt",      "x_航线.txt",
                                            "x_航迹.txt",      "x_航点.txt.part",
                                            "x_航线.txt.part", "x_航迹.txt.part"};
    fileconv::GpxDocument loaded;
    fileconv::GpxDocument read;
    const bool loadedOk = loaded.LoadGpx(input);
    FUZZ_CHECK(read.OpenGpx(input) == loadedOk);
    if (!loadedOk)
        return;
    std::filesystem::create_directories(fuzz::ScratchPath("a"));
    std::filesystem::create_directories(fuzz::ScratchPath("b"));
    const fileconv::GpxExportOptions options;
    const fileconv::GpxTexts texts = loaded.ExtractTexts(options);
    const fileconv::GpxCounts& counts = read.CountTexts(options);
    const fileconv::GpxCounts& expected = texts.counts;
    FUZZ_CHECK(counts.waypoints == expected.waypoints && counts.routes == expected.routes &&
               counts.routePoints == expected.routePoints && counts.tracks == expected.tracks &&
               counts.trackSegments == expected.trackSegments &&
               counts.trackPoints == expected.trackPoints && counts.skipped == expected.skipped);
    const fileconv::TextOutput a =
        fileconv::GpxDocument::WriteTexts(texts, fuzz::ScratchPath("a/x.txt"), options, kPartial);
    const fileconv::TextOutput b = read.WriteExtractedTexts(fuzz::ScratchPath("b/x.txt"), options,
                                                            kPartial);
    FUZZ_CHECK(a.written.size() == b.written.size() && a.failed.size() == b.failed.size());
    FUZZ_CHECK(Written("a", names) == Written("b", names));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::ClearScratch();
    const std::string_view bytes = fuzz::AsText(data, size);
    const std::string kml = fuzz::ScratchPath("in.kml");
    fuzz::WriteWholeFile(kml, bytes);
    CompareKml(kml);
    const std::string gpx = fuzz::ScratchPath("in.gpx");
    fuzz::WriteWholeFile(gpx, bytes);
    CompareGpx(gpx);
    return 0;
}
