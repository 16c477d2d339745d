// The file conversion verbs.
#include "cli/BatchVerb.hpp"

#include <filesystem>
#include <iostream>

namespace carvento::cli {
namespace {

constexpr int kExitOk = 0;
constexpr int kExitRefused = 1;

std::string Suffixes(const pages::BatchFileSetup& setup)
{
    std::string text;
    for (const std::string& suffix : setup.suffixes)
        text += (text.empty() ? "" : ", ") + suffix;
    return text;
}

} // namespace

BatchVerb::BatchVerb(CLI::App& app, const pages::PageRegistration& registration,
                     std::unique_ptr<pages::BatchFilePage> page)
    : m_page(std::move(page)), m_command(app.add_subcommand(std::string(registration.verb),
                                                            std::string(registration.summary))),
      m_options(*m_command, *m_page)
{
    m_command->add_option("FILES", m_inputs, "input files (" + Suffixes(m_page->Setup()) + ")")
        ->required();
    m_options.Add("-o", "output: a file when there is one input, else an existing folder "
                        "(default: beside each input, named after it)");
    m_options.Add("--merge", "one merged output file for all inputs");
    m_options.Skip(pages::BatchFilePage::kModeField);
    m_options.DeclarePage();
    m_command->footer("Files are converted in sorted order, as the page's list shows them. "
                      "Outputs that exist are replaced only by complete new files; in merge mode "
                      "the text outputs of kml2txt and gpx2txt are appended to.");
}

int BatchVerb::Run()
{
    const std::optional<std::string> output = m_options.Value("-o");
    const std::optional<std::string> merged = m_options.Value("--merge");
    if (output && merged)
        throw CLI::ValidationError("-o", "-o and --merge exclude each other");
    if (merged && merged->empty())
        throw CLI::ValidationError("--merge", "needs a file name");
    if (output) {
        std::error_code error;
        if (std::filesystem::is_directory(*output, error))
            m_page->SetOutputFolder(*output);
        else if (m_inputs.size() == 1)
            m_page->SetOutputFile(*output);
        else
            throw CLI::ValidationError("-o", "with several inputs -o must name an existing folder");
    }
    m_options.ApplyToPage();
    m_page->SetTextEncoding(m_options.Encoding());
    m_page->Choose(pages::BatchFilePage::kModeField,
                   merged ? pages::BatchFilePage::kMerge : pages::BatchFilePage::kSeparate);
    if (!m_page->ExchangeFields())
        return kExitRefused;
    m_page->AddFilePaths(m_inputs);
    const pages::BatchReport report = m_page->Run(merged);
    for (const std::string& summary : report.summaries)
        std::cerr << summary << '\n';
    return report.failures.empty() ? kExitOk : kExitRefused;
}

std::vector<std::unique_ptr<BatchVerb>> AddBatchVerbs(CLI::App& app, pages::PageContext context)
{
    std::vector<std::unique_ptr<BatchVerb>> verbs;
    for (const pages::PageRegistration& registration : pages::PageRegistry()) {
        if (!registration.Built() || registration.verb.empty() ||
            registration.frame != pages::PageFrame::BatchFile)
            continue;
        if (std::unique_ptr<pages::BatchFilePage> page =
                pages::TakeAs(registration.factory(context), &pages::ToolPage::AsBatchFile))
            verbs.push_back(std::make_unique<BatchVerb>(app, registration, std::move(page)));
    }
    return verbs;
}

} // namespace carvento::cli
