// BLN reading. Surfer writes a header line "count,flag" or "count,flag,name" and vertex lines
// "x,y" or "x,y,z"; other programs add blank lines and CR LF line ends. A header whose count is
// not a positive number cannot say where its polygon ends: it is reported and the next line is
// taken as a header again. A polygon ends with its file.
#include "fileconv/BlnReader.hpp"

#include "fileconv/FileNames.hpp"
#include "fileconv/TextFiles.hpp"
#include "platform/AsciiText.hpp"
#include "platform/WholeFile.hpp"
#include "tables/FieldSplit.hpp"

#include <charconv>
#include <cstdio>
#include <limits>

namespace carvento::fileconv {
namespace {

constexpr const char* kBadCount = "顶点数不是正整数，该多边形已跳过";
constexpr const char* kBadFields = "字段数不对，该行已跳过";
constexpr const char* kInvalidBytes = "含有无效字符，其后的内容未读取";

bool IsBlank(std::string_view line)
{
    for (char c : line)
        if (!platform::IsCSpace(c))
            return false;
    return true;
}

// The vertex count as a C integer read takes it: leading blanks, an optional sign and the
// digits that follow, so "3.0" (as some programs write counts) is 3. 0 when it is not
// positive. Counts beyond what a long holds are counts all the same: the file will end first.
long long VertexCount(std::string_view field)
{
    std::size_t at = 0;
    while (at < field.size() && platform::IsCSpace(field[at]))
        ++at;
    bool negative = false;
    if (at < field.size() && (field[at] == '+' || field[at] == '-'))
        negative = field[at++] == '-';
    std::size_t end = at;
    while (end < field.size() && field[end] >= '0' && field[end] <= '9')
        ++end;
    if (end == at || negative)
        return 0;
    long long count = 0;
    if (std::from_chars(field.data() + at, field.data() + end, count).ec ==
        std::errc::result_out_of_range)
        return std::numeric_limits<long long>::max();
    return count;
}

std::string CutShort(long long count, long long read)
{
    return "多边形应有" + std::to_string(count) + "个顶点，文件结束时只有" + std::to_string(read) +
           "个";
}

} // namespace

std::string Describe(const BlnFinding& finding)
{
    return finding.path + " 第" + std::to_string(finding.line) + "行: " + finding.message;
}

BlnFileText ReadBlnFile(const std::string& path)
{
    BlnFileText result;
    std::string bytes;
    if (!platform::ReadWholeFile(path, bytes))
        return result;
    result.opened = true;
    tables::DecodedText decoded = tables::DecodeText(std::move(bytes));
    if (decoded.status != tables::CodePageStatus::Ok)
        result.findings.push_back({path, decoded.line, kInvalidBytes});

    bool header = true;
    long long count = 0;
    long long vertex = 0;
    int headerLine = 0;
    int lineNumber = 0;
    std::vector<std::string_view> fields;
    for (std::string_view line : tables::SplitLines(decoded.text)) {
        ++lineNumber;
        if (IsBlank(line))
            continue;
        const int n = platform::SplitOnAnyViews(line, ",", fields);
        if (n != 2 && n != 3) {
            result.findings.push_back({path, lineNumber, kBadFields});
            continue;
        }
        if (header) {
            count = VertexCount(fields[0]);
            if (count == 0) {
                result.findings.push_back({path, lineNumber, kBadCount});
                continue;
            }
            vertex = 0;
            headerLine = lineNumber;
            header = false;
            continue;
        }
        ++vertex;
        result.text += std::to_string(vertex);
        result.text += ',';
        result.text.append(fields[1]);
        result.text += ',';
        result.text.append(fields[0]);
        result.text += '\n';
        ++result.vertices;
        if (vertex == count) {
            result.text += '\n';
            ++result.polygons;
            header = true;
        }
    }
    if (!header) {
        result.findings.push_back({path, headerLine, CutShort(count, vertex)});
        if (vertex > 0) {
            // What was read is kept, closed like a whole polygon.
            result.text += '\n';
            ++result.polygons;
        }
    }
    return result;
}

BlnReport BlnToText(const std::vector<std::string>& paths,
                    const std::optional<std::string>& mergedOutput, const TextFileFormat& format)
{
    BlnReport report;
    std::string merged;
    for (const std::string& path : paths) {
        BlnFileText file = ReadBlnFile(path);
        if (!file.opened) {
            report.unreadable.push_back(path);
            continue;
        }
        report.polygons += file.polygons;
        report.findings.insert(report.findings.end(), file.findings.begin(), file.findings.end());
        if (mergedOutput) {
            merged += file.text;
            continue;
        }
        const std::string output = std::string(OutputBase(path)) + ".txt";
        (WriteTextFile(output, kBlnTextHeader, file.text, false, format) ? report.output.written
                                                                         : report.output.failed)
            .push_back(output);
    }
    if (mergedOutput)
        (WriteTextFile(*mergedOutput, kBlnTextHeader, merged, false, format) ? report.output.written
                                                                             : report.output.failed)
            .push_back(*mergedOutput);
    return report;
}

} // namespace carvento::fileconv
