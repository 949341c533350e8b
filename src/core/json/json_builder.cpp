#include "core/json/json_builder.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace velmaro {

namespace {

// The two-character escape of a backslash, a quote, BS, FF, LF, CR or TAB; null for
// every other character (the other control characters are written as \u00XX).
const char* shortEscape(char ch) {
    switch (ch) {
    case '\\': return "\\\\";
    case '"': return "\\\"";
    case '\b': return "\\b";
    case '\f': return "\\f";
    case '\n': return "\\n";
    case '\r': return "\\r";
    case '\t': return "\\t";
    default: return nullptr;
    }
}

bool needsEscape(char ch) { return ch == '"' || ch == '\\' || static_cast<unsigned char>(ch) < 0x20; }

} // namespace

void appendJsonEscaped(std::string& out, std::string_view text) {
    // Measured first, then written in place: long texts (a bracket's SVG) are full of
    // quotes.
    std::size_t length = text.size() + 2;
    for (char ch : text)
        if (needsEscape(ch)) length += shortEscape(ch) ? 1 : 5;
    const std::size_t start = out.size();
    out.resize(start + length);
    char* p = out.data() + start;
    *p++ = '"';
    for (char ch : text) {
        if (!needsEscape(ch)) {
            *p++ = ch;
        } else if (const char* escape = shortEscape(ch)) {
            *p++ = escape[0];
            *p++ = escape[1];
        } else {
            static constexpr char kHex[] = "0123456789abcdef";
            const auto code = static_cast<unsigned char>(ch);
            std::memcpy(p, "\\u00", 4);
            p[4] = kHex[code >> 4];
            p[5] = kHex[code & 0xf];
            p += 6;
        }
    }
    *p = '"';
}

std::string jsonEscapeText(std::string_view text) {
    std::string out;
    out.reserve(text.size() + 2);
    appendJsonEscaped(out, text);
    return out;
}

char* json_detail::writeLargeUnsigned(char* out, std::uint64_t v) { return std::to_chars(out, out + 20, v).ptr; }

// Rounded as std::to_chars rounds (to the nearest of the exact binary value, ties to
// even): the value is m * 2^e with an integer m below 2^53, so m * 1000 fits 64 bits
// and one shift gives the thousandths.
char* json_detail::writeFixed3(char* out, double value) {
    const auto bits = std::bit_cast<std::uint64_t>(value);
    const bool negative = (bits >> 63) != 0;
    const int biased = static_cast<int>((bits >> 52) & 0x7ff);
    std::uint64_t thousandths = 0; // a subnormal value rounds to 0
    if (biased == 0x7ff) return nullptr;
    if (biased != 0) {
        const std::uint64_t m = (bits & ((std::uint64_t{1} << 52) - 1)) | (std::uint64_t{1} << 52);
        const int shift = 1075 - biased;
        if (shift < 0) return nullptr;
        const std::uint64_t scaled = m * 1000;
        if (shift == 0) {
            thousandths = scaled;
        } else if (shift < 64) {
            thousandths = scaled >> shift;
            const std::uint64_t rest = scaled & ((std::uint64_t{1} << shift) - 1);
            const std::uint64_t half = std::uint64_t{1} << (shift - 1);
            if (rest > half || (rest == half && (thousandths & 1) != 0)) ++thousandths;
        } // else below half a thousandth: 0
    }
    if (negative) *out++ = '-';
    out = json_detail::writeUnsigned(out, thousandths / 1000);
    const auto frac = static_cast<std::uint32_t>(thousandths % 1000);
    out[0] = '.';
    out[1] = static_cast<char>('0' + frac / 100);
    std::memcpy(out + 2, json_detail::kDigitPairs + (frac % 100) * 2, 2);
    return out + 4;
}

using json_detail::writeFixed3;

void appendJsonValue(std::string& out, double value) {
    // The rule of formatFixed(value, 3) (core/platform/numbers.h), written in place.
    if (!std::isfinite(value)) value = 0.0;
    char buf[64];
    if (const char* end = writeFixed3(buf, value)) {
        out.append(buf, static_cast<std::size_t>(end - buf));
        return;
    }
    const auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, 3);
    if (res.ec != std::errc())
        out += '0';
    else
        out.append(buf, res.ptr);
}

void appendJsonValue(std::string& out, std::int32_t value) {
    char buf[12];
    out.append(buf, json_detail::writeInt32(buf, value));
}

std::string jsonValue(double value) {
    std::string out;
    appendJsonValue(out, value);
    return out;
}
std::string jsonValue(float value) { return jsonValue(static_cast<double>(value)); }
std::string jsonValue(bool value) { return value ? "true" : "false"; }
std::string jsonValue(JsonNull) { return "\"\""; }
std::string jsonValue(std::string_view text) { return jsonEscapeText(text); }
std::string jsonValue(std::int32_t value) {
    std::string out;
    appendJsonValue(out, value);
    return out;
}

std::string& MyJSONObject::slot(std::string_view key) {
    auto it = std::lower_bound(members_.begin(), members_.end(), key, [](const auto& member, std::string_view k) {
        return std::string_view(member.first) < k;
    });
    if (it != members_.end() && it->first == key) return it->second;
    if (members_.empty()) {
        members_.reserve(8); // most objects have a handful of members: one allocation
        it = members_.begin();
    }
    return members_.emplace(it, std::string(key), std::string())->second;
}

std::string MyJSONObject::toString() const {
    std::string out;
    appendTo(out);
    return out;
}

void MyJSONObject::appendTo(std::string& out) const {
    std::size_t size = 2;
    for (const auto& [key, value] : members_) size += key.size() + value.size() + 4;
    out.reserve(out.size() + size);
    out += '{';
    bool first = true;
    for (const auto& [key, value] : members_) {
        if (!first) out += ',';
        first = false;
        out += '"';
        out += key;
        out += "\":";
        out += value;
    }
    out += '}';
}

void JsonObjectWriter::writeLongKey(std::string_view key) {
    // Longer than the buffer: straight into the text.
    std::string& out = buf_.text();
    if (hasMember_) out += ',';
    hasMember_ = true;
    out += '"';
    out += key;
    out += "\":";
}

void JsonObjectWriter::writeValue(double value) {
    if (!std::isfinite(value)) value = 0.0;
    if (char* end = writeFixed3(buf_.room(24), value)) {
        buf_.wrote(end);
        return;
    }
    appendJsonValue(buf_.text(), value);
}

void JsonObjectWriter::add(std::string_view key, std::string_view text) {
    writeKey(key);
    appendJsonEscaped(buf_.text(), text);
}

std::string MyJSONArray::toString() const {
    std::size_t size = 2;
    for (const auto& e : elements_) size += e.size() + 1;
    std::string out;
    out.reserve(size);
    out += '[';
    for (std::size_t i = 0; i < elements_.size(); ++i) {
        if (i) out += ',';
        out += elements_[i];
    }
    out += ']';
    return out;
}

} // namespace velmaro
