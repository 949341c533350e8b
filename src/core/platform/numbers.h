#pragma once
// Number formatting and parsing with '.' as the only decimal separator, whatever the locale.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace velmaro {

// printf-like "%.<decimals>f" with '.'; NaN and infinities give 0.
std::string formatFixed(double value, int decimals);

// Whole text must be a number (leading/trailing blanks allowed): one optional sign, then
// digits ('.' and an exponent for a double). No locale; a double must be finite.
std::optional<long long> parseInteger(std::string_view text);
std::optional<double> parseDouble(std::string_view text);
// A number typed by the operator: every ',' is read as '.'.
std::optional<double> parseOperatorNumber(std::string_view text);
// Integer within [lo, hi], else nullopt.
std::optional<long long> parseIntegerInRange(std::string_view text, long long lo, long long hi);

} // namespace velmaro
