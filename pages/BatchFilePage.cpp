// The batch-file frame.
#include "pages/BatchFilePage.hpp"

#include "fileconv/FileNames.hpp"
#include "pages/EditableTable.hpp"
#include "pages/Messages.hpp"

#include <algorithm>
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
    AddCommand({kRunCommand, m_setup.runCaption});
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

bool BatchFilePage::OnCommand(const std::string& id)
{
    return id == kRunCommand && Convert().ran;
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

BatchReport BatchFilePage::Run(const std::optional<std::string>& mergedOutput)
{
    BatchReport report;
    report.ran = true;
    const bool merged = mergedOutput.has_value();
    if (merged) {
        FileOutcome begun = BeginMerge(*mergedOutput);
        Report(begun, report);
        if (!begun.ok)
            return report;
    }
    // The list is copied: a page's message box lets the user edit the list meanwhile.
    const std::vector<std::string> files = m_files;
    for (const std::string& input : files) {
        FileOutcome outcome = ConvertFile(input, merged);
        if (outcome.ok)
            ++report.converted;
        Report(outcome, report);
    }
    if (merged)
        Report(EndMerge(*mergedOutput), report);
    return report;
}

} // namespace carvento::pages
