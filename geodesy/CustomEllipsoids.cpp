// Profile storage of user-defined ellipsoids.
#include "geodesy/CustomEllipsoids.hpp"
#include "platform/AsciiText.hpp"
#include "platform/TextSplit.hpp"

#include "platform/NumberText.hpp"

namespace carvento::geodesy {
namespace {

bool IsListed(std::string_view list, std::string_view name)
{
    std::string entry(name);
    entry += ';';
    if (list.starts_with(entry))
        return true;
    return list.find(";" + entry) != std::string_view::npos;
}

} // namespace

std::vector<std::string> ListCustomNames(const platform::Profile& profile)
{
    std::string value = profile.GetString(kCustomSection, kCustomListKey, "");
    std::vector<std::string> names;
    if (value.empty())
        return names;
    std::vector<std::string_view> parts;
    platform::SplitOnAnyViews(value, ";", parts);
    for (std::string_view part : parts)
        names.emplace_back(part);
    return names;
}

double ReadCustomAxis(const platform::Profile& profile, std::string_view name,
                      std::string_view which, double defaultValue)
{
    std::string value = profile.GetString(kCustomSection, name, "");
    if (value.empty())
        return defaultValue;
    std::vector<std::string_view> parts;
    platform::SplitOnAnyViews(value, ",", parts);
    if (parts.size() != 2 || which.size() != 1)
        return defaultValue;
    switch (platform::AsciiLower(which[0])) {
    case 'a':
        return platform::ParseDouble(parts[0]);
    case 'b':
        return platform::ParseDouble(parts[1]);
    default:
        return defaultValue;
    }
}

bool IsUsableCustomName(std::string_view name)
{
    return !name.empty() && name.find_first_of(";,") == std::string_view::npos;
}

bool SaveCustomEllipsoid(platform::Profile& profile, std::string_view name, double a, double b)
{
    if (!IsUsableCustomName(name))
        return false;
    std::string list = profile.GetString(kCustomSection, kCustomListKey, "");
    if (!IsListed(list, name)) {
        list += name;
        list += ';';
        profile.SetString(kCustomSection, kCustomListKey, list);
    }
    std::string axes = platform::FormatFixed(a, 6);
    axes += ',';
    platform::AppendFixed(axes, b, 6);
    profile.SetString(kCustomSection, name, axes);
    return true;
}

} // namespace carvento::geodesy
