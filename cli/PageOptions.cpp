// Page options on the command line.
#include "cli/PageOptions.hpp"

#include "geodesy/EllipsoidPanel.hpp"
#include "platform/NumberText.hpp"

#include <algorithm>
#include <climits>

namespace carvento::cli {
namespace {

[[noreturn]] void Usage(const std::string& option, const std::string& text)
{
    throw CLI::ValidationError(option, text);
}

// A choice by its index, its text, or one of the short names the field gives its choices.
int ChoiceIndex(const pages::PageField& field, const std::string& text)
{
    for (const auto& [name, index] : field.optionNames)
        if (name == text)
            return index;
    for (std::size_t i = 0; i < field.choices.size(); ++i)
        if (field.choices[i] == text)
            return static_cast<int>(i);
    if (const std::optional<long long> index =
            platform::ParseInteger(text, 0, static_cast<long long>(field.choices.size()) - 1))
        return static_cast<int>(*index);
    Usage("--" + field.id, "unknown value " + text);
}

std::string Prefix(const pages::PagePanel& panel)
{
    return panel.side.empty() ? "--" : "--" + panel.side + "-";
}

} // namespace

int CheckIntegerOption(const std::string& option, const std::string& text, long long min,
                       long long max)
{
    if (!platform::IsIntegerText(text))
        Usage(option, "expected an integer, not " + text);
    const std::optional<long long> number = platform::ParseInteger(text, min, max);
    if (!number)
        Usage(option, text + " is out of range");
    return static_cast<int>(*number);
}

std::vector<int> ParseColumnsOption(const std::string& text, const std::string& example)
{
    // Far more than any line can hold in memory, and small enough for an int.
    constexpr long long kMaxColumnNumber = 100'000'000;
    std::vector<int> columns;
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t comma = text.find(',', start);
        const std::string piece = text.substr(start, comma == std::string::npos ? std::string::npos
                                                                                : comma - start);
        // A sign is no column number: "-1" is as wrong as "x".
        if (piece.starts_with('-') || !platform::IsIntegerText(piece))
            Usage("--columns", "expected 1-based column numbers such as " + example);
        const std::optional<long long> number = platform::ParseInteger(piece, 0, kMaxColumnNumber);
        if (!number)
            Usage("--columns", "column number " + piece + " is out of range");
        columns.push_back(static_cast<int>(*number) - 1);
        if (comma == std::string::npos)
            break;
        start = comma + 1;
    }
    return columns;
}

void PageOptions::Add(const std::string& name, const std::string& text)
{
    m_options[name] = m_command.add_option(name, text);
}

std::optional<std::string> PageOptions::Value(const std::string& name) const
{
    auto option = m_options.find(name);
    if (option == m_options.end() || option->second->count() == 0)
        return std::nullopt;
    return option->second->as<std::string>();
}

void PageOptions::DeclarePage()
{
    Add("--encoding", "output encoding: gbk (default, CR LF line ends) or utf-8");
    for (const pages::PagePanel& panel : m_page.Panels()) {
        if (panel.kind != pages::PanelKind::Ellipsoid)
            continue;
        const std::string prefix = Prefix(panel);
        Add(prefix + "ellipsoid",
            "0-3, beijing54, xian80, cgcs2000, wgs84, or a user-defined name");
        Add(prefix + "a",
            "typed semi-major axis in metres (chooses \"自定义\"; with " + prefix + "b)");
        Add(prefix + "b", "typed semi-minor axis in metres");
    }
    for (const pages::PageField& field : m_page.Fields()) {
        if (std::find(m_skipped.begin(), m_skipped.end(), field.id) != m_skipped.end())
            continue;
        std::string text = (field.group.empty() ? "" : field.group + " ") + field.label;
        switch (field.kind) {
        case pages::FieldKind::ReadOnlyText:
            continue;
        case pages::FieldKind::Check:
            m_flags[field.id] =
                m_command.add_flag("--" + field.id)
                    ->description(text + (field.value ? " (on by default)" : " (off by default)"));
            m_negatedFlags[field.id] = m_command.add_flag("--no-" + field.id)
                                           ->description("turn off " + text)
                                           ->excludes(m_flags[field.id]);
            continue;
        case pages::FieldKind::Integer:
            text += " (default " + std::to_string(field.value) + ")";
            if (field.id.ends_with("meridian") && field.id != "to-meridian")
                text += "; auto: from the zone number in front of y";
            break;
        case pages::FieldKind::Spin:
            text += " (" + std::to_string(field.minimum) + " to " + std::to_string(field.maximum) +
                    ")";
            break;
        case pages::FieldKind::Choice:
        case pages::FieldKind::Radio:
            if (text.ends_with(":"))
                text.pop_back();
            for (std::size_t i = 0; i < field.choices.size(); ++i) {
                text += (i ? ", " : ": ") + std::to_string(i) + " " + field.choices[i];
                std::string names;
                for (const auto& [name, index] : field.optionNames)
                    if (index == static_cast<int>(i))
                        names += (names.empty() ? "" : "/") + name;
                if (!names.empty())
                    text += " (" + names + ")";
            }
            break;
        case pages::FieldKind::Text:
            break;
        }
        Add("--" + field.id, text);
    }
}

tables::TextEncoding PageOptions::Encoding() const
{
    const std::optional<std::string> name = Value("--encoding");
    if (!name || *name == "gbk" || *name == "GBK")
        return tables::TextEncoding::Gbk;
    if (*name == "utf-8" || *name == "utf8" || *name == "UTF-8")
        return tables::TextEncoding::Utf8;
    Usage("--encoding", "gbk or utf-8");
}

void PageOptions::SelectEllipsoid(const pages::PagePanel& panel)
{
    static const std::map<std::string, int> aliases = {
        {"beijing54", 0}, {"krasovsky", 0}, {"xian80", 1}, {"cgcs2000", 2}, {"wgs84", 3}};
    geodesy::EllipsoidPanel& ellipsoid = *panel.ellipsoid;
    const std::string prefix = Prefix(panel);
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
    Usage(prefix + "ellipsoid",
          "unknown ellipsoid " + *name + " (see: carvento-cli ellipsoid list)");
}

void PageOptions::ApplyToPage()
{
    for (const pages::PagePanel& panel : m_page.Panels())
        if (panel.kind == pages::PanelKind::Ellipsoid)
            SelectEllipsoid(panel);
    for (const pages::PageField& field : m_page.Fields()) {
        if (auto flag = m_flags.find(field.id); flag != m_flags.end()) {
            if (flag->second->count() > 0)
                m_page.Choose(field.id, 1);
            else if (m_negatedFlags.at(field.id)->count() > 0)
                m_page.Choose(field.id, 0);
            continue;
        }
        const std::optional<std::string> value = Value("--" + field.id);
        if (!value)
            continue;
        if (field.kind == pages::FieldKind::Integer && *value == "auto" &&
            field.id.ends_with("meridian") && field.id != "to-meridian") {
            m_autoMeridian = field.id;
            continue;
        }
        switch (field.kind) {
        case pages::FieldKind::Integer:
            CheckIntegerOption("--" + field.id, *value);
            m_page.EditText(field.id, *value);
            break;
        case pages::FieldKind::Text:
            m_page.EditText(field.id, *value);
            break;
        case pages::FieldKind::Spin:
            m_page.Choose(field.id, CheckIntegerOption("--" + field.id, *value, field.minimum,
                                                       field.maximum));
            break;
        case pages::FieldKind::Choice:
        case pages::FieldKind::Radio:
            m_page.Choose(field.id, ChoiceIndex(field, *value));
            break;
        default:
            break;
        }
    }
}

} // namespace carvento::cli
