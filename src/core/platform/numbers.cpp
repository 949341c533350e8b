#include "core/platform/numbers.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace velmaro {

namespace {
std::string_view trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
    return s;
}
} // namespace

std::string formatFixed(double value, int decimals) {
    if (!std::isfinite(value)) value = 0.0;
    char buf[64];
    auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, decimals);
    if (res.ec != std::errc()) return "0";
    return std::string(buf, res.ptr);
}

std::optional<long long> parseInteger(std::string_view text) {
    text = trim(text);
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    long long v = 0;
    auto res = std::from_chars(text.data(), text.data() + text.size(), v);
    if (text.empty() || res.ec != std::errc() || res.ptr != text.data() + text.size()) return std::nullopt;
    return v;
}

std::optional<double> parseDouble(std::string_view text) {
    text = trim(text);
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    double v = 0;
    auto res = std::from_chars(text.data(), text.data() + text.size(), v, std::chars_format::general);
    if (text.empty() || res.ec != std::errc() || res.ptr != text.data() + text.size()) return std::nullopt;
    return v;
}

std::optional<double> parseOperatorNumber(std::string_view text) {
    std::string s(text);
    for (char& c : s)
        if (c == ',') c = '.';
    return parseDouble(s);
}

std::optional<long long> parseIntegerInRange(std::string_view text, long long lo, long long hi) {
    auto v = parseInteger(text);
    if (!v || *v < lo || *v > hi) return std::nullopt;
    return v;
}

} // namespace velmaro
