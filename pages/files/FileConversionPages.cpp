// The file conversion pages.
#include "pages/files/FileConversionPages.hpp"

#include "fileconv/BlnReader.hpp"
#include "fileconv/FileNames.hpp"
#include "fileconv/TextFiles.hpp"
#include "pages/frames/Messages.hpp"

#include <algorithm>
#include <filesystem>

namespace carvento::pages {
namespace {

const std::vector<std::string> kTextSuffixes = {".txt", ".dat", ".csv"};
const std::pair<std::string, std::string> kTextFilter = {"坐标文件(*.txt;*.dat;*.csv)",
                                                         "*.txt;*.dat;*.csv"};
const std::pair<std::string, std::string> kKmlFilter = {"Google Earth坐标文件(*.kml)", "*.kml"};
const std::pair<std::string, std::string> kKmlKmzFilter = {"Google Earth坐标文件(*.kml;*.kmz)",
                                                           "*.kml;*.kmz"};
const std::pair<std::string, std::string> kGpxFilter = {"GPS 数据文件(*.gpx)", "*.gpx"};
const std::pair<std::string, std::string> kTxtFilter = {"坐标文本文件(*.txt)", "*.txt"};
const std::pair<std::string, std::string> kBlnFilter = {"Sufer白化(*.bln)", "*.bln"};

constexpr const char* kCloseField = "close";

PageField Option(const char* id, const char* group, const char* label, bool on)
{
    return {.id = id, .group = group, .label = label, .kind = FieldKind::Check, .value = on};
}

FileOutcome LoadFailed(const std::string& path)
{
    return FileOutcome::Failed(FormatMessage(messages::kLoadFailed, path));
}

FileOutcome SaveFailed(const std::string& path)
{
    return FileOutcome::Failed(FormatMessage(messages::kSaveFailed, path));
}

} // namespace

// TXT to KML and TXT to GPX.

void TextToMarkupPage::OnFieldEdited(const PageField& field)
{
    if (field.id == "lines" || field.id == "routes")
        SetFieldEnabled(kCloseField, field.pendingIndex != 0);
}

FileOutcome TextToMarkupPage::TextOutcome(const std::string& input,
                                          const fileconv::TextInput& read) const
{
    const auto warn = [&](const std::string& text) {
        return FileOutcome::Failed(input + ": " + text, platform::MessageIcon::Warning);
    };
    if (read.unreadable)
        return LoadFailed(input);
    switch (read.read.status) {
    case tables::FileStatus::NoData:
        return warn(messages::kNoDataInFirstLines);
    case tables::FileStatus::ShortLine:
        return warn(FormatMessage(messages::kShortLine, read.read.line));
    case tables::FileStatus::InvalidBytes:
        return warn(FormatMessage(messages::kInvalidBytes, read.read.line));
    default:
        break;
    }
    if (read.badLine > 0)
        return FileOutcome::Failed(FormatMessage(messages::kCoordinateNotNumber, read.badLine,
                                                 input) +
                                   " \"" + read.badCell + "\"");
    if (!read.converted && read.rows > 0 && read.columns < 3)
        return FileOutcome::Failed(FormatMessage(messages::kTooFewColumns, input),
                                   platform::MessageIcon::Warning);
    if (!read.converted && read.rows <= 0)
        return warn(messages::kNoDataInFirstLines);
    return {};
}

TxtToKmlPage::TxtToKmlPage(PageContext context) : TextToMarkupPage(context)
{
    AddField(Option("points", "kml配置", "生成点", true));
    AddField(Option("lines", "kml配置", "生成线", true));
    AddField(Option(kCloseField, "kml配置", "线闭合", false));
    AddField(Option("polygons", "kml配置", "生成区", false));
    SetUp({.suffixes = kTextSuffixes,
           .inputFilters = {kTextFilter},
           .outputFilters = {kKmlFilter},
           .outputExtension = "kml",
           .note = messages::kTextInputNote});
}

fileconv::KmlMakeOptions TxtToKmlPage::Options()
{
    return {.points = Ticked("points"),
            .lines = Ticked("lines"),
            .closeLines = Ticked(kCloseField),
            .polygons = Ticked("polygons")};
}

FileOutcome TxtToKmlPage::ConvertFile(const std::string& input, bool merged)
{
    const fileconv::KmlMakeOptions options = Options();
    if (!options.points && !options.lines && !options.polygons)
        return {}; // nothing asked for
    if (merged)
        return TextOutcome(input, m_merged->TextToKml(input, options));
    // Written as it is made: a million points never sit in memory as one document.
    fileconv::KmlDocument document;
    fileconv::TextInput read;
    const std::string output = SeparateOutputBase(input) + ".kml";
    const bool saved = document.TextToKmlFile(input, options, output, read);
    FileOutcome outcome = TextOutcome(input, read);
    if (!outcome.ok)
        return outcome; // an existing KML of the same name stays as it was
    return saved ? FileOutcome{} : SaveFailed(output);
}

FileOutcome TxtToKmlPage::BeginMerge(const std::string& output)
{
    m_merged = std::make_unique<fileconv::KmlDocument>();
    m_merged->BeginFolder(fileconv::FolderName(output));
    return {};
}

FileOutcome TxtToKmlPage::EndMerge(const std::string& output)
{
    const bool saved = m_merged->SaveKml(output);
    m_merged.reset();
    return saved ? FileOutcome{} : SaveFailed(output);
}

TxtToGpxPage::TxtToGpxPage(PageContext context) : TextToMarkupPage(context)
{
    AddField(Option("waypoints", "gpx配置", "生成航点", true));
    AddField(Option("routes", "gpx配置", "生成航线", true));
    AddField(Option(kCloseField, "gpx配置", "航线闭合", false));
    AddField(Option("tracks", "gpx配置", "生成航迹", false));
    SetUp({.suffixes = kTextSuffixes,
           .inputFilters = {kTextFilter},
           .outputFilters = {kGpxFilter},
           .outputExtension = "gpx",
           .note = messages::kTextInputNote});
}

fileconv::GpxMakeOptions TxtToGpxPage::Options()
{
    return {.waypoints = Ticked("waypoints"),
            .routes = Ticked("routes"),
            .closeRoutes = Ticked(kCloseField),
            .tracks = Ticked("tracks")};
}

namespace {

// "walk.gpx: 5 航点, 1 航线 (12 点), 2 航迹 (3 段, 451 点); 跳过 0": what a file gave or
// held of each kind asked for, with the segments when a track has more than one.
std::string GpxSummary(const std::string& input, const fileconv::GpxCounts& counts)
{
    std::string text =
        std::string(fileconv::FileNamePart(input)) + ": " + std::to_string(counts.waypoints) +
        " 航点, " + std::to_string(counts.routes) + " 航线 (" + std::to_string(counts.routePoints) +
        " 点), " + std::to_string(counts.tracks) + " 航迹 (";
    if (counts.trackSegments > counts.tracks)
        text += std::to_string(counts.trackSegments) + " 段, ";
    return text + std::to_string(counts.trackPoints) + " 点); 跳过 " +
           std::to_string(counts.skipped.size());
}

FileOutcome NothingToConvert(const std::string& input)
{
    return FileOutcome::Failed(FormatMessage(messages::kNothingToConvert, input),
                               platform::MessageIcon::Warning);
}

} // namespace

FileOutcome TxtToGpxPage::ConvertFile(const std::string& input, bool merged)
{
    const fileconv::GpxMakeOptions options = Options();
    if (!options.waypoints && !options.routes && !options.tracks)
        return {};
    // A separate output is written as it is made: a million points never sit in memory as one
    // document. A merged one is ordered by kind across the files, so it waits for all of them.
    fileconv::GpxDocument separate;
    fileconv::GpxDocument& document = merged ? *m_merged : separate;
    fileconv::TextInput read;
    const std::string output = SeparateOutputBase(input) + ".gpx";
    const bool saved = merged ? true : separate.TextToGpxFile(input, options, output, read);
    if (merged)
        read = document.TextToGpx(input, options);
    FileOutcome outcome = TextOutcome(input, read);
    if (!outcome.ok)
        return outcome; // an existing GPX of the same name stays as it was
    const std::string summary = GpxSummary(input, document.Counts());
    if (document.Counts().Points() == 0)
        outcome = NothingToConvert(input); // rows without a latitude only
    else if (!saved)
        outcome = SaveFailed(output);
    outcome.summary = summary;
    return outcome;
}

FileOutcome TxtToGpxPage::BeginMerge(const std::string&)
{
    m_merged = std::make_unique<fileconv::GpxDocument>();
    return {};
}

FileOutcome TxtToGpxPage::EndMerge(const std::string& output)
{
    const bool saved = m_merged->SaveGpx(output);
    m_merged.reset();
    return saved ? FileOutcome{} : SaveFailed(output);
}

// KML to TXT and GPX to TXT.

FileOutcome MarkupToTextPage::BeginMerge(const std::string& output)
{
    m_mergedOutput = output;
    return {};
}

std::function<std::string(const std::string&)> MarkupToTextPage::PartialTargets(std::string& notes)
{
    return [&notes](const std::string& path) {
        std::string note;
        std::string target = PartialOutputPath(path, note);
        notes += "\n" + note;
        return target;
    };
}

std::vector<std::string> MarkupToTextPage::OutputFilesOf(const std::string& target) const
{
    std::vector<std::string> files;
    const std::string base(fileconv::OutputBase(target));
    for (const auto& [field, suffix] : m_kinds)
        if (const PageField* option = FindField(field); option && option->value != 0)
            files.push_back(base + suffix);
    return files;
}

std::string MarkupToTextPage::OutputPath(const std::string& input, bool merged) const
{
    return merged ? m_mergedOutput : SeparateOutputBase(input) + ".txt";
}

FileOutcome MarkupToTextPage::WriteOutcome(const fileconv::TextOutput& output)
{
    return output.Ok() ? FileOutcome{} : SaveFailed(output.failed.front());
}

KmlToTxtPage::KmlToTxtPage(PageContext context)
    : MarkupToTextPage(context, {{"points", fileconv::kKmlPointsSuffix},
                                 {"lines", fileconv::kKmlLinesSuffix},
                                 {"polygons", fileconv::kKmlPolygonsSuffix}})
{
    AddField(Option("points", "kml配置", "导出点", true));
    AddField(Option("lines", "kml配置", "导出线", true));
    AddField(Option("polygons", "kml配置", "导出区", true));
    SetUp({.suffixes = {".kml", ".kmz"},
           .inputFilters = {kKmlKmzFilter},
           .outputFilters = {kTxtFilter},
           .outputExtension = "txt"});
}

namespace {

// "a.kml: 12 地标, 3 路径 (1 gx:Track), 2 多边形 (1 内环); 跳过 0"
std::string KmlSummary(const std::string& input, const fileconv::KmlCounts& counts)
{
    std::string text = std::string(fileconv::FileNamePart(input)) + ": " +
                       std::to_string(counts.points) + " 地标, " + std::to_string(counts.lines) +
                       " 路径";
    if (counts.tracks > 0)
        text += " (" + std::to_string(counts.tracks) + " gx:Track)";
    text += ", " + std::to_string(counts.polygons) + " 多边形";
    if (counts.holes > 0)
        text += " (" + std::to_string(counts.holes) + " 内环)";
    return text + "; 跳过 " + std::to_string(counts.skipped.size());
}

} // namespace

FileOutcome KmlToTxtPage::ConvertFile(const std::string& input, bool merged)
{
    // Read in place and written as it is read: a large file is never a document tree nor a
    // text in memory.
    fileconv::KmlDocument document;
    if (!document.OpenKml(input)) {
        FileOutcome failed = LoadFailed(input);
        if (!document.LoadError().empty())
            failed.message += " " + document.LoadError();
        return failed;
    }
    // Geometries left out make the texts partial: beside complete earlier ones, not over them.
    std::string notes;
    const auto partial = PartialTargets(notes);
    const fileconv::KmlExportOptions options{.points = Field("points").value != 0,
                                             .lines = Field("lines").value != 0,
                                             .polygons = Field("polygons").value != 0,
                                             .append = merged,
                                             .format = {TextEncoding()}};
    const fileconv::KmlCounts& counts = document.CountTexts(options);
    FileOutcome outcome = WriteOutcome(document.WriteExtractedTexts(
        OutputPath(input, merged), options,
        merged ? std::function<std::string(const std::string&)>() : partial));
    if (outcome.ok && counts.Empty()) {
        outcome = FileOutcome::Failed(FormatMessage(messages::kNothingToConvert, input),
                                      platform::MessageIcon::Warning);
    } else if (outcome.ok && !counts.skipped.empty()) {
        std::string text = input + ":";
        for (const std::string& skipped : counts.skipped)
            text += "\n跳过 " + skipped;
        outcome = FileOutcome::Partial(text + notes);
    }
    outcome.summary = KmlSummary(input, counts);
    return outcome;
}

GpxToTxtPage::GpxToTxtPage(PageContext context)
    : MarkupToTextPage(context, {{"waypoints", fileconv::kGpxWaypointsSuffix},
                                 {"routes", fileconv::kGpxRoutesSuffix},
                                 {"tracks", fileconv::kGpxTracksSuffix}})
{
    AddField(Option("waypoints", "gpx配置", "导出航点", true));
    AddField(Option("routes", "gpx配置", "导出航线", true));
    AddField(Option("tracks", "gpx配置", "导出航迹", true));
    SetUp({.suffixes = {".gpx"},
           .inputFilters = {kGpxFilter},
           .outputFilters = {kTxtFilter},
           .outputExtension = "txt"});
}

FileOutcome GpxToTxtPage::ConvertFile(const std::string& input, bool merged)
{
    fileconv::GpxDocument document;
    // Read in place and written as it is read: a track of a million points is never a
    // document tree nor a text in memory.
    if (!document.OpenGpx(input))
        return LoadFailed(input);
    const fileconv::GpxExportOptions options{.waypoints = Field("waypoints").value != 0,
                                             .routes = Field("routes").value != 0,
                                             .tracks = Field("tracks").value != 0,
                                             .append = merged,
                                             .format = {TextEncoding()}};
    const fileconv::GpxCounts& counts = document.CountTexts(options);
    std::string skipped = input + ":";
    for (const std::string& point : counts.skipped)
        skipped += "\n跳过 " + point;
    FileOutcome outcome;
    if (counts.Points() == 0) {
        outcome = NothingToConvert(input);
        if (!counts.skipped.empty())
            outcome.message = skipped + "\n" + outcome.message;
    } else {
        // Points left out make the texts partial: beside complete earlier ones, not over them.
        std::string notes;
        const auto partial = PartialTargets(notes);
        const bool beside = !counts.skipped.empty() && !merged;
        outcome = WriteOutcome(document.WriteExtractedTexts(
            OutputPath(input, merged), options,
            beside ? std::function<std::string(const std::string&)>(partial) : nullptr));
        if (outcome.ok && !counts.skipped.empty())
            outcome = FileOutcome::Partial(skipped + notes);
    }
    outcome.summary = GpxSummary(input, counts);
    return outcome;
}

// BLN to TXT.

BlnToTxtPage::BlnToTxtPage(PageContext context) : BatchFilePage(context)
{
    SetUp({.suffixes = {".bln"},
           .inputFilters = {kBlnFilter},
           .outputFilters = {kTxtFilter},
           .outputExtension = "txt"});
}

namespace {

FileOutcome FindingsOutcome(const std::vector<fileconv::BlnFinding>& findings,
                            const std::string& note)
{
    std::string text;
    for (const fileconv::BlnFinding& finding : findings)
        text += (text.empty() ? "" : "\n") + fileconv::Describe(finding);
    if (!note.empty())
        text += "\n" + note;
    return FileOutcome::Partial(text);
}

} // namespace

FileOutcome BlnToTxtPage::ConvertFile(const std::string& input, bool merged)
{
    // Counted first, then written a block at a time: a file of millions of vertices never
    // sits in memory as text.
    fileconv::BlnFile bln;
    if (!bln.Open(input))
        return LoadFailed(input);
    const fileconv::BlnFileText& file = bln.Summary();
    FileOutcome outcome;
    if (file.polygons == 0) {
        // Nothing to write: an earlier output stays as it was.
        outcome = NothingToConvert(input);
        if (!file.findings.empty())
            outcome.message = FindingsOutcome(file.findings, "").message + "\n" + outcome.message;
    } else {
        std::string note;
        if (merged) {
            bln.WriteText([this](std::string_view lines) {
                m_mergedText.append(lines);
                return true;
            });
        } else {
            std::string output = SeparateOutputBase(input) + ".txt";
            if (!file.findings.empty())
                output = PartialOutputPath(output, note);
            if (!bln.WriteTextFile(output, {TextEncoding()}))
                outcome = SaveFailed(output);
        }
        if (outcome.ok && !file.findings.empty())
            outcome = FindingsOutcome(file.findings, note);
    }
    // "lake.bln: 3 多边形 (120 点); 跳过 1": every finding is a line or polygon left out.
    outcome.summary = std::string(fileconv::FileNamePart(input)) + ": " +
                      std::to_string(file.polygons) + " 多边形 (" + std::to_string(file.vertices) +
                      " 点); 跳过 " + std::to_string(file.findings.size());
    return outcome;
}

FileOutcome BlnToTxtPage::BeginMerge(const std::string&)
{
    m_mergedText.clear();
    return {};
}

FileOutcome BlnToTxtPage::EndMerge(const std::string& output)
{
    const bool written = fileconv::WriteTextFile(output, fileconv::kBlnTextHeader, m_mergedText,
                                                 false, {TextEncoding()});
    m_mergedText.clear();
    return written ? FileOutcome{} : SaveFailed(output);
}

} // namespace carvento::pages
