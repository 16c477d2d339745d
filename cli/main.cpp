// carvento-cli: the pages as a batch command-line tool. Each verb runs the same page object as
// the desktop program, so its output is byte for byte what the page's 导出 writes. The verbs
// and their options come from the page registry and the pages' own fields and panels.
#include "cli/BatchVerb.hpp"
#include "cli/ConsolePlatform.hpp"
#include "cli/ConversionVerb.hpp"
#include "cli/Docs.hpp"
#include "cli/EarthVerbs.hpp"
#include "cli/SolveVerb.hpp"
#include "geodesy/EllipsoidPanel.hpp"
#include "pages/PageRegistry.hpp"
#include "pages/coordinates/CustomEllipsoidPage.hpp"
#include "platform/qt/SettingsProfile.hpp"
#include "shell/Application.hpp"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cstdlib>
#include <exception>
#include <iostream>
#include <memory>
#include <optional>

namespace {

using namespace carvento;

constexpr int kExitOk = 0;
constexpr int kExitRefused = 1;
constexpr int kExitUsage = 2;
using cli::kProgram;

struct UsageError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

int ListEllipsoids(platform::Profile& profile)
{
    geodesy::GaussProjector projector;
    geodesy::EllipsoidPanel panel(projector, profile);
    const auto& entries = panel.Entries();
    for (int i = 0; i + 1 < static_cast<int>(entries.size()); ++i) {
        panel.Select(i);
        std::cout << i << '\t' << entries[static_cast<std::size_t>(i)] << '\t' << panel.AText()
                  << '\t' << panel.BText() << '\n';
    }
    return kExitOk;
}

int AddEllipsoid(const std::string& name, const std::string& a, const std::string& b,
                 platform::SettingsProfile& profile)
{
    cli::ConsolePrompter prompter(kProgram);
    cli::NoClipboard clipboard;
    // Other copies of this tool and the desktop program may add ellipsoids at the same
    // time: the profile file is locked, re-read, changed and written as one step.
    std::optional<platform::ProfileUpdate> update;
    pages::CustomEllipsoidPage::ProfileStore store =
        [&](const pages::CustomEllipsoidPage::ProfileChange& change) {
            update = profile.Update(change);
            return update->Ok();
        };
    pages::CustomEllipsoidPage editor({prompter, clipboard, profile}, store);
    editor.EditText("name", name);
    editor.EditText("a", a);
    editor.EditText("b", b);
    if (!editor.Accept()) {
        if (update)
            std::cerr << kProgram << ": " << profile.FilePath() << ": " << update->description()
                      << '\n';
        return kExitRefused;
    }
    if (update && update->damaged)
        std::cerr
            << kProgram << ": " << profile.FilePath()
            << " held lines that could not be read; they were left out of the rewritten profile"
            << (update->damagedCopy.empty() ? std::string() : ", kept in " + update->damagedCopy)
            << '\n';
    return kExitOk;
}

std::unique_ptr<platform::SettingsProfile> OpenProfile()
{
    // CARVENTO_PROFILE names an INI file to use instead of the user's profile.
    if (const char* path = std::getenv("CARVENTO_PROFILE"); path && *path)
        return platform::SettingsProfile::FromIniFile(path);
    return std::make_unique<platform::SettingsProfile>();
}

} // namespace

int main(int argc, char** argv)
{
    CLI::App app{"Carvento coordinate tools on the command line: each verb runs one tool page on "
                 "coordinate text, KML, GPX or BLN files and writes what the page writes.",
                 kProgram};
    app.require_subcommand(1);
    app.footer(std::string(kProgram) +
               " VERB --help describes a verb's options; --version prints the version. Exit "
               "status: 0 done, 1 input "
               "refused (the page's message on standard error), 2 usage error.\n");
    try {
        std::unique_ptr<platform::SettingsProfile> profile = OpenProfile();
        cli::ConsolePrompter prompter(kProgram);
        cli::NoClipboard clipboard;
        pages::PageContext context{prompter, clipboard, *profile};

        std::vector<std::unique_ptr<cli::ConversionVerb>> verbs = cli::AddConversionVerbs(app,
                                                                                          context);
        std::vector<std::unique_ptr<cli::SolveVerb>> solveVerbs = cli::AddSolveVerbs(app, context);
        std::vector<std::unique_ptr<cli::BatchVerb>> batchVerbs = cli::AddBatchVerbs(app, context);
        std::vector<std::unique_ptr<cli::EarthVerb>> earthVerbs = cli::AddEarthVerbs(app, context);

        CLI::App* ellipsoid = app.add_subcommand(
            "ellipsoid", "user-defined ellipsoids, shared with the desktop program");
        ellipsoid->require_subcommand(1);
        CLI::App* list = ellipsoid->add_subcommand("list", "user-defined and preset ellipsoids");
        CLI::App* add =
            ellipsoid->add_subcommand("add", "store a user-defined ellipsoid (自定义椭球参数设置)");
        std::string name, a, b;
        add->add_option("NAME", name, "the ellipsoid's name")->required();
        add->add_option("A", a, "semi-major axis in metres")->required();
        add->add_option("B", b, "semi-minor axis in metres")->required();

        // "help" as a verb, as many tools accept.
        std::vector<std::string> arguments(argv + 1, argv + argc);
        // What the tool says about itself: its version (the one the update check compares), and
        // its manual page and completion scripts, made from this very parser.
        if (arguments.size() == 1 && arguments[0] == "--version") {
            std::cout << kProgram << ' ' << shell::kCurrentVersion << '\n';
            return kExitOk;
        }
        if (arguments.size() == 1 && arguments[0] == "--manual-page") {
            std::cout << cli::ManPage(app, shell::kCurrentVersion);
            return kExitOk;
        }
        if (arguments.size() == 2 && arguments[0] == "--completion") {
            if (arguments[1] != "bash" && arguments[1] != "zsh")
                throw UsageError("--completion: bash or zsh");
            std::cout << (arguments[1] == "bash" ? cli::BashCompletion(app)
                                                 : cli::ZshCompletion(app));
            return kExitOk;
        }
        if (arguments.size() == 1 && arguments[0] == "help")
            arguments[0] = "--help";
        std::reverse(arguments.begin(), arguments.end());
        app.parse(arguments);

        if (list->parsed())
            return ListEllipsoids(*profile);
        if (add->parsed())
            return AddEllipsoid(name, a, b, *profile);
        for (const auto& verb : verbs)
            if (verb->Chosen())
                return verb->Run(prompter);
        for (const auto& verb : solveVerbs)
            if (verb->Chosen())
                return verb->Run(prompter);
        for (const auto& verb : batchVerbs)
            if (verb->Chosen())
                return verb->Run();
        for (const auto& verb : earthVerbs)
            if (verb->Chosen()) {
                // The globe's "not running" and the like are notices on the desktop.
                prompter.printInformation = true;
                return verb->Run(prompter);
            }
        return kExitUsage;
    } catch (const CLI::ParseError& error) {
        if (error.get_exit_code() == 0)
            return app.exit(error); // --help
        std::cerr << kProgram << ": " << error.what() << "\n(" << kProgram
                  << " --help lists the verbs)\n";
        return kExitUsage;
    } catch (const UsageError& error) {
        std::cerr << kProgram << ": " << error.what() << "\n(" << kProgram
                  << " --help lists the verbs)\n";
        return kExitUsage;
    } catch (const std::exception& error) {
        std::cerr << kProgram << ": " << error.what() << '\n';
        return kExitRefused;
    }
}
