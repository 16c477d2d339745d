// The options a page's description gives its command-line verb, shared by every verb: the
// ellipsoid options of each panel (prefixed by the panel's side on two-sided pages), one option
// per field, --encoding, and applying what was given to the page. Usage errors throw
// CLI::ValidationError (exit status 2).
#pragma once

#include "pages/frames/ToolPage.hpp"
#include "tables/CodePage.hpp"

#include <CLI/CLI.hpp>

#include <climits>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace carvento::cli {

class PageOptions {
public:
    PageOptions(CLI::App& command, pages::ToolPage& page) : m_command(command), m_page(page) {}

    // An option with a value, read back with Value.
    void Add(const std::string& name, const std::string& text);
    std::optional<std::string> Value(const std::string& name) const;

    // A field that gets no option of its own (the verb covers it otherwise).
    void Skip(const std::string& fieldId) { m_skipped.push_back(fieldId); }
    // --encoding, the panels' and the fields' options. A check box gives --ID and --no-ID.
    void DeclarePage();
    // Selects each panel's ellipsoid, then takes the given fields in the page's order (a source
    // central meridian before the target's, so a target meridian given as well wins).
    void ApplyToPage();
    // The central meridian field given as "auto" (ApplyToPage leaves it for the verb to take
    // from the data's zone numbers), or nothing.
    const std::optional<std::string>& AutoMeridian() const { return m_autoMeridian; }
    // --encoding: GBK unless utf-8 was asked for.
    tables::TextEncoding Encoding() const;

private:
    void SelectEllipsoid(const pages::PagePanel& panel);

    CLI::App& m_command;
    pages::ToolPage& m_page;
    std::map<std::string, CLI::Option*> m_options;
    std::map<std::string, CLI::Option*> m_flags;
    std::map<std::string, CLI::Option*> m_negatedFlags;
    std::vector<std::string> m_skipped;
    std::optional<std::string> m_autoMeridian;
};

// Checks an integer option as the page's integer fields read it: an optional "-" and digits,
// within [min, max]. Returns the value; a usage error (CLI::ValidationError) names the option
// otherwise.
int CheckIntegerOption(const std::string& option, const std::string& text, long long min = INT_MIN,
                       long long max = INT_MAX);

// --columns: 1-based file column numbers, 0 for none, one per table column from the first, as
// 0-based indices (-1 for none). Anything but comma-separated digits is a usage error that shows
// `example` ("1,2,3"); a number past 100,000,000 is one too.
std::vector<int> ParseColumnsOption(const std::string& text, const std::string& example);

} // namespace carvento::cli
