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

namespace {
// One optional sign, then what from_chars must read whole: "+-12" and "--1" are not
// numbers. Returns the text without a leading '+', or nothing when no digit or '.' follows
// the sign.
std::optional<std::string_view> unsignedBody(std::string_view text) {
    std::size_t first = 0;
    if (!text.empty() && text.front() == '+')
        text.remove_prefix(1);
    else if (!text.empty() && text.front() == '-')
        first = 1;
    if (first >= text.size()) return std::nullopt;
    const char c = text[first];
    if (!((c >= '0' && c <= '9') || c == '.')) return std::nullopt;
    return text;
}
} // namespace

std::optional<long long> parseInteger(std::string_view text) {
    const auto body = unsignedBody(trim(text));
    if (!body) return std::nullopt;
    text = *body;
    long long v = 0;
    auto res = std::from_chars(text.data(), text.data() + text.size(), v);
    if (res.ec != std::errc() || res.ptr != text.data() + text.size()) return std::nullopt;
    return v;
}

// Finite numbers only: "inf", "nan" and values beyond double's range are refused.
std::optional<double> parseDouble(std::string_view text) {
    const auto body = unsignedBody(trim(text));
    if (!body) return std::nullopt;
    text = *body;
    double v = 0;
    auto res = std::from_chars(text.data(), text.data() + text.size(), v, std::chars_format::general);
    if (res.ec != std::errc() || res.ptr != text.data() + text.size() || !std::isfinite(v)) return std::nullopt;
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
