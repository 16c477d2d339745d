// XML, KML and GPX from untrusted bytes: loading (encodings, entities, nesting), the
// extraction into text files, and saving. What the program saves must load again with the
// same content, and an extraction that fails to write leaves the existing file as it was.
#include "fuzz/FuzzSupport.hpp"

#include "fileconv/GpxDocument.hpp"
#include "fileconv/KmlDocument.hpp"
#include "fileconv/XmlDocument.hpp"

#include <algorithm>
#include <string>

using namespace carvento;

namespace {

const std::string kOldContent = "old content\r\n";

// Saving puts each element on a line of its own, so the text mixed in between elements may
// gain line ends on every save, and loading drops text that is only blanks ("<a> </a>" comes
// back as "<a/>"). The document text with blanks outside the tags removed and empty elements
// written as "<a/>" must come back as it was.
std::string Normalised(std::string_view text)
{
    std::string kept;
    bool inTag = false;
    for (char c : text) {
        if (c == '<')
            inTag = true;
        else if (c == '>')
            inTag = false;
        else if (!inTag && (c == '\r' || c == '\n' || c == ' ' || c == '\t'))
            continue;
        kept += c;
    }
    std::string collapsed;
    std::size_t from = 0;
    for (std::size_t at = kept.find("></"); at != std::string::npos; at = kept.find("></", from)) {
        const std::size_t open = kept.rfind('<', at);
        const std::size_t nameEnd = kept.find_first_of(" />", open + 1);
        const std::string name = kept.substr(open + 1, nameEnd - open - 1);
        if (open != std::string::npos && kept.compare(at + 3, name.size() + 1, name + ">") == 0) {
            collapsed.append(kept, from, at - from);
            collapsed += "/>";
            from = at + 3 + name.size() + 1;
        } else {
            collapsed.append(kept, from, at + 1 - from);
            from = at + 1;
        }
    }
    collapsed.append(kept, from, std::string::npos);
    return collapsed;
}

bool SameContent(std::string_view a, std::string_view b)
{
    if (a == b)
        return true;
    if (Normalised(a) == Normalised(b))
        return true;
    std::fprintf(stderr, "reloaded:\n%.*s\nsaved:\n%.*s\n", static_cast<int>(a.size()), a.data(),
                 static_cast<int>(b.size()), b.data());
    return false;
}

void CheckSaveAndReload(std::string bytes)
{
    fileconv::XmlDocument document;
    if (!document.LoadFromBytes(std::move(bytes)))
        return;
    bool ok = false;
    const std::string saved = document.SavedBytes(&ok);
    if (!ok)
        return; // a character the declared encoding cannot hold: refused, nothing written
    fileconv::XmlDocument again;
    FUZZ_CHECK(again.LoadFromBytes(saved));
    FUZZ_CHECK(SameContent(again.DocumentText(), document.DocumentText()));
}

// The extraction writes complete files or leaves the earlier ones untouched.
void CheckWritten(const fileconv::TextOutput& output, const std::string& oldFile)
{
    for (const std::string& path : output.written)
        FUZZ_CHECK(std::filesystem::exists(path));
    if (std::find(output.failed.begin(), output.failed.end(), oldFile) != output.failed.end()) {
        std::string now;
        FUZZ_CHECK(fuzz::ReadWholeFile(oldFile, now));
        FUZZ_CHECK(now == kOldContent);
    }
}

void CheckKml(const std::string& path)
{
    fileconv::KmlDocument kml;
    if (!kml.LoadKml(path))
        return;
    const std::string base = fuzz::ScratchPath("地图 out.kml");
    const std::string points =
        fuzz::ScratchPath(std::string("地图 out") + fileconv::kKmlPointsSuffix);
    fuzz::WriteWholeFile(points, kOldContent);
    for (bool append : {false, true}) {
        fileconv::KmlExportOptions options;
        options.append = append;
        CheckWritten(kml.KmlToText(base, options), points);
    }
    const std::string copy = fuzz::ScratchPath("copy.kml");
    if (kml.SaveKml(copy)) {
        fileconv::KmlDocument again;
        FUZZ_CHECK(again.LoadKml(copy));
        FUZZ_CHECK(SameContent(again.DocumentText(), kml.DocumentText()));
    }
}

void CheckGpx(const std::string& path)
{
    fileconv::GpxDocument gpx;
    if (!gpx.LoadGpx(path))
        return;
    const std::string base = fuzz::ScratchPath("walk.gpx");
    const std::string waypoints =
        fuzz::ScratchPath(std::string("walk") + fileconv::kGpxWaypointsSuffix);
    fuzz::WriteWholeFile(waypoints, kOldContent);
    fileconv::GpxExportOptions options;
    options.format.encoding = tables::TextEncoding::Utf8;
    CheckWritten(gpx.GpxToText(base, options), waypoints);
    const std::string copy = fuzz::ScratchPath("copy.gpx");
    if (gpx.SaveGpx(copy)) {
        fileconv::GpxDocument again;
        FUZZ_CHECK(again.LoadGpx(copy));
        FUZZ_CHECK(SameContent(again.DocumentText(), gpx.DocumentText()));
    }
}

// The input as a coordinate text file made into KML and GPX: a document the program built
// from any table saves and loads again.
void CheckMadeFromText(const std::string& textPath)
{
    fileconv::KmlDocument kml;
    fileconv::KmlMakeOptions kmlOptions;
    kmlOptions.polygons = true;
    const fileconv::TextInput kmlInput = kml.TextToKml(textPath, kmlOptions);
    FUZZ_CHECK(!kmlInput.unreadable);
    const std::string kmlPath = fuzz::ScratchPath("made.kml");
    if (kmlInput.converted && kml.SaveKml(kmlPath)) {
        fileconv::KmlDocument again;
        FUZZ_CHECK(again.LoadKml(kmlPath));
        FUZZ_CHECK(SameContent(again.DocumentText(), kml.DocumentText()));
    }
    fileconv::GpxDocument gpx;
    fileconv::GpxMakeOptions gpxOptions;
    gpxOptions.tracks = true;
    const fileconv::TextInput gpxInput = gpx.TextToGpx(textPath, gpxOptions);
    const std::string gpxPath = fuzz::ScratchPath("made.gpx");
    if (gpxInput.converted && gpx.SaveGpx(gpxPath)) {
        fileconv::GpxDocument again;
        FUZZ_CHECK(again.LoadGpx(gpxPath));
        FUZZ_CHECK(SameContent(again.DocumentText(), gpx.DocumentText()));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string bytes(fuzz::AsText(data, size));
    fuzz::ClearScratch();
    CheckSaveAndReload(bytes);
    const std::string path = fuzz::ScratchPath("输入 in.xml");
    fuzz::WriteWholeFile(path, bytes);
    CheckKml(path);
    CheckGpx(path);
    CheckMadeFromText(path);
    return 0;
}
