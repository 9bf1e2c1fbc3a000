#include "engine/DisplayFormat.h"

#include <charconv>
#include <cmath>

namespace quillon {

std::string FormatFixed(double v, int decimals) {
    if (std::isnan(v)) return "NaN";
    if (std::isinf(v)) return v > 0 ? "INF" : "-INF";
    const double scale = std::pow(10.0, decimals);
    double rounded = std::round(v * scale) / scale; // halves away from zero
    if (rounded == 0.0) rounded = 0.0;              // drops the sign of -0
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, rounded, std::chars_format::fixed, decimals);
    if (result.ec != std::errc()) return "?";
    return std::string(buffer, result.ptr);
}

std::string FormatFixedDisplay(double v) {
    const double a = std::fabs(v);
    const int decimals = a < 10.0 ? 2 : (a < 100.0 ? 1 : 0);
    return FormatFixed(v, decimals);
}

std::string Truncate(std::string text, std::size_t maxChars) {
    if (text.size() > maxChars) text.resize(maxChars);
    return text;
}

} // namespace quillon
