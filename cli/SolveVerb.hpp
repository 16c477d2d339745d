// The parameter computation verbs of carvento-cli (solve7, solve3, solve4): a common-point file
// in, the page's solve, the common-point table with its residuals out as 保存公共点 writes it,
// and the parameter line as 保存参数 writes it. Verbs and options come from the page registry
// and the pages' own fields and panels.
#pragma once

#include "cli/ConsolePlatform.hpp"
#include "pages/CommonPointPage.hpp"
#include "pages/PageRegistry.hpp"

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
    void Add(const std::string& name, const std::string& text);
    std::optional<std::string> Value(const std::string& name) const;
    void SelectEllipsoid(const pages::PagePanel& panel);
    void TakeFieldOptions();
    bool ReadInput(ConsolePrompter& prompter);

    std::unique_ptr<pages::CommonPointPage> m_page;
    CLI::App* m_command = nullptr;
    std::string m_input;
    std::map<std::string, CLI::Option*> m_options;
    CLI::Option* m_skipTitle = nullptr;
    CLI::Option* m_keepTitle = nullptr;
};

// One verb for every built common-point page of the registry that names a verb.
std::vector<std::unique_ptr<SolveVerb>> AddSolveVerbs(CLI::App& app, pages::PageContext context);

} // namespace carvento::cli
