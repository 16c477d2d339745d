// Coordinate text input of the markup conversions.
#include "fileconv/CoordinateText.hpp"

#include "platform/AsciiText.hpp"
#include "platform/NumberText.hpp"
#include "platform/TextSplit.hpp"
#include "platform/WholeFile.hpp"
#include "tables/CodePage.hpp"
#include "tables/FieldSplit.hpp"
#include "tables/TextTableFile.hpp"

#include <algorithm>
#include <cmath>

namespace carvento::fileconv {
namespace {

// A character that XML cannot hold (a control character other than TAB, CR and LF).
bool HasControl(std::string_view text)
{
    for (char c : text)
        if (static_cast<unsigned char>(c) < 0x20 && c != '\t' && c != '\r' && c != '\n')
            return true;
    return false;
}

// The file's text as the table reader decodes it ("" when it cannot be read again).
std::string DecodedFile(const std::string& path)
{
    std::string bytes;
    if (!platform::ReadWholeFile(path, bytes))
        return {};
    return tables::DecodeText(std::move(bytes)).text;
}

// The 1-based line, from `fromLine` on, of the first control character in the decoded file;
// 0 when the file cannot be read again.
int ControlLine(const std::string& path, int fromLine)
{
    const std::string text = DecodedFile(path);
    const std::vector<std::string_view> lines = tables::SplitLines(text);
    for (std::size_t i = static_cast<std::size_t>(std::max(fromLine, 1)) - 1; i < lines.size(); ++i)
        if (HasControl(lines[i]))
            return static_cast<int>(i) + 1;
    return 0;
}

// Refuses a file whose used cells hold what XML cannot: nothing of it enters the document.
bool RefuseControls(const std::vector<std::string>& cells, int rows, int columns,
                    const std::string& path, int firstDataLine, TextInput& input)
{
    const auto width = static_cast<std::size_t>(columns);
    const std::size_t used = std::min<std::size_t>(width, 4);
    for (std::size_t row = 0; row < static_cast<std::size_t>(rows); ++row)
        for (std::size_t column = 0; column < used; ++column)
            if (HasControl(cells[row * width + column])) {
                input.read = {tables::FileStatus::InvalidBytes, ControlLine(path, firstDataLine)};
                return true;
            }
    return false;
}

// The 1-based file line of data row `row` (rows as the table reader counts them: a run of
// blank lines is one blank row) when the first row is on line `firstDataLine`.
int LineOfRow(const std::string& path, int firstDataLine, std::size_t row)
{
    const std::string text = DecodedFile(path);
    const std::vector<std::string_view> lines = tables::SplitLines(text);
    std::size_t seen = 0;
    bool previousBlank = false;
    for (std::size_t i = static_cast<std::size_t>(std::max(firstDataLine, 1)) - 1; i < lines.size();
         ++i) {
        const bool blank = lines[i].empty();
        if (blank && previousBlank)
            continue;
        previousBlank = blank;
        if (seen++ == row)
            return static_cast<int>(i) + 1;
    }
    return 0;
}

std::string_view Trimmed(std::string_view text)
{
    while (!text.empty() && platform::IsCSpace(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && platform::IsCSpace(text.back()))
        text.remove_suffix(1);
    return text;
}

// Name, latitude and longitude lose the blanks around them (", 30.5" is 30.5); a row with a
// latitude needs both to be decimal degrees within ±90° and ±180° (an empty longitude would
// write no position), or nothing of the file enters the document: a text written into
// <coordinates> as it stands would give another position when read back.
bool RefuseNonNumbers(std::vector<std::string>& cells, int rows, int columns,
                      const std::string& path, int firstDataLine, TextInput& input)
{
    const auto width = static_cast<std::size_t>(columns);
    for (std::size_t row = 0; row < static_cast<std::size_t>(rows); ++row) {
        // A name of blanks only would not survive the document (XML drops such text).
        std::string& name = cells[row * width];
        name = std::string(Trimmed(name));
        std::string& latitude = cells[row * width + 1];
        std::string& longitude = cells[row * width + 2];
        latitude = std::string(Trimmed(latitude));
        longitude = std::string(Trimmed(longitude));
        if (latitude.empty())
            continue; // a row without a latitude separates lines, whatever else it holds
        const double limits[] = {90.0, 180.0};
        const std::string* values[] = {&latitude, &longitude};
        for (int i = 0; i < 2; ++i) {
            const std::string& value = *values[i];
            // Plain decimal degrees (GPX takes no exponent) within the earth's range: a
            // latitude of 114 is a swapped pair of columns.
            if (!platform::IsNumberText(value) || value.find_first_of("eE") != std::string::npos ||
                !(std::fabs(platform::ParseDouble(value)) <= limits[i])) {
                input.badLine = LineOfRow(path, firstDataLine, row);
                input.badCell = value;
                return true;
            }
        }
    }
    return false;
}

} // namespace

bool ReadCoordinateText(const std::string& path, std::vector<std::string>& cells, TextInput& input)
{
    tables::TextTableFile file;
    if (!file.OpenForRead(path)) {
        input.unreadable = true;
        return false;
    }
    file.AddDelimiter(',');
    int rows = 0;
    int columns = 0;
    file.ReadAll(cells, rows, columns);
    input.rows = rows;
    input.columns = columns;
    input.read = file.LastResult();
    // A file read only in part (a short line, invalid bytes) is not converted at all.
    if (!input.read.Ok() || rows <= 0 || columns <= 2)
        return false;
    return !RefuseControls(cells, rows, columns, path, file.FirstDataLine(), input) &&
           !RefuseNonNumbers(cells, rows, columns, path, file.FirstDataLine(), input);
}

std::string OneLine(std::string_view text)
{
    std::string line;
    line.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            continue;
        line += (c == '\r' || c == '\n') ? ' ' : c;
    }
    return line;
}

void AppendTextLine(std::string& text, std::initializer_list<std::string_view> fields)
{
    bool first = true;
    for (std::string_view field : fields) {
        if (!first)
            text += ',';
        first = false;
        if (field.find_first_of("\r\n") != std::string_view::npos)
            platform::AppendQuotedField(text, OneLine(field));
        else
            platform::AppendQuotedField(text, field);
    }
    text += '\n';
}

} // namespace carvento::fileconv
