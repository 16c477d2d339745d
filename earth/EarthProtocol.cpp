#include "earth/EarthProtocol.hpp"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <unistd.h>

namespace carvento::earth::protocol {

std::string DefaultSocketPath()
{
    if (const char* path = std::getenv("CARVENTO_EARTH_SOCKET"); path && *path)
        return path;
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && *runtime) {
        std::string path = runtime;
        if (path.back() != '/')
            path += '/';
        return path + "carvento-earth.sock";
    }
    return "/tmp/carvento-earth-" + std::to_string(::getuid()) + ".sock";
}

std::chrono::milliseconds AnswerTimeout(std::chrono::milliseconds fallback)
{
    const char* text = std::getenv("CARVENTO_EARTH_TIMEOUT_MS");
    if (!text || !*text)
        return fallback;
    const std::optional<long long> value = ParseInteger(text);
    if (!value || *value <= 0)
        return fallback;
    return std::chrono::milliseconds(*value);
}

void AppendNumber(std::string& line, double value)
{
    char buffer[64];
    // General format with 17 significant digits is printf's %.17g, without the locale.
    auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general,
                                17);
    line += ' ';
    line.append(buffer, result.ptr);
}

void AppendInteger(std::string& line, long long value)
{
    char buffer[32];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    line += ' ';
    line.append(buffer, result.ptr);
}

std::optional<double> ParseNumber(std::string_view field)
{
    if (field.empty())
        return std::nullopt;
    // from_chars takes no leading '+', which %.17g never writes either.
    double value = 0;
    const char* end = field.data() + field.size();
    auto result = std::from_chars(field.data(), end, value, std::chars_format::general);
    if (result.ec != std::errc() || result.ptr != end || !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::optional<long long> ParseInteger(std::string_view field)
{
    if (field.empty())
        return std::nullopt;
    long long value = 0;
    const char* end = field.data() + field.size();
    auto result = std::from_chars(field.data(), end, value);
    if (result.ec != std::errc() || result.ptr != end)
        return std::nullopt;
    return value;
}

std::vector<std::string_view> SplitFields(std::string_view line)
{
    std::vector<std::string_view> fields;
    if (line.empty())
        return fields;
    std::size_t start = 0;
    while (true) {
        std::size_t space = line.find(' ', start);
        if (space == std::string_view::npos) {
            fields.push_back(line.substr(start));
            return fields;
        }
        fields.push_back(line.substr(start, space - start));
        start = space + 1;
    }
}

std::optional<std::vector<double>> ParseNumbers(const std::vector<std::string_view>& fields,
                                                std::size_t first)
{
    std::vector<double> numbers;
    for (std::size_t i = first; i < fields.size(); ++i) {
        auto number = ParseNumber(fields[i]);
        if (!number)
            return std::nullopt;
        numbers.push_back(*number);
    }
    return numbers;
}

} // namespace carvento::earth::protocol
