// Parameter text.
#include "estimation/ParameterText.hpp"

#include "platform/NumberText.hpp"

namespace carvento::estimation {

namespace {
constexpr int kParameterDecimals = 10;
}

// A fitted T or rotation of exactly zero in theory comes out as ±1e-17 in doubles; printed
// with ten decimals half of them would read "-0.0000000000", which users take for a sign.
std::string FormatParameter(double value)
{
    std::string text = platform::FormatFixed(value, kParameterDecimals);
    if (!text.empty() && text[0] == '-' && text.find_first_not_of("0.", 1) == std::string::npos) {
        text.erase(0, 1);
    }
    return text;
}

} // namespace carvento::estimation
