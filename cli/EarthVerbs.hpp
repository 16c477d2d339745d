// The globe verbs of carvento-cli: elevation (a point file in, the 高程 of each point out,
// through the running globe or straight from an elevation model with --dem), dem (a grid of
// terrain points over the globe's current view) and mapframe (the graticule's KML to a file, or
// loaded into the running globe). They run the same pages as the desktop program.
#pragma once

#include "cli/ConsolePlatform.hpp"
#include "cli/PageOptions.hpp"
#include "pages/frames/ToolPage.hpp"

#include <CLI/CLI.hpp>

#include <memory>
#include <string>
#include <vector>

namespace carvento::cli {

class EarthVerb {
public:
    virtual ~EarthVerb() = default;
    bool Chosen() const { return m_command->parsed(); }
    // 0 done, 1 refused or no globe (the message on standard error). Usage errors throw.
    virtual int Run(ConsolePrompter& prompter) = 0;

protected:
    EarthVerb(CLI::App& app, const std::string& verb, const std::string& summary,
              std::unique_ptr<pages::ToolPage> page);

    std::unique_ptr<pages::ToolPage> m_page;
    CLI::App* m_command = nullptr;
    PageOptions m_options;
};

// One verb for every built globe page of the registry. The pages reach the globe through
// `context.earth`, which the verbs set up when they run.
std::vector<std::unique_ptr<EarthVerb>> AddEarthVerbs(CLI::App& app, pages::PageContext context);

} // namespace carvento::cli
