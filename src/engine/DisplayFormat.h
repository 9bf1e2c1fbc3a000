// Locale-independent number texts for parameter displays and modulation labels.
#pragma once

#include <string>

namespace quillon {

// Fixed-point text of v with "." as decimal point, whatever the process locale: 2 decimals when
// |v| < 10, 1 decimal when 10 ≤ |v| < 100, none from 100 on. Halves round away from zero, and a
// value that rounds to zero never shows a minus sign.
std::string FormatFixedDisplay(double v);

// Fixed-point text of v with the given number of decimals, same rules as above.
std::string FormatFixed(double v, int decimals);

// The first `maxChars` characters of text.
std::string Truncate(std::string text, std::size_t maxChars);

} // namespace quillon
