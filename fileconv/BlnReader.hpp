// Surfer blanking (BLN) files to numbered coordinate text: each polygon is a header line (vertex
// count, flag and an optional name) followed by its vertices (x, y and an optional z); the text
// has one line per vertex, "number,y,x", and an empty line after each polygon.
#pragma once

#include "fileconv/ConversionResult.hpp"

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace carvento::fileconv {

inline constexpr const char* kBlnTextHeader = "序号,纬度,经度";

// A problem in one input, with its file and 1-based line.
struct BlnFinding {
    std::string path;
    int line = 0;
    std::string message; // what was wrong, in the program's words
};

// "path 第N行: message".
std::string Describe(const BlnFinding& finding);

// One BLN file read: its vertex lines ("number,y,x", LF after each, an empty line after each
// polygon) in UTF-8.
struct BlnFileText {
    bool opened = false;
    int polygons = 0;
    int vertices = 0; // vertex lines written
    std::string text{};
    std::vector<BlnFinding> findings{};
};

BlnFileText ReadBlnFile(const std::string& path);

// A BLN file read for writing its text as it goes: Open reads and decodes it and counts its
// polygons and findings without making the text; WriteText makes the text a block of lines
// at a time. Memory stays near the file's own size however many vertices it holds.
class BlnFile {
public:
    // False when the file cannot be opened or read.
    bool Open(const std::string& path);
    // What ReadBlnFile gives, without the text.
    const BlnFileText& Summary() const { return m_summary; }
    // Hands the vertex lines to `write` in pieces of whole lines, in order; false as soon as
    // `write` is.
    bool WriteText(const std::function<bool(std::string_view)>& write) const;
    // WriteText into a text file with the BLN header; false (the file as it was) when it
    // could not be written.
    bool WriteTextFile(const std::string& output, const TextFileFormat& format) const;

private:
    template <typename Lines>
    void Scan(Lines lines, BlnFileText* summary) const;

    std::string m_path;
    std::string m_text; // decoded
    BlnFileText m_summary;
};

struct BlnReport {
    int polygons = 0;                      // polygons written
    std::vector<std::string> unreadable{}; // inputs that could not be opened
    std::vector<BlnFinding> findings{};
    TextOutput output{};
};

// Converts every file in order: into `mergedOutput` when given, otherwise each into its base
// + ".txt". A polygon never continues from one file into the next.
BlnReport BlnToText(const std::vector<std::string>& paths,
                    const std::optional<std::string>& mergedOutput,
                    const TextFileFormat& format = {});

} // namespace carvento::fileconv
