// The parameter computation verbs.
#include "cli/SolveVerb.hpp"

#include "geodesy/EllipsoidPanel.hpp"
#include "pages/ConversionPage.hpp"
#include "pages/Messages.hpp"
#include "pages/ParameterSet.hpp"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>
#include <unistd.h>

namespace carvento::cli {
namespace {

constexpr int kExitOk = 0;
constexpr int kExitRefused = 1;

[[noreturn]] void Usage(const std::string& option, const std::string& text)
{
    throw CLI::ValidationError(option, text);
}

void CheckInteger(const std::string& option, const std::string& text)
{
    char* end = nullptr;
    errno = 0;
    const long long number = std::strtoll(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0')
        Usage(option, "expected an integer, not " + text);
    if (errno == ERANGE || number > INT_MAX || number < INT_MIN)
        Usage(option, text + " is out of range");
}

int ChoiceIndex(const pages::PageField& field, const std::string& text)
{
    static const std::map<std::string, int> aliases = {{"plane", 0},  {"geodetic", 1}, {"dms", 0},
                                                       {"packed", 0}, {"dotted", 1},   {"deg", 2}};
    if (auto alias = aliases.find(text); alias != aliases.end())
        return alias->second;
    for (std::size_t i = 0; i < field.choices.size(); ++i)
        if (field.choices[i] == text)
            return static_cast<int>(i);
    char* end = nullptr;
    const long index = std::strtol(text.c_str(), &end, 10);
    if (!text.empty() && *end == '\0' && index >= 0 &&
        index < static_cast<long>(field.choices.size()))
        return static_cast<int>(index);
    Usage("--" + field.id, "unknown value " + text);
}

// The parameters are the page's read-only fields, in display order; their number names the kind.
std::vector<const pages::PageField*> ParameterFields(const pages::ToolPage& page)
{
    std::vector<const pages::PageField*> fields;
    for (const pages::PageField& field : page.Fields())
        if (field.kind == pages::FieldKind::ReadOnlyText)
            fields.push_back(&field);
    return fields;
}

std::optional<pages::ParameterKind> KindOf(std::size_t count)
{
    for (pages::ParameterKind kind :
         {pages::ParameterKind::Three, pages::ParameterKind::Four, pages::ParameterKind::Seven})
        if (static_cast<std::size_t>(pages::ParameterSetOf(kind).Count()) == count)
            return kind;
    return std::nullopt;
}

bool ReadAll(std::istream& in, std::string& bytes)
{
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

} // namespace

SolveVerb::SolveVerb(CLI::App& app, const pages::PageRegistration& registration,
                     std::unique_ptr<pages::CommonPointPage> page)
    : m_page(std::move(page))
{
    m_command = app.add_subcommand(std::string(registration.verb),
                                   std::string(registration.summary));
    m_command
        ->add_option("FILE", m_input,
                     "common-point file (identifier, old values, new values; comma separated), "
                     "or - for standard input")
        ->required();
    Add("-o", "the common-point table with its residuals, as 保存公共点 writes it (standard "
              "output when absent)");
    Add("--save-params", "the parameter line, as 保存参数 writes it");
    Add("--encoding", "output encoding: gbk (default, CR LF line ends) or utf-8");
    m_skipTitle =
        m_command->add_flag("--skip-title")->description("drop the first line as a title");
    m_keepTitle = m_command->add_flag("--keep-title")
                      ->description("read the first line as a common point (the default)")
                      ->excludes(m_skipTitle);
    for (const pages::PagePanel& panel : m_page->Panels()) {
        if (panel.kind != pages::PanelKind::Ellipsoid)
            continue;
        const std::string prefix = panel.side.empty() ? "--" : "--" + panel.side + "-";
        Add(prefix + "ellipsoid",
            "0-3, beijing54, xian80, cgcs2000, wgs84, or a user-defined name");
        Add(prefix + "a",
            "typed semi-major axis in metres (chooses \"自定义\"; with " + prefix + "b)");
        Add(prefix + "b", "typed semi-minor axis in metres");
    }
    for (const pages::PageField& field : m_page->Fields()) {
        std::string text = (field.group.empty() ? "" : field.group + " ") + field.label;
        switch (field.kind) {
        case pages::FieldKind::ReadOnlyText:
        case pages::FieldKind::Check:
        case pages::FieldKind::Spin:
            continue;
        case pages::FieldKind::Integer:
            text += " (default " + std::to_string(field.value) + ")";
            break;
        case pages::FieldKind::Choice:
        case pages::FieldKind::Radio:
            if (text.ends_with(":"))
                text.pop_back();
            for (std::size_t i = 0; i < field.choices.size(); ++i)
                text += (i ? ", " : ": ") + std::to_string(i) + " " + field.choices[i];
            break;
        case pages::FieldKind::Text:
            break;
        }
        Add("--" + field.id, text);
    }
    std::string columns;
    for (const std::string& title : m_page->Layout().titles)
        columns += (columns.empty() ? "" : ", ") + title;
    m_command->footer("table columns: " + columns +
                      "\nThe parameters are also printed on standard error.");
}

void SolveVerb::Add(const std::string& name, const std::string& text)
{
    m_options[name] = m_command->add_option(name, text);
}

std::optional<std::string> SolveVerb::Value(const std::string& name) const
{
    auto option = m_options.find(name);
    if (option == m_options.end() || option->second->count() == 0)
        return std::nullopt;
    return option->second->as<std::string>();
}

void SolveVerb::SelectEllipsoid(const pages::PagePanel& panel)
{
    static const std::map<std::string, int> aliases = {
        {"beijing54", 0}, {"krasovsky", 0}, {"xian80", 1}, {"cgcs2000", 2}, {"wgs84", 3}};
    geodesy::EllipsoidPanel& ellipsoid = *panel.ellipsoid;
    const std::string prefix = panel.side.empty() ? "--" : "--" + panel.side + "-";
    const auto& entries = ellipsoid.Entries();
    const int custom = static_cast<int>(entries.size()) - 1;
    const std::optional<std::string> a = Value(prefix + "a");
    const std::optional<std::string> b = Value(prefix + "b");
    const std::optional<std::string> name = Value(prefix + "ellipsoid");
    if (a || b) {
        if (!a || !b)
            Usage(prefix + "a", prefix + "a and " + prefix + "b go together");
        if (name)
            Usage(prefix + "ellipsoid", "excludes " + prefix + "a/" + prefix + "b");
        ellipsoid.SetAText(*a);
        ellipsoid.SetBText(*b);
        ellipsoid.Select(custom);
        return;
    }
    if (!name)
        return;
    if (auto alias = aliases.find(*name); alias != aliases.end())
        return ellipsoid.Select(alias->second);
    for (int i = 0; i < custom; ++i)
        if (entries[static_cast<std::size_t>(i)] == *name && !name->empty())
            return ellipsoid.Select(i);
    if (name->size() == 1 && (*name)[0] >= '0' && (*name)[0] <= '3')
        return ellipsoid.Select((*name)[0] - '0');
    Usage(prefix + "ellipsoid", "unknown ellipsoid " + *name);
}

// Fields in the page's order: a source central meridian is taken before the target's, so a
// target meridian given as well overrides the one that followed the source.
void SolveVerb::TakeFieldOptions()
{
    for (const pages::PagePanel& panel : m_page->Panels())
        if (panel.kind == pages::PanelKind::Ellipsoid)
            SelectEllipsoid(panel);
    for (const pages::PageField& field : m_page->Fields()) {
        const std::optional<std::string> value = Value("--" + field.id);
        if (!value)
            continue;
        switch (field.kind) {
        case pages::FieldKind::Integer:
            CheckInteger("--" + field.id, *value);
            m_page->EditText(field.id, *value);
            break;
        case pages::FieldKind::Text:
            m_page->EditText(field.id, *value);
            break;
        case pages::FieldKind::Choice:
        case pages::FieldKind::Radio:
            m_page->Choose(field.id, ChoiceIndex(field, *value));
            break;
        default:
            break;
        }
    }
}

// The file as 导入 reads it (the field count included), after dropping a title line when asked.
bool SolveVerb::ReadInput(ConsolePrompter& prompter)
{
    std::string bytes;
    bool read = false;
    if (m_input == "-") {
        read = ReadAll(std::cin, bytes);
    } else {
        std::ifstream in(m_input, std::ios::binary);
        read = in.is_open() && !std::filesystem::is_directory(m_input) && ReadAll(in, bytes);
    }
    if (!read) {
        platform::Message message;
        message.text = pages::FormatMessage(pages::messages::kCannotReadFile,
                                            m_input == "-" ? "standard input" : m_input);
        message.icon = platform::MessageIcon::Error;
        prompter.ShowMessage(message);
        return false;
    }
    if (m_skipTitle->count() > 0) {
        const std::size_t end = bytes.find('\n');
        bytes.erase(0, end == std::string::npos ? bytes.size() : end + 1);
    }
    m_page->Editor().ImportBytes(std::move(bytes));
    return prompter.Problems() == 0;
}

int SolveVerb::Run(ConsolePrompter& prompter)
{
    tables::TextEncoding encoding = tables::TextEncoding::Gbk;
    if (std::optional<std::string> name = Value("--encoding")) {
        if (*name == "utf-8" || *name == "utf8" || *name == "UTF-8")
            encoding = tables::TextEncoding::Utf8;
        else if (*name != "gbk" && *name != "GBK")
            Usage("--encoding", "gbk or utf-8");
    }
    const std::vector<const pages::PageField*> parameters = ParameterFields(*m_page);
    const std::optional<pages::ParameterKind> kind = KindOf(parameters.size());
    if (!kind)
        Usage(std::string(m_command->get_name()), "not available on the command line");
    TakeFieldOptions();
    if (prompter.Problems() > 0 || !ReadInput(prompter))
        return kExitRefused;
    if (!m_page->SolveCommand())
        return kExitRefused;

    std::vector<std::string> texts;
    for (const pages::PageField* field : parameters) {
        texts.push_back(field->text);
        std::cerr << field->label << field->text << '\n';
    }
    if (std::optional<std::string> path = Value("--save-params"))
        if (!pages::SaveParameterFile(prompter, *path, *kind, texts, encoding))
            return kExitRefused;

    if (std::optional<std::string> path = Value("-o"); path && *path != "-")
        return m_page->SavePointsToFile(*path, encoding) ? kExitOk : kExitRefused;
    // Standard output: the same file, written aside first and then copied.
    const std::filesystem::path scratch =
        std::filesystem::temp_directory_path() /
        ("carvento-cli-points-" + std::to_string(::getpid()) + ".txt");
    const bool written = m_page->SavePointsToFile(scratch.string(), encoding);
    if (written) {
        std::ifstream in(scratch, std::ios::binary);
        std::cout << in.rdbuf();
        std::cout.flush();
    }
    std::error_code ignored;
    std::filesystem::remove(scratch, ignored);
    return written && std::cout.good() ? kExitOk : kExitRefused;
}

std::vector<std::unique_ptr<SolveVerb>> AddSolveVerbs(CLI::App& app, pages::PageContext context)
{
    std::vector<std::unique_ptr<SolveVerb>> verbs;
    for (const pages::PageRegistration& registration : pages::PageRegistry()) {
        if (!registration.Built() || registration.verb.empty() ||
            registration.frame != pages::PageFrame::CommonPoint)
            continue;
        // The frame a page names is its own statement of the frame class it derives from.
        std::unique_ptr<pages::ToolPage> page = registration.factory(context);
        verbs.push_back(
            std::make_unique<SolveVerb>(app, registration,
                                        std::unique_ptr<pages::CommonPointPage>(
                                            static_cast<pages::CommonPointPage*>(page.release()))));
    }
    return verbs;
}

} // namespace carvento::cli
