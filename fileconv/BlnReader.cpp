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

bool BlnFile::Open(const std::string& path)
{
    m_path = path;
    m_summary = {};
    m_text.clear();
    std::string bytes;
    if (!platform::ReadWholeFile(path, bytes))
        return false;
    m_summary.opened = true;
    tables::DecodedText decoded = tables::DecodeText(std::move(bytes));
    if (decoded.status != tables::CodePageStatus::Ok)
        m_summary.findings.push_back({path, decoded.line, kInvalidBytes});
    m_text = std::move(decoded.text);
    Scan([](std::string_view) {}, &m_summary);
    return true;
}

// One pass over the decoded text: `lines` takes the vertex lines (and the empty line closing
// each polygon) as they are made; `summary`, when given, takes the counts and findings.
template <typename Lines>
void BlnFile::Scan(Lines lines, BlnFileText* summary) const
{
    const auto find = [&](int line, std::string message) {
        if (summary)
            summary->findings.push_back({m_path, line, std::move(message)});
    };
    int polygons = 0;
    int vertices = 0;
    bool header = true;
    long long count = 0;
    long long vertex = 0;
    int headerLine = 0;
    int lineNumber = 0;
    std::vector<std::string_view> fields;
    std::string text;
    const auto onLine = [&](std::string_view line) {
        ++lineNumber;
        if (IsBlank(line))
            return;
        const int n = platform::SplitOnAnyViews(line, ",", fields);
        if (n != 2 && n != 3) {
            find(lineNumber, kBadFields);
            return;
        }
        if (header) {
            count = VertexCount(fields[0]);
            if (count == 0) {
                find(lineNumber, kBadCount);
                return;
            }
            vertex = 0;
            headerLine = lineNumber;
            header = false;
            return;
        }
        ++vertex;
        text.clear();
        text += std::to_string(vertex);
        text += ',';
        text.append(fields[1]);
        text += ',';
        text.append(fields[0]);
        text += '\n';
        ++vertices;
        if (vertex == count) {
            text += '\n';
            ++polygons;
            header = true;
        }
        lines(std::string_view(text));
    };
    // Split a block at a time, each ending after a LF: lines never span an LF, so they are
    // those of the whole text, without a view of every line of a large file at once.
    constexpr std::size_t kBlock = 1 << 20;
    for (std::string_view rest = m_text; !rest.empty();) {
        const std::size_t lf = rest.size() > kBlock ? rest.find('\n', kBlock)
                                                    : std::string_view::npos;
        const std::size_t size = lf == std::string_view::npos ? rest.size() : lf + 1;
        for (std::string_view line : tables::SplitLines(rest.substr(0, size)))
            onLine(line);
        rest.remove_prefix(size);
    }
    if (!header) {
        find(headerLine, CutShort(count, vertex));
        if (vertex > 0) {
            // What was read is kept, closed like a whole polygon.
            lines(std::string_view("\n"));
            ++polygons;
        }
    }
    if (summary) {
        summary->polygons = polygons;
        summary->vertices = vertices;
    }
}

bool BlnFile::WriteText(const std::function<bool(std::string_view)>& write) const
{
    constexpr std::size_t kBlock = 1 << 20;
    std::string block;
    bool ok = true;
    Scan(
        [&](std::string_view lines) {
            block.append(lines);
            if (ok && block.size() >= kBlock) {
                ok = write(std::string_view(block));
                block.clear();
            }
        },
        nullptr);
    return ok && (block.empty() || write(std::string_view(block)));
}

bool BlnFile::WriteTextFile(const std::string& output, const TextFileFormat& format) const
{
    TextFileWriter writer;
    if (!writer.Open(output, kBlnTextHeader, false, format))
        return false;
    if (!WriteText([&](std::string_view lines) { return writer.Write(lines); })) {
        writer.Abandon();
        return false;
    }
    return writer.Finish();
}

BlnFileText ReadBlnFile(const std::string& path)
{
    BlnFile file;
    if (!file.Open(path))
        return {};
    BlnFileText result = file.Summary();
    file.WriteText([&](std::string_view lines) {
        result.text.append(lines);
        return true;
    });
    return result;
}

BlnReport BlnToText(const std::vector<std::string>& paths,
                    const std::optional<std::string>& mergedOutput, const TextFileFormat& format)
{
    BlnReport report;
    std::string merged;
    for (const std::string& path : paths) {
        BlnFile file;
        if (!file.Open(path)) {
            report.unreadable.push_back(path);
            continue;
        }
        const BlnFileText& summary = file.Summary();
        report.polygons += summary.polygons;
        report.findings.insert(report.findings.end(), summary.findings.begin(),
                               summary.findings.end());
        if (mergedOutput) {
            file.WriteText([&](std::string_view lines) {
                merged.append(lines);
                return true;
            });
            continue;
        }
        const std::string output = std::string(OutputBase(path)) + ".txt";
        (file.WriteTextFile(output, format) ? report.output.written : report.output.failed)
            .push_back(output);
    }
    if (mergedOutput)
        (WriteTextFile(*mergedOutput, kBlnTextHeader, merged, false, format) ? report.output.written
                                                                             : report.output.failed)
            .push_back(*mergedOutput);
    return report;
}

} // namespace carvento::fileconv
