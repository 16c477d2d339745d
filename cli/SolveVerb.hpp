// The computation verbs of carvento-cli (solve7, solve3, solve4, height-fit): a common-point
// file in, the page's solve, the common-point table with its residuals out as 保存公共点 writes
// it, and the solved result as the page saves it (保存参数, 保存模型). Verbs and options come from
// the page registry and the pages' own fields and panels.
#pragma once

#include "cli/ConsolePlatform.hpp"
#include "cli/PageOptions.hpp"
#include "pages/PageRegistry.hpp"
#include "pages/frames/CommonPointPage.hpp"

#include <CLI/CLI.hpp>

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace carvento::cli {

class SolveVerb {
public:
    SolveVerb(CLI::App& app, const pages::PageRegistration& registration,
              std::unique_ptr<pages::CommonPointPage> page);

    bool Chosen() const { return m_command->parsed(); }
    // Runs the verb: 0 done, 1 input refused (the page's message on standard error). Usage
    // errors throw CLI::ValidationError.
    int Run(ConsolePrompter& prompter);

private:
    // The option naming the solved result's file: the id of the page's command saving it.
    std::string SolutionOption() const { return "--" + m_page->SolutionCommand()->id; }
    bool ReadInput(ConsolePrompter& prompter);
    bool PlanOutputs(ConsolePrompter& prompter) const;

    std::unique_ptr<pages::CommonPointPage> m_page;
    CLI::App* m_command = nullptr;
    PageOptions m_options;
    std::string m_input;
    CLI::Option* m_skipTitle = nullptr;
    CLI::Option* m_keepTitle = nullptr;
};

// One verb for every built common-point page of the registry that names a verb.
std::vector<std::unique_ptr<SolveVerb>> AddSolveVerbs(CLI::App& app, pages::PageContext context);

} // namespace carvento::cli
