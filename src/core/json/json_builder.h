#pragma once
// Write-only JSON text builders for every document the console sends out (result
// documents, current run, bracket object, race information, registration lists,
// race.json). Callers build bottom-up: fill the inner objects, take their text and
// hand it to addRaw of the enclosing one. The result documents, thousands of small
// objects each, are written in place instead (JsonTextBuffer, JsonObjectWriter), with
// the same texts.
//
// Value formats: a 32-bit signed integer bare ("%d"); float and double with three
// decimals ("%.3f", '.' always, NaN and infinities as 0.000); a boolean as true/false;
// an empty value (JsonNull) as ""; every other integer kind as its digits in quotes;
// a text quoted and escaped (\\ \" \b \f \n \r \t, other control characters as \u00XX
// so the document stays valid JSON). Keys are written unescaped, in byte order.
#include <cassert>
#include <cmath>
#include <concepts>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <utility>
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
requires(!std::same_as<T, bool> && !std::same_as<T, std::int32_t> && !std::same_as<T, char>) std::string
    jsonValue(T value) {
    return jsonEscapeText(std::to_string(value));
}

// The same value texts appended to `out`, with no text of their own: for the documents
// made of thousands of small objects.
void appendJsonEscaped(std::string& out, std::string_view text); // quoted
void appendJsonValue(std::string& out, double value);
void appendJsonValue(std::string& out, std::int32_t value);

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
    // Appends the text toString() returns.
    void appendTo(std::string& out) const;
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

// Number writing of the builders, kept inline for the writers below.
namespace json_detail {

inline constexpr char kDigitPairs[] = "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
                                      "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
                                      "8081828384858687888990919293949596979899";

char* writeLargeUnsigned(char* out, std::uint64_t v);

// One or two digits of a value below 100, without a leading zero.
[[gnu::always_inline]] inline char* writeBelow100(char* out, std::uint32_t n) {
    if (n < 10) {
        *out = static_cast<char>('0' + n);
        return out + 1;
    }
    std::memcpy(out, kDigitPairs + n * 2, 2);
    return out + 2;
}

// The decimal digits of an unsigned value, as std::to_chars writes them (at most 20
// characters); the usual sizes of a timing document (up to six digits) take a short way.
[[gnu::always_inline]] inline char* writeUnsigned(char* out, std::uint64_t v) {
    if (v >= 1000000) return writeLargeUnsigned(out, v);
    const auto n = static_cast<std::uint32_t>(v);
    if (n < 100) return writeBelow100(out, n);
    if (n < 10000) {
        out = writeBelow100(out, n / 100);
        std::memcpy(out, kDigitPairs + (n % 100) * 2, 2);
        return out + 2;
    }
    out = writeBelow100(out, n / 10000);
    const std::uint32_t rest = n % 10000;
    std::memcpy(out, kDigitPairs + (rest / 100) * 2, 2);
    std::memcpy(out + 2, kDigitPairs + (rest % 100) * 2, 2);
    return out + 4;
}

// A 32-bit integer as std::to_chars writes it (at most 11 characters).
[[gnu::always_inline]] inline char* writeInt32(char* out, std::int32_t value) {
    auto v = static_cast<std::uint32_t>(value);
    if (value < 0) {
        *out++ = '-';
        v = 0u - v;
    }
    return writeUnsigned(out, v);
}

// Three decimals of a finite double below 2^53 in magnitude, as std::to_chars writes
// them (json_builder.cpp): at most 22 characters at `out`, their end returned; null for
// the values it does not handle.
char* writeFixed3(char* out, double value);

// Whether writeFloat3 writes the value: finite and below 2^52 thousandths.
inline bool fitsFloat3(float value) {
    const double scaled = static_cast<double>(value) * 1000.0;
    return (scaled < 0 ? -scaled : scaled) < 0x1p52;
}

// A float with three decimals, as the double writer writes it (at most 24 characters).
// A float times 1000 is exact in a double (24 + 10 significant bits), so rounding that
// product to an integer, ties to even, gives the thousandths the double writer gives.
// Only for values fitsFloat3 accepts.
[[gnu::always_inline]] inline char* writeFloat3(char* out, float value) {
    const double scaled = static_cast<double>(value) * 1000.0;
    const double magnitude = scaled < 0 ? -scaled : scaled;
    // Adding and taking away 2^52 rounds to an integer, ties to even.
    const auto thousandths = static_cast<std::uint64_t>((magnitude + 0x1p52) - 0x1p52);
    if (std::signbit(value)) *out++ = '-';
    out = writeUnsigned(out, thousandths / 1000);
    const auto frac = static_cast<std::uint32_t>(thousandths % 1000);
    out[0] = '.';
    out[1] = static_cast<char>('0' + frac / 100);
    std::memcpy(out + 2, kDigitPairs + (frac % 100) * 2, 2);
    return out + 4;
}

// Copies a literal's characters (without its terminating zero).
template <std::size_t N>
[[gnu::always_inline]] inline char* putLiteral(char* out, const char (&text)[N]) {
    std::memcpy(out, text, N - 1);
    return out + N - 1;
}

// A literal (a key with its punctuation) and a 32-bit integer after it.
template <std::size_t N>
[[gnu::always_inline]] inline char* putInt32(char* out, const char (&text)[N], std::int32_t value) {
    return writeInt32(putLiteral(out, text), value);
}

} // namespace json_detail

// A text written through a buffer on the stack, for the documents made of thousands of
// small objects: the pieces go into the string a few hundred bytes at a time. The
// buffer is emptied into the string by flush(), text() and the destructor.
class JsonTextBuffer {
public:
    explicit JsonTextBuffer(std::string& out) : out_(out) {}
    ~JsonTextBuffer() {
        if (used_ != 0) flush();
    }
    JsonTextBuffer(const JsonTextBuffer&) = delete;
    JsonTextBuffer& operator=(const JsonTextBuffer&) = delete;

    // Appends JSON text as it is.
    void raw(std::string_view json) {
        if (json.size() > kSize) {
            flush();
            out_.append(json);
            return;
        }
        std::memcpy(room(json.size()), json.data(), json.size());
        used_ += json.size();
    }
    void put(char ch) {
        *room(1) = ch;
        ++used_;
    }
    void flush() {
        out_.append(data_, used_);
        used_ = 0;
    }
    // The whole text (flushed).
    std::string& text() {
        flush();
        return out_;
    }

    // For writers of fixed-layout objects: `n` free bytes at the end of the buffer
    // (n <= kSize), to be written in one go and then marked with wrote().
    static constexpr std::size_t kSize = 512;
    char* room(std::size_t n) {
        if (used_ + n > kSize) flush();
        return data_ + used_;
    }
    // Marks the first `end - data_` bytes of the buffer as written.
    void wrote(const char* end) { used_ = static_cast<std::size_t>(end - data_); }

private:
    friend class JsonObjectWriter;

    std::string& out_;
    std::size_t used_ = 0;
    char data_[kSize];
};

// Writes one object straight into a text, member by member, for the hot paths. The
// members must come in key byte order, each key once: the text is then the one a
// MyJSONObject with the same members gives (debug builds check the order; keys are
// kept as views until the next one is added).
class JsonObjectWriter {
public:
    // An object appended to `out`, through a buffer of its own.
    explicit JsonObjectWriter(std::string& out) : own_(out), buf_(own_) { buf_.put('{'); }
    // An object appended to a buffered text.
    explicit JsonObjectWriter(JsonTextBuffer& text) : own_(text.out_), buf_(text) { buf_.put('{'); }
    // An object written as a value of `outer`: after outer.key(...), or inside an array
    // that outer.raw(...) opened. `outer` is not used until this one is finished.
    explicit JsonObjectWriter(JsonObjectWriter& outer) : own_(outer.buf_.out_), buf_(outer.buf_) { buf_.put('{'); }
    JsonObjectWriter(const JsonObjectWriter&) = delete;
    JsonObjectWriter& operator=(const JsonObjectWriter&) = delete;

    void add(std::string_view key, std::int32_t value) {
        writeKey(key);
        writeValue(value);
    }
    void add(std::string_view key, double value) {
        writeKey(key);
        writeValue(value);
    }
    void add(std::string_view key, float value) {
        writeKey(key);
        writeValue(value);
    }
    void add(std::string_view key, std::string_view text);
    void add(std::string_view key, const char* text) { add(key, std::string_view(text ? text : "")); }
    void add(std::string_view key, const std::string& text) { add(key, std::string_view(text)); }
    // Any other value kind, as jsonValue writes it.
    template <class V>
    void add(std::string_view key, const V& value) {
        addRaw(key, jsonValue(value));
    }
    void addRaw(std::string_view key, std::string_view json) {
        writeKey(key);
        buf_.raw(json);
    }
    // Starts the member `key`; its value follows through raw() and nested writers.
    void key(std::string_view key) { writeKey(key); }
    // Appends JSON text as it is (a value, or the brackets and commas of an array).
    void raw(std::string_view json) { buf_.raw(json); }
    // Closes the object; the writer is not used after. The text of an object with a
    // buffer of its own is complete in `out` from here on.
    void finish() {
        buf_.put('}');
        if (&buf_ == &own_) buf_.flush();
    }

private:
    // Kept in the header: with a literal key the copy is a few fixed-size moves.
    [[gnu::always_inline]] void writeKey(std::string_view key) {
        assert(!hasMember_ || lastKey_ < key);
        lastKey_ = key;
        if (key.size() + 4 > JsonTextBuffer::kSize) {
            writeLongKey(key);
            return;
        }
        char* p = buf_.room(key.size() + 4);
        if (hasMember_) *p++ = ',';
        hasMember_ = true;
        *p++ = '"';
        std::memcpy(p, key.data(), key.size());
        p += key.size();
        *p++ = '"';
        *p++ = ':';
        buf_.wrote(p);
    }
    void writeLongKey(std::string_view key);
    [[gnu::always_inline]] void writeValue(std::int32_t value) {
        buf_.wrote(json_detail::writeInt32(buf_.room(11), value));
    }
    void writeValue(double value);
    void writeValue(float value) {
        if (!json_detail::fitsFloat3(value)) { // infinities, NaN, huge values
            writeValue(static_cast<double>(value));
            return;
        }
        buf_.wrote(json_detail::writeFloat3(buf_.room(24), value));
    }

    JsonTextBuffer own_;  // the buffer of an object appended to a string; unused otherwise
    JsonTextBuffer& buf_; // own_, or the text's or outer writer's
    bool hasMember_ = false;
    std::string_view lastKey_; // for the order check of debug builds
};

} // namespace velmaro
