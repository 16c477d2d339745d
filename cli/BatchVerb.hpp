// The file conversion verbs of carvento-cli (txt2kml, kml2txt, txt2gpx, gpx2txt, bln2txt): a
// list of files in, the page's conversion over them, one output beside each input (or in the
// folder or file -o names) or one merged output (--merge OUT). Verbs and options come from the
// page registry and the pages' own fields.
#pragma once

#include "cli/ConsolePlatform.hpp"
#include "cli/PageOptions.hpp"
#include "pages/PageRegistry.hpp"
#include "pages/frames/BatchFilePage.hpp"

#include <CLI/CLI.hpp>

#include <memory>
#include <string>
#include <vector>

namespace carvento::cli {

class BatchVerb {
public:
    BatchVerb(CLI::App& app, const pages::PageRegistration& registration,
              std::unique_ptr<pages::BatchFilePage> page);

    bool Chosen() const { return m_command->parsed(); }
    // 0 when every file converted completely, 1 when any was refused, unreadable, only partly
    // used or not written (the page's messages on standard error). Usage errors throw.
    int Run();

private:
    std::unique_ptr<pages::BatchFilePage> m_page;
    CLI::App* m_command = nullptr;
    PageOptions m_options;
    std::vector<std::string> m_inputs;
};

// One verb for every built batch-file page of the registry.
std::vector<std::unique_ptr<BatchVerb>> AddBatchVerbs(CLI::App& app, pages::PageContext context);

} // namespace carvento::cli
