// In-memory Profile.
#include "platform/Profile.hpp"

#include "platform/NumberText.hpp"

#include <climits>

namespace carvento::platform {

std::string MemoryProfile::Path(std::string_view section, std::string_view key)
{
    std::string path(section);
    path += '\x1f'; // a separator that no section or key name contains
    path += key;
    return path;
}

std::string MemoryProfile::GetString(std::string_view section, std::string_view key,
                                     std::string_view defaultValue) const
{
    auto it = m_values.find(Path(section, key));
    return it == m_values.end() ? std::string(defaultValue) : it->second;
}

void MemoryProfile::SetString(std::string_view section, std::string_view key,
                              std::string_view value)
{
    m_values[Path(section, key)] = std::string(value);
}

int MemoryProfile::GetInt(std::string_view section, std::string_view key, int defaultValue) const
{
    auto it = m_values.find(Path(section, key));
    if (it == m_values.end())
        return defaultValue;
    const std::optional<long long> value = ParseInteger(it->second, INT_MIN, INT_MAX);
    return value ? static_cast<int>(*value) : defaultValue;
}

void MemoryProfile::SetInt(std::string_view section, std::string_view key, int value)
{
    m_values[Path(section, key)] = std::to_string(value);
}

} // namespace carvento::platform
