// The batch-file frame.
#include "pages/frames/BatchFilePage.hpp"

#include "fileconv/FileNames.hpp"
#include "pages/frames/EditableTable.hpp"
#include "pages/frames/Messages.hpp"
#include "tables/OutputPolicy.hpp"

#include <algorithm>
#include <filesystem>
#include <iterator>
#include <optional>

namespace carvento::pages {

BatchFilePage::BatchFilePage(PageContext context) : ToolPage(context) {}

void BatchFilePage::SetUp(BatchFileSetup setup)
{
    m_setup = std::move(setup);
    AddField({.id = kModeField,
              .group = "多文件模式",
              .label = "",
              .kind = FieldKind::Radio,
              .choices = {"合并文件", "生成独立文件"},
              .value = kSeparate});
    AddCommand({kRunCommand, m_setup.runCaption, [this] { return Convert().ran; }});
}

int BatchFilePage::AddFiles()
{
    platform::FileDialog dialog;
    dialog.filters = m_setup.inputFilters;
    dialog.multipleSelection = true;
    return AddFilePaths(m_context.prompter.ChooseOpenFiles(dialog));
}

int BatchFilePage::AddFilePaths(const std::vector<std::string>& paths)
{
    // A sorted list: each path goes after the equal ones already listed.
    for (const std::string& path : paths)
        m_files.insert(std::upper_bound(m_files.begin(), m_files.end(), path), path);
    return static_cast<int>(paths.size());
}

int BatchFilePage::DropFiles(const std::vector<std::string>& paths)
{
    std::vector<std::string> accepted;
    std::copy_if(paths.begin(), paths.end(), std::back_inserter(accepted),
                 [this](const std::string& path) { return HasSuffix(path, m_setup.suffixes); });
    return AddFilePaths(accepted);
}

void BatchFilePage::RemoveFile(int index)
{
    if (index < 0 || index >= static_cast<int>(m_files.size()))
        return;
    m_files.erase(m_files.begin() + index);
}

std::string BatchFilePage::OutputBase(const std::string& path)
{
    return std::string(fileconv::OutputBase(path));
}

std::string BatchFilePage::SeparateOutputBase(const std::string& input) const
{
    if (!m_outputFile.empty())
        return OutputBase(m_outputFile);
    if (!m_outputFolder.empty())
        return m_outputFolder + (m_outputFolder.ends_with('/') ? "" : "/") +
               std::string(fileconv::FolderName(input));
    return OutputBase(input);
}

BatchReport BatchFilePage::Convert()
{
    if (!ExchangeFields())
        return {};
    if (Field(kModeField).value != kMerge)
        return Run(std::nullopt);
    platform::FileDialog dialog;
    dialog.filters = m_setup.outputFilters;
    dialog.defaultExtension = m_setup.outputExtension;
    std::optional<std::string> output = m_context.prompter.ChooseSaveFile(dialog);
    if (!output)
        return {};
    return Run(output);
}

void BatchFilePage::Report(const FileOutcome& outcome, BatchReport& report)
{
    if (outcome.ok)
        return;
    report.failures.push_back(outcome.message);
    const bool error = outcome.icon == platform::MessageIcon::Error;
    m_context.prompter.ShowMessage({outcome.message,
                                    error ? messages::kErrorCaption : messages::kApplicationTitle,
                                    outcome.icon, platform::MessageButtons::Ok});
}

std::string BatchFilePage::PlanOutputs(const std::vector<std::string>& files,
                                       const std::optional<std::string>& mergedOutput) const
{
    tables::OutputPlan plan;
    std::vector<std::string> distinct; // an input listed twice is converted into the same files
    for (const std::string& input : files)
        if (plan.AddInput(input))
            distinct.push_back(input);
    const std::string suffix = "." + m_setup.outputExtension;
    if (mergedOutput) {
        std::string refusal = plan.ClaimMerge(*mergedOutput, suffix);
        for (const std::string& output : OutputFilesOf(*mergedOutput))
            if (refusal.empty() && output != *mergedOutput)
                refusal = plan.Claim(output);
        return refusal;
    }
    for (const std::string& input : distinct) {
        for (const std::string& output : OutputFilesOf(SeparateOutputBase(input) + suffix))
            if (std::string refusal = plan.Claim(output); !refusal.empty())
                return refusal;
    }
    return "";
}

BatchReport BatchFilePage::Run(const std::optional<std::string>& mergedOutput)
{
    BatchReport report;
    report.ran = true;
    const bool merged = mergedOutput.has_value();
    if (const std::string refusal = PlanOutputs(m_files, mergedOutput); !refusal.empty()) {
        Report(FileOutcome::Failed(refusal), report);
        return report;
    }
    if (merged) {
        FileOutcome begun = BeginMerge(*mergedOutput);
        Report(begun, report);
        if (!begun.ok)
            return report;
    }
    // The list is copied: a page's message box lets the user edit the list meanwhile.
    const std::vector<std::string> files = m_files;
    bool taken = false;
    bool failed = false;
    for (const std::string& input : files) {
        FileOutcome outcome = ConvertFile(input, merged);
        if (outcome.ok)
            ++report.converted;
        if (!outcome.summary.empty())
            report.summaries.push_back(outcome.summary);
        taken = taken || outcome.ok || outcome.partial;
        failed = failed || !outcome.ok;
        Report(outcome, report);
    }
    if (!merged)
        return report;
    if (!failed || !WritesMergeAtEnd()) {
        Report(EndMerge(*mergedOutput), report);
        return report;
    }
    if (!taken) { // nothing to write: an earlier output stays as it was
        AbandonMerge();
        return report;
    }
    std::string note;
    const std::string target = PartialOutputPath(*mergedOutput, note);
    const FileOutcome ended = EndMerge(target);
    Report(ended.ok ? FileOutcome::Partial(note) : ended, report);
    return report;
}

std::string BatchFilePage::PartialOutputPath(const std::string& output, std::string& note)
{
    std::error_code error;
    if (!std::filesystem::exists(output, error)) {
        note = FormatMessage(messages::kPartialWritten, output);
        return output;
    }
    const std::string base(fileconv::OutputBase(output));
    const std::string partial = base + messages::kPartialSuffix + output.substr(base.size());
    note = FormatMessage(messages::kPartialBeside, partial, output);
    return partial;
}

} // namespace carvento::pages
