// The parameter-set table and the parameter file.
#include "pages/frames/ParameterSet.hpp"

#include "pages/frames/EditableTable.hpp"
#include "pages/frames/Messages.hpp"
#include "pages/frames/ToolPage.hpp"
#include "platform/NumberText.hpp"
#include "platform/WholeFile.hpp"
#include "tables/CodePage.hpp"
#include "tables/FieldSplit.hpp"
#include "tables/TextTableFile.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>

namespace carvento::pages {
namespace {

using geodesy::FourParams;
using geodesy::SevenParams;
using geodesy::ThreeParams;

constexpr int kImportedDecimals = 10;

// Indexed by ParameterKind.
const std::array<ParameterSetInfo, 3> kParameterSets = {{
    {ParameterKind::Three,
     {{"DX", "DX=", 10}, {"DY", "DY=", 10}, {"DZ", "DZ=", 10}},
     {0, 1, 2},
     messages::kThreeParamsFieldCount,
     "三参数设置(DX,DY,DZ:米)",
     "导入三参数",
     "三参数",
     "解算三参数"},
    // The fields show T before K; the file carries K before T, the order of FourParams.
    {ParameterKind::Four,
     {{"DX", "DX=", 6}, {"DY", "DY=", 6}, {"T", "T=", 10}, {"K", "K=", 12}},
     {0, 1, 3, 2},
     messages::kFourParamsFieldCount,
     "四参数设置(DX,DY,T,K)",
     "导入四参数",
     "四参数",
     "解算四参数"},
    {ParameterKind::Seven,
     {{"DX", "DX=", 10},
      {"DY", "DY=", 10},
      {"DZ", "DZ=", 10},
      {"WX", "WX=", 10},
      {"WY", "WY=", 10},
      {"WZ", "WZ=", 10},
      {"K", "K=", 10}},
     {0, 1, 2, 3, 4, 5, 6},
     messages::kSevenParamsFieldCount,
     "七参数设置(DX,DY,DZ:米;WX,WY,WZ:秒;K:ppm)",
     "导入七参数",
     "七参数",
     "解算七参数"},
}};

// The record members in display order.
constexpr double ThreeParams::*kThreeMembers[] = {&ThreeParams::DX, &ThreeParams::DY,
                                                  &ThreeParams::DZ};
constexpr double FourParams::*kFourMembers[] = {&FourParams::DX, &FourParams::DY, &FourParams::T,
                                                &FourParams::K};
constexpr double SevenParams::*kSevenMembers[] = {&SevenParams::DX, &SevenParams::DY,
                                                  &SevenParams::DZ, &SevenParams::WX,
                                                  &SevenParams::WY, &SevenParams::WZ,
                                                  &SevenParams::K};

template <class Record, std::size_t N>
std::vector<double> ValuesOf(const Record& record, double Record::*const (&members)[N])
{
    std::vector<double> values;
    for (double Record::*member : members)
        values.push_back(record.*member);
    return values;
}

template <class Record, std::size_t N>
Record RecordOf(const std::vector<double>& values, double Record::*const (&members)[N])
{
    Record record;
    if (values.size() != N)
        return record;
    for (std::size_t i = 0; i < N; ++i)
        record.*members[i] = values[i];
    return record;
}

// The fields of the first two lines of the decoded text that hold any, up to the line of bytes
// the decoder refused.
std::vector<std::vector<std::string>> FirstDataLines(const tables::DecodedText& decoded)
{
    std::vector<std::string_view> lines = tables::SplitLines(decoded.text);
    if (decoded.status != tables::CodePageStatus::Ok && decoded.line > 0 &&
        lines.size() >= static_cast<std::size_t>(decoded.line))
        lines.resize(static_cast<std::size_t>(decoded.line) - 1);
    std::vector<std::vector<std::string>> found;
    for (std::string_view line : lines) {
        if (line.empty())
            continue;
        tables::SplitOnAny(line, ",", found.emplace_back());
        if (found.size() == 2)
            break;
    }
    return found;
}

bool HoldsNumber(const std::vector<std::string>& fields)
{
    return std::any_of(fields.begin(), fields.end(),
                       [](const std::string& field) { return platform::IsNumberText(field); });
}

bool IsFiniteNumber(const std::string& text)
{
    return platform::IsNumberText(text) && std::isfinite(platform::ParseDouble(text));
}

ParameterReadResult ReadFrom(std::string bytes, ParameterSet& set)
{
    ParameterReadResult result;
    {
        // The count the field-count message speaks of: the widest of the first 8 lines.
        tables::TextTableFile file;
        file.OpenForReadFromBytes(bytes);
        file.AddDelimiter(',');
        file.SetTitleLine(true);
        std::vector<std::string> names;
        result.fields = file.DetectColumns(names);
        if (result.fields == 0) {
            const tables::FileResult& detected = file.LastResult();
            result.status = detected.status == tables::FileStatus::InvalidBytes
                                ? ParameterReadStatus::InvalidBytes
                                : ParameterReadStatus::NoData;
            result.line = detected.line;
            return result;
        }
    }
    ParameterSet read(set.Kind());
    const ParameterSetInfo& info = read.Info();
    if (result.fields < info.Count()) {
        result.status = ParameterReadStatus::TooFewFields;
        return result;
    }
    // The values: the first line, or the next one after a title line that holds no number.
    const tables::DecodedText decoded = tables::DecodeText(std::move(bytes));
    std::vector<std::vector<std::string>> lines = FirstDataLines(decoded);
    if (lines.empty()) {
        result.status = ParameterReadStatus::NoData;
        return result;
    }
    const std::vector<std::string>& values = lines.size() > 1 && !HoldsNumber(lines[0]) ? lines[1]
                                                                                        : lines[0];
    if (static_cast<int>(values.size()) < info.Count()) {
        result.status = ParameterReadStatus::TooFewFields;
        return result;
    }
    for (int k = 0; k < info.Count(); ++k) {
        const std::string& text = values[static_cast<std::size_t>(k)];
        if (!IsFiniteNumber(text)) {
            result.status = ParameterReadStatus::NotANumber;
            result.field = k + 1;
            return result;
        }
        read.SetFileValue(k, platform::ParseDouble(text));
    }
    if (read.Kind() == ParameterKind::Four) {
        const FourParams four = read.ToFourParams();
        if (four.K == 0.0 && four.T == 0.0) {
            result.status = ParameterReadStatus::NoScale;
            return result;
        }
    }
    set = read;
    return result;
}

} // namespace

const ParameterSetInfo& ParameterSetOf(ParameterKind kind)
{
    return kParameterSets[static_cast<std::size_t>(kind)];
}

ParameterSet::ParameterSet(ParameterKind kind)
    : m_kind(kind), m_values(static_cast<std::size_t>(ParameterSetOf(kind).Count()), 0.0)
{
}

ParameterSet ParameterSet::From(const ThreeParams& params)
{
    ParameterSet set(ParameterKind::Three);
    set.m_values = ValuesOf(params, kThreeMembers);
    return set;
}

ParameterSet ParameterSet::From(const FourParams& params)
{
    ParameterSet set(ParameterKind::Four);
    set.m_values = ValuesOf(params, kFourMembers);
    return set;
}

ParameterSet ParameterSet::FromInternal(const SevenParams& params)
{
    SevenParams shown = params;
    geodesy::SevenParamsToDisplay(shown);
    ParameterSet set(ParameterKind::Seven);
    set.m_values = ValuesOf(shown, kSevenMembers);
    return set;
}

void ParameterSet::SetFileValue(int fileIndex, double value)
{
    const std::vector<int>& order = Info().fileOrder;
    if (fileIndex >= 0 && fileIndex < static_cast<int>(order.size()))
        SetValue(order[static_cast<std::size_t>(fileIndex)], value);
}

void ParameterSet::SetValue(int displayIndex, double value)
{
    if (displayIndex >= 0 && displayIndex < static_cast<int>(m_values.size()))
        m_values[static_cast<std::size_t>(displayIndex)] = value;
}

ThreeParams ParameterSet::ToThreeParams() const
{
    return m_kind == ParameterKind::Three ? RecordOf(m_values, kThreeMembers) : ThreeParams{};
}

FourParams ParameterSet::ToFourParams() const
{
    return m_kind == ParameterKind::Four ? RecordOf(m_values, kFourMembers) : FourParams{};
}

SevenParams ParameterSet::ToInternalSevenParams() const
{
    if (m_kind != ParameterKind::Seven)
        return {};
    SevenParams params = RecordOf(m_values, kSevenMembers);
    geodesy::SevenParamsToInternal(params);
    return params;
}

std::vector<std::string> ParameterSet::FieldTexts(ParameterShown shown) const
{
    const std::vector<ParameterName>& names = Info().names;
    std::vector<std::string> texts;
    for (std::size_t i = 0; i < m_values.size(); ++i) {
        int decimals = shown == ParameterShown::Imported ? kImportedDecimals
                                                         : names[i].solvedDecimals;
        texts.push_back(platform::FormatFixed(m_values[i], decimals));
    }
    return texts;
}

ParameterReadResult ReadParameterFile(const std::string& path, ParameterSet& set)
{
    std::string bytes;
    if (!platform::ReadWholeFile(path, bytes))
        return {.status = ParameterReadStatus::Unreadable};
    return ReadFrom(std::move(bytes), set);
}

ParameterReadResult ReadParameterBytes(std::string bytes, ParameterSet& set)
{
    return ReadFrom(std::move(bytes), set);
}

std::vector<std::string> ParameterReadMessages(const ParameterReadResult& result,
                                               ParameterKind kind, const std::string& path)
{
    const std::string fieldCount = ParameterSetOf(kind).tooFewFieldsMessage;
    switch (result.status) {
    case ParameterReadStatus::Ok:
        return {};
    case ParameterReadStatus::Unreadable:
        return {FormatMessage(messages::kCannotReadFile, path)};
    case ParameterReadStatus::NoData:
        return {messages::kNoDataInFirstLines, fieldCount};
    case ParameterReadStatus::InvalidBytes:
        return {FormatMessage(messages::kInvalidBytes, result.line), fieldCount};
    case ParameterReadStatus::TooFewFields:
        return {fieldCount};
    case ParameterReadStatus::NotANumber: {
        const ParameterSetInfo& info = ParameterSetOf(kind);
        const auto place = static_cast<std::size_t>(result.field - 1);
        const std::string name =
            place < info.fileOrder.size()
                ? info.names[static_cast<std::size_t>(info.fileOrder[place])].name
                : std::string();
        return {FormatMessage(messages::kParameterNotANumber, result.field, name)};
    }
    case ParameterReadStatus::NoScale:
        return {messages::kFourParamsNoScale};
    }
    return {};
}

std::vector<std::string> ParameterFileLine(ParameterKind kind,
                                           std::span<const std::string> displayTexts)
{
    const std::vector<int>& order = ParameterSetOf(kind).fileOrder;
    std::vector<std::string> line;
    for (int displayIndex : order) {
        const auto at = static_cast<std::size_t>(displayIndex);
        line.push_back(at < displayTexts.size() ? displayTexts[at] : std::string());
    }
    return line;
}

bool SaveParameterFile(platform::Prompter& prompter, const std::string& path, ParameterKind kind,
                       std::span<const std::string> displayTexts, tables::TextEncoding encoding)
{
    const std::vector<std::string> line = ParameterFileLine(kind, displayTexts);
    return WriteTableFile(prompter, path, line, 1, static_cast<int>(line.size()), {}, encoding);
}

} // namespace carvento::pages
