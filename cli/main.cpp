// carvento-cli: the table pages as a batch command-line tool. Each verb runs the same page
// object as the desktop program, so its output is byte for byte what the page's 导出 writes.
#include "cli/ConsolePlatform.hpp"
#include "geodesy/CustomEllipsoids.hpp"
#include "geodesy/EllipsoidPanel.hpp"
#include "pages/CustomEllipsoidPage.hpp"
#include "pages/GaussPages.hpp"
#include "pages/NotationPage.hpp"
#include "pages/ZoneChangePage.hpp"
#include "platform/NumberText.hpp"
#include "platform/qt/SettingsProfile.hpp"
#include "pages/Messages.hpp"
#include "tables/ImportTable.hpp"
#include "tables/TableStream.hpp"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <functional>
#include <iostream>
#include <iterator>
#include <map>
#include <memory>
#include <optional>
#include <string_view>
#include <unistd.h>

namespace {

using namespace carvento;

constexpr int kExitOk = 0;
constexpr int kExitRefused = 1;
constexpr int kExitUsage = 2;
constexpr const char* kProgram = "carvento-cli";

struct UsageError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Parsed command line: options with values, flags, and positional arguments.
struct Arguments {
    std::map<std::string, std::string> options;
    std::vector<std::string> flags;
    std::vector<std::string> positional;

    bool Has(const std::string& name) const { return options.count(name) != 0; }
    bool Flag(const std::string& name) const
    {
        return std::find(flags.begin(), flags.end(), name) != flags.end();
    }
};

const std::vector<std::string> kFlagNames = {"--help", "-h", "--skip-title", "--keep-title"};

Arguments Parse(int argc, char** argv, int first)
{
    Arguments args;
    for (int i = first; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "-" || arg.rfind("-", 0) != 0 || (arg.size() > 1 && std::isdigit(static_cast<unsigned char>(arg[1])))) {
            args.positional.push_back(arg);
            continue;
        }
        if (std::find(kFlagNames.begin(), kFlagNames.end(), arg) != kFlagNames.end()) {
            args.flags.push_back(arg);
            continue;
        }
        std::string value;
        std::size_t eq = arg.find('=');
        if (eq != std::string::npos) {
            value = arg.substr(eq + 1);
            arg = arg.substr(0, eq);
        } else if (i + 1 < argc) {
            value = argv[++i];
        } else {
            throw UsageError("option " + arg + " needs a value");
        }
        args.options[arg] = value;
    }
    return args;
}

// The verbs that run a table page, with the options each understands.
struct PageVerb {
    const char* name;
    const char* summary;
    std::function<std::unique_ptr<pages::ConversionPage>(pages::PageContext)> make;
    std::vector<std::string> options; // beyond the common ones
};

const char* const kCommonHelp =
    "  FILE                 input text file (comma separated), or - for standard input\n"
    "  -o FILE              output file (standard output when absent)\n"
    "  --encoding gbk|utf-8 output encoding (default gbk, CR LF line ends)\n"
    "  --skip-title / --keep-title   drop or keep the first row (default: guessed as the\n"
    "                       import dialog does)\n"
    "  --columns LIST       file column (1-based, 0 for none) for each table column, e.g. 1,3,2\n";

const char* const kEllipsoidHelp =
    "  --ellipsoid E        0-3, beijing54, xian80, cgcs2000, wgs84, or a user-defined name\n"
    "  --a A --b B          typed axes in metres (chooses \"自定义\")\n";

std::vector<PageVerb> PageVerbs()
{
    return {
        {"gauss-forward", "latitude/longitude to Gauss-Krueger x, y (高斯坐标正算)",
         [](pages::PageContext c) { return std::make_unique<pages::CGSZSDlg>(c); },
         {"--ellipsoid", "--a", "--b", "--meridian", "--y-add", "--unit"}},
        {"gauss-inverse", "Gauss-Krueger x, y to latitude/longitude (高斯坐标反算)",
         [](pages::PageContext c) { return std::make_unique<pages::CGSFSDlg>(c); },
         {"--ellipsoid", "--a", "--b", "--meridian", "--y-add", "--unit"}},
        {"zone-change", "x, y from one zone to another (坐标换带)",
         [](pages::PageContext c) { return std::make_unique<pages::CZBHDDlg>(c); },
         {"--ellipsoid", "--a", "--b", "--from-meridian", "--to-meridian", "--from-y-add",
          "--to-y-add"}},
        {"notation", "latitude/longitude notation conversion (单位转换)",
         [](pages::PageContext c) { return std::make_unique<pages::CDWZHDlg>(c); }, {"--type"}},
    };
}

void PrintUsage(std::ostream& out)
{
    out << "usage: " << kProgram << " VERB [options] [FILE|-]\n\nverbs:\n";
    for (const PageVerb& verb : PageVerbs())
        out << "  " << verb.name << std::string(16 - std::string(verb.name).size(), ' ')
            << verb.summary << '\n';
    out << "  ellipsoid list  user-defined and preset ellipsoids\n"
        << "  ellipsoid add NAME A B   store a user-defined ellipsoid (自定义椭球参数设置)\n"
        << "\n" << kProgram << " VERB --help describes a verb's options.\n";
}

void PrintVerbHelp(const PageVerb& verb, pages::ConversionPage& page)
{
    std::cout << "usage: " << kProgram << ' ' << verb.name << " [options] [FILE|-]\n"
              << verb.summary << "\n\noptions:\n"
              << kCommonHelp;
    bool hasEllipsoid = std::find(verb.options.begin(), verb.options.end(), "--ellipsoid") !=
                        verb.options.end();
    if (hasEllipsoid)
        std::cout << kEllipsoidHelp;
    for (const pages::PageField& field : page.Fields()) {
        std::string option = "--" + field.id;
        std::cout << "  " << option << (option.size() < 21 ? std::string(21 - option.size(), ' ') : " ")
                  << (field.group.empty() ? "" : field.group + " ") << field.label;
        if (field.kind == pages::FieldKind::Integer) {
            std::cout << " (default " << field.value << ")\n";
        } else {
            std::cout << '\n';
            for (std::size_t i = 0; i < field.choices.size(); ++i)
                std::cout << "                       " << i << ": " << field.choices[i] << '\n';
        }
    }
    std::cout << "\ntable columns: ";
    const auto& titles = page.SourceLayout().titles;
    for (std::size_t i = 0; i < titles.size(); ++i)
        std::cout << (i ? ", " : "") << titles[i];
    std::cout << "\n";
}

int ChoiceIndex(const pages::PageField& field, const std::string& text,
                const std::map<std::string, int>& aliases)
{
    auto alias = aliases.find(text);
    if (alias != aliases.end())
        return alias->second;
    for (std::size_t i = 0; i < field.choices.size(); ++i)
        if (field.choices[i] == text)
            return static_cast<int>(i);
    char* end = nullptr;
    long index = std::strtol(text.c_str(), &end, 10);
    if (!text.empty() && *end == '\0' && index >= 0 && index < static_cast<long>(field.choices.size()))
        return static_cast<int>(index);
    throw UsageError("--" + field.id + ": unknown value " + text);
}

void SelectEllipsoid(geodesy::EllipsoidPanel& panel, const Arguments& args)
{
    const std::map<std::string, int> aliases = {
        {"beijing54", 0}, {"krasovsky", 0}, {"xian80", 1}, {"cgcs2000", 2}, {"wgs84", 3}};
    const auto& entries = panel.Entries();
    int custom = static_cast<int>(entries.size()) - 1;
    if (args.Has("--a") || args.Has("--b")) {
        if (!args.Has("--a") || !args.Has("--b"))
            throw UsageError("--a and --b go together");
        if (args.Has("--ellipsoid"))
            throw UsageError("--ellipsoid and --a/--b exclude each other");
        panel.SetAText(args.options.at("--a"));
        panel.SetBText(args.options.at("--b"));
        panel.Select(custom);
        return;
    }
    if (!args.Has("--ellipsoid"))
        return;
    const std::string& name = args.options.at("--ellipsoid");
    if (auto alias = aliases.find(name); alias != aliases.end())
        return panel.Select(alias->second);
    for (int i = 0; i < custom; ++i)
        if (entries[static_cast<std::size_t>(i)] == name && !name.empty())
            return panel.Select(i);
    if (name.size() == 1 && name[0] >= '0' && name[0] <= '3')
        return panel.Select(name[0] - '0');
    throw UsageError("--ellipsoid: unknown ellipsoid " + name + " (see: " + kProgram + " ellipsoid list)");
}

// Far more than any line can hold in memory, and small enough for an int.
constexpr long long kMaxColumnNumber = 100'000'000;

std::vector<int> ParseColumns(const std::string& text)
{
    std::vector<int> columns;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t comma = text.find(',', start);
        std::string piece = text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        char* end = nullptr;
        errno = 0;
        long long number = std::strtoll(piece.c_str(), &end, 10);
        if (piece.empty() || *end != '\0' || number < 0)
            throw UsageError("--columns: expected 1-based column numbers such as 1,2,3");
        if (errno == ERANGE || number > kMaxColumnNumber)
            throw UsageError("--columns: column number " + piece + " is out of range");
        columns.push_back(static_cast<int>(number) - 1);
        if (comma == std::string::npos)
            break;
        start = comma + 1;
    }
    return columns;
}

// An integer option, checked as the page's integer fields read it.
void CheckIntegerOption(const std::string& option, const std::string& text)
{
    char* end = nullptr;
    errno = 0;
    long long number = std::strtoll(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0')
        throw UsageError(option + ": expected an integer, not " + text);
    if (errno == ERANGE || number > INT_MAX || number < INT_MIN)
        throw UsageError(option + ": " + text + " is out of range");
}

std::unique_ptr<platform::Profile> OpenProfile()
{
    // CARVENTO_PROFILE names an INI file to use instead of the user's profile.
    if (const char* path = std::getenv("CARVENTO_PROFILE"); path && *path)
        return platform::SettingsProfile::FromIniFile(path);
    return std::make_unique<platform::SettingsProfile>();
}

class ProgressBar {
public:
    bool Update(int done, int total)
    {
        int percent = static_cast<int>(100LL * done / total);
        if (percent == m_shown)
            return true;
        m_shown = percent;
        int filled = percent * 40 / 100;
        std::fprintf(stderr, "\r[%s%s] %3d%%", std::string(static_cast<std::size_t>(filled), '#').c_str(),
                     std::string(static_cast<std::size_t>(40 - filled), ' ').c_str(), percent);
        if (done == total)
            std::fputc('\n', stderr);
        return true;
    }

private:
    int m_shown = -1;
};

// Converts the input a block of rows at a time: read, map, convert and write, so memory stays
// bounded whatever the file's size. The output is what the page's 导出 writes for the whole
// file; a refused input leaves an existing output file as it was.
int StreamPage(pages::ConversionPage& page, cli::ConsolePrompter& prompter, const std::string& input,
               const std::string& output, tables::TextEncoding encoding)
{
    constexpr int kBlockRows = 32768;
    tables::TableStream stream;
    bool opened = input == "-" ? stream.OpenStandardInput() : stream.Open(input);
    if (!opened) {
        // A folder, a missing file or a read error is reported, never taken as empty input.
        std::cerr << kProgram << ": " << pages::FormatMessage(pages::messages::kCannotReadFile,
                                                              input == "-" ? "standard input" : input)
                  << '\n';
        return kExitRefused;
    }
    stream.AddDelimiter(',');
    const int columns = stream.DetectColumns();
    if (columns == 0) {
        page.ReportReadResult(stream.LastResult());
        return kExitRefused;
    }
    ProgressBar bar;
    const bool showProgress = ::isatty(STDERR_FILENO);
    std::vector<std::string> cells;
    platform::ColumnMapping mapping;
    bool first = true;
    for (;;) {
        cells.clear();
        int rows = stream.ReadRows(cells, kBlockRows);
        if (page.ReportReadResult(stream.LastResult())) {
            page.AbandonExport();
            return kExitRefused;
        }
        if (rows == 0)
            break;
        page.Source().ClearRows();
        if (first) {
            // The first row decides the column mapping and the title row for the whole file.
            page.ImportRows(cells, rows, columns, stream.FirstDataLine(), &mapping);
            if (prompter.Problems() > 0 || !page.BeginExport(output, encoding))
                return kExitRefused;
            first = false;
        } else {
            tables::AppendMappedRows(page.Source(), cells, rows, columns, mapping.columnMap, false);
        }
        page.Convert();
        if (prompter.Problems() > 0) {
            page.AbandonExport();
            return kExitRefused;
        }
        if (!page.ExportBlock())
            return kExitRefused;
        if (showProgress)
            bar.Update(static_cast<int>(stream.Progress() * 1000), 1000);
        if (rows < kBlockRows)
            break;
    }
    if (showProgress)
        bar.Update(1000, 1000);
    return page.EndExport() ? kExitOk : kExitRefused;
}

int RunPage(const PageVerb& verb, const Arguments& args, platform::Profile& profile)
{
    cli::ConsolePrompter prompter(kProgram);
    cli::NoClipboard clipboard;
    pages::PageContext context{prompter, clipboard, profile};
    std::unique_ptr<pages::ConversionPage> page = verb.make(context);
    if (args.Flag("--help") || args.Flag("-h")) {
        PrintVerbHelp(verb, *page);
        return kExitOk;
    }

    // Every option must be known to this verb.
    std::vector<std::string> known = {"-o", "--encoding", "--columns"};
    known.insert(known.end(), verb.options.begin(), verb.options.end());
    for (const auto& [name, value] : args.options)
        if (std::find(known.begin(), known.end(), name) == known.end())
            throw UsageError(std::string(verb.name) + ": unknown option " + name);
    if (args.positional.size() != 1)
        throw UsageError(std::string(verb.name) + ": expected one input FILE or -");
    if (args.Flag("--skip-title") && args.Flag("--keep-title"))
        throw UsageError("--skip-title and --keep-title exclude each other");

    tables::TextEncoding encoding = tables::TextEncoding::Gbk;
    if (args.Has("--encoding")) {
        std::string name = args.options.at("--encoding");
        if (name == "utf-8" || name == "utf8" || name == "UTF-8")
            encoding = tables::TextEncoding::Utf8;
        else if (name != "gbk" && name != "GBK")
            throw UsageError("--encoding: gbk or utf-8");
    }

    if (geodesy::EllipsoidPanel* ellipsoid = page->EllipsoidPanelOf(""))
        SelectEllipsoid(*ellipsoid, args);
    const std::map<std::string, int> unitAliases = {{"dms", 0}, {"packed", 0}, {"dotted", 1}, {"deg", 2}};
    for (pages::PageField& field : page->Fields()) {
        auto option = args.options.find("--" + field.id);
        if (option == args.options.end())
            continue;
        if (field.kind == pages::FieldKind::Integer) {
            CheckIntegerOption(option->first, option->second);
            field.text = option->second;
        } else
            field.pendingIndex = ChoiceIndex(field, option->second, unitAliases);
    }

    if (args.Has("--columns"))
        prompter.columns = ParseColumns(args.options.at("--columns"));
    if (args.Flag("--skip-title"))
        prompter.removeTitleRow = true;
    if (args.Flag("--keep-title"))
        prompter.removeTitleRow = false;
    prompter.readsAsValue = [&page](int column, std::string_view cell) {
        return page->ReadsAsValue(column, cell);
    };

    const std::string& input = args.positional.front();
    return StreamPage(*page, prompter, input, args.Has("-o") ? args.options.at("-o") : "-", encoding);
}

int RunEllipsoid(const Arguments& args, platform::Profile& profile)
{
    if (args.Flag("--help") || args.Flag("-h") || args.positional.empty()) {
        std::cout << "usage: " << kProgram << " ellipsoid list\n"
                  << "       " << kProgram << " ellipsoid add NAME A B\n"
                  << "User-defined ellipsoids are shared with the desktop program.\n";
        return args.positional.empty() && !args.Flag("--help") && !args.Flag("-h") ? kExitUsage : kExitOk;
    }
    const std::string& action = args.positional.front();
    if (action == "list" && args.positional.size() == 1) {
        geodesy::GaussProjector projector;
        geodesy::EllipsoidPanel panel(projector, profile);
        const auto& entries = panel.Entries();
        for (int i = 0; i + 1 < static_cast<int>(entries.size()); ++i) {
            panel.Select(i);
            std::cout << i << '\t' << entries[static_cast<std::size_t>(i)] << '\t'
                      << panel.AText() << '\t' << panel.BText() << '\n';
        }
        return kExitOk;
    }
    if (action == "add" && args.positional.size() == 4) {
        cli::ConsolePrompter prompter(kProgram);
        cli::NoClipboard clipboard;
        // Other copies of this tool and the desktop program may add ellipsoids at the same
        // time: the profile file is locked, re-read, changed and written as one step.
        auto* settings = dynamic_cast<platform::SettingsProfile*>(&profile);
        std::optional<platform::ProfileUpdate> update;
        pages::CustomEllipsoidPage::ProfileStore store;
        if (settings)
            store = [&](const pages::CustomEllipsoidPage::ProfileChange& change) {
                update = settings->Update(change);
                return update->ok();
            };
        pages::CustomEllipsoidPage editor({prompter, clipboard, profile}, store);
        editor.EditText("name", args.positional[1]);
        editor.EditText("a", args.positional[2]);
        editor.EditText("b", args.positional[3]);
        if (!editor.Accept()) {
            if (update)
                std::cerr << kProgram << ": " << settings->FilePath() << ": " << update->description() << '\n';
            return kExitRefused;
        }
        if (update && update->damaged)
            std::cerr << kProgram << ": " << settings->FilePath()
                      << " held lines that could not be read; they were left out of the rewritten profile"
                      << (update->damagedCopy.empty() ? std::string() : ", kept in " + update->damagedCopy)
                      << '\n';
        return kExitOk;
    }
    throw UsageError("ellipsoid: expected 'list' or 'add NAME A B'");
}

} // namespace

int main(int argc, char** argv)
{
    try {
        if (argc < 2) {
            PrintUsage(std::cerr);
            return kExitUsage;
        }
        std::string verb = argv[1];
        if (verb == "--help" || verb == "-h" || verb == "help") {
            PrintUsage(std::cout);
            return kExitOk;
        }
        Arguments args = Parse(argc, argv, 2);
        std::unique_ptr<platform::Profile> profile = OpenProfile();
        if (verb == "ellipsoid")
            return RunEllipsoid(args, *profile);
        for (const PageVerb& pageVerb : PageVerbs())
            if (verb == pageVerb.name)
                return RunPage(pageVerb, args, *profile);
        throw UsageError("unknown verb " + verb);
    } catch (const UsageError& error) {
        std::cerr << kProgram << ": " << error.what() << "\n(" << kProgram << " --help lists the verbs)\n";
        return kExitUsage;
    } catch (const std::exception& error) {
        std::cerr << kProgram << ": " << error.what() << '\n';
        return kExitRefused;
    }
}
