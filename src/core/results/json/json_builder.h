#pragma once
// Write-only JSON text builders for every document the console sends out (result
// documents, current run, bracket object, race information, registration lists,
// race.json). Callers build bottom-up: fill the inner objects, take their text and
// hand it to addRaw of the enclosing one.
//
// Value formats: a 32-bit signed integer bare ("%d"); float and double with three
// decimals ("%.3f", '.' always, NaN and infinities as 0.000); a boolean as true/false;
// an empty value (JsonNull) as ""; every other integer kind as its digits in quotes;
// a text quoted and escaped (\\ \" \b \f \n \r \t, other control characters as \u00XX
// so the document stays valid JSON). Keys are written unescaped, in byte order.
#include <concepts>
#include <cstdint>
#include <string>
#include <utility>
#include <string_view>
#include <vector>

namespace velmaro {

struct JsonNull {};
inline constexpr JsonNull jsonNull{};

std::string jsonEscapeText(std::string_view text); // quoted
std::string jsonValue(double value);
std::string jsonValue(float value);
std::string jsonValue(bool value);
std::string jsonValue(JsonNull);
std::string jsonValue(std::string_view text);
inline std::string jsonValue(const char* text) { return jsonValue(std::string_view(text ? text : "")); }
inline std::string jsonValue(const std::string& text) { return jsonValue(std::string_view(text)); }
std::string jsonValue(std::int32_t value);
// Integers other than int32 (64-bit, unsigned, bytes) are written as quoted digits.
template <std::integral T>
    requires(!std::same_as<T, bool> && !std::same_as<T, std::int32_t> && !std::same_as<T, char>)
std::string jsonValue(T value) {
    return jsonEscapeText(std::to_string(value));
}

class MyJSONObject {
public:
    template <class V>
    void add(std::string_view key, const V& value) {
        slot(key) = jsonValue(value);
    }
    // A finished JSON text stored unchanged.
    void addRaw(std::string_view key, std::string_view json) { slot(key).assign(json); }
    void addRaw(std::string_view key, std::string&& json) { slot(key) = std::move(json); }
    std::string toString() const;
    bool empty() const { return members_.empty(); }

private:
    // The value text stored under `key`, inserted empty at its place in byte order.
    std::string& slot(std::string_view key);
    // Kept sorted by key; std::string_view compares bytes as unsigned. Objects are small,
    // so a sorted vector beats a tree here.
    std::vector<std::pair<std::string, std::string>> members_;
};

class MyJSONArray {
public:
    template <class V>
    void add(const V& value) {
        elements_.push_back(jsonValue(value));
    }
    void addRaw(std::string_view json) { elements_.emplace_back(json); }
    void addRaw(std::string&& json) { elements_.push_back(std::move(json)); }
    void reserve(std::size_t count) { elements_.reserve(count); }
    std::string toString() const;
    std::size_t size() const { return elements_.size(); }

private:
    std::vector<std::string> elements_;
};

} // namespace velmaro
