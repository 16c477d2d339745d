// The conversion verbs of carvento-cli (gauss-forward, zone-change, seven-params …): a point
// file in, the page's 转换 over it a block of rows at a time, the result out as the page's 导出
// (or 导出GIS with --format) writes it. Verbs and options come from the page registry and the
// pages' own fields and panels.
#pragma once

#include "cli/ConsolePlatform.hpp"
#include "cli/PageOptions.hpp"
#include "pages/PageRegistry.hpp"
#include "pages/frames/ConversionPage.hpp"
#include "pages/frames/GisExport.hpp"

#include <CLI/CLI.hpp>

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace carvento::cli {

// The options of one page verb, declared from the page's description: the common input and
// output options, each ellipsoid panel (prefixed by its side on two-sided pages) and each field.
class ConversionVerb {
public:
    ConversionVerb(CLI::App& app, const pages::PageRegistration& registration,
                   std::unique_ptr<pages::ToolPage> page);

    bool Chosen() const { return m_command->parsed(); }
    // 0 when every row converted and was written, 1 when the input was refused or not written
    // (the page's message on standard error; an existing output file is left as it was). Usage
    // errors throw CLI::ValidationError.
    int Run(ConsolePrompter& prompter);

private:
    std::optional<std::string> Value(const std::string& name) const
    {
        return m_pageOptions.Value(name);
    }
    // --meridian auto: the zone number the input's y values carry, read ahead of the
    // conversion, becomes the central meridian; standard error says which. false (reported)
    // when the file cannot be read or its y values carry no common zone number.
    bool TakeMeridianFromData(pages::ConversionPage& page, const ConsolePrompter& prompter,
                              const std::string& field) const;
    // --format: the GIS format asked for, or nothing for the text the page's 导出 writes.
    // Usage errors for an unknown format and for a layer without -o FILE.
    std::optional<pages::GisFormat> GisFormatOption() const;
    // The option naming the parameter file of a page that takes one.
    std::string ParameterOption() const;
    pages::ConversionPage* AsConversion() const { return m_page->AsConversion(); }

    const pages::PageRegistration& m_registration;
    std::unique_ptr<pages::ToolPage> m_page;
    CLI::App* m_command = nullptr;
    PageOptions m_pageOptions;
    std::string m_input;
    CLI::Option* m_skipTitle = nullptr;
    CLI::Option* m_keepTitle = nullptr;
    CLI::Option* m_printProj = nullptr;
};

// One verb for every built conversion page of the registry that names a verb.
std::vector<std::unique_ptr<ConversionVerb>> AddConversionVerbs(CLI::App& app,
                                                                pages::PageContext context);

} // namespace carvento::cli
