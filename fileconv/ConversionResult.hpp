// What a file conversion reports back to its page: whether it ran, how reading the input went,
// and the files it wrote or failed to write.
#pragma once

#include "tables/CodePage.hpp"
#include "tables/TextTableFile.hpp"

#include <string>
#include <vector>

namespace carvento::fileconv {

// Reading a coordinate text file into a document (TXT to KML, TXT to GPX).
struct TextInput {
    bool converted = false;    // rows were taken into the document
    bool unreadable = false;   // the file could not be opened
    int columns = 0;           // columns found (fewer than 3: nothing converted)
    int rows = 0;              // rows read
    tables::FileResult read{}; // how reading went (short line, invalid bytes, no data)
    int badLine = 0;           // a line whose latitude or longitude is not a number
    std::string badCell{};     // what that cell held
};

// Writing the text files of an extraction (KML to TXT, GPX to TXT, BLN to TXT).
struct TextOutput {
    std::vector<std::string> written{}; // files written completely
    std::vector<std::string> failed{};  // files that could not be written (left untouched)
    bool Ok() const { return failed.empty(); }
};

// How extracted text files are written: GBK with CR LF unless asked otherwise.
struct TextFileFormat {
    tables::TextEncoding encoding = tables::TextEncoding::Gbk;
};

} // namespace carvento::fileconv
