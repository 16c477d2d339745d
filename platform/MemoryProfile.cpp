// In-memory Profile.
#include "platform/Profile.hpp"

#include <charconv>

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
    int value = 0;
    const std::string& text = it->second;
    auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    if (result.ec != std::errc() || result.ptr != text.data() + text.size())
        return defaultValue;
    return value;
}

void MemoryProfile::SetInt(std::string_view section, std::string_view key, int value)
{
    m_values[Path(section, key)] = std::to_string(value);
}

} // namespace carvento::platform
