#include "core/results/json/json_builder.h"

#include <algorithm>
#include <cstdio>

#include "core/platform/numbers.h"

namespace velmaro {

std::string jsonEscapeText(std::string_view text) {
    std::string out;
    out.reserve(text.size() + 2);
    out += '"';
    for (char ch : text) {
        switch (ch) {
        case '\\': out += "\\\\"; break;
        case '"': out += "\\\""; break;
        case '\b': out += "\\b"; break;
        case '\f': out += "\\f"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (static_cast<unsigned char>(ch) < 0x20) {
                char buf[8];
                std::snprintf(buf, sizeof buf, "\\u%04x", static_cast<unsigned>(static_cast<unsigned char>(ch)));
                out += buf;
            } else {
                out += ch;
            }
        }
    }
    out += '"';
    return out;
}

std::string jsonValue(double value) { return formatFixed(value, 3); }
std::string jsonValue(float value) { return formatFixed(static_cast<double>(value), 3); }
std::string jsonValue(bool value) { return value ? "true" : "false"; }
std::string jsonValue(JsonNull) { return "\"\""; }
std::string jsonValue(std::string_view text) { return jsonEscapeText(text); }
std::string jsonValue(std::int32_t value) { return std::to_string(value); }

std::string& MyJSONObject::slot(std::string_view key) {
    auto it = std::lower_bound(members_.begin(), members_.end(), key,
                               [](const auto& member, std::string_view k) { return std::string_view(member.first) < k; });
    if (it != members_.end() && it->first == key) return it->second;
    if (members_.empty()) {
        members_.reserve(8); // most objects have a handful of members: one allocation
        it = members_.begin();
    }
    return members_.emplace(it, std::string(key), std::string())->second;
}

std::string MyJSONObject::toString() const {
    std::size_t size = 2;
    for (const auto& [key, value] : members_) size += key.size() + value.size() + 4;
    std::string out;
    out.reserve(size);
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
    return out;
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
