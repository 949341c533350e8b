#include <gtest/gtest.h>

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <vector>

#include <nlohmann/json.hpp>

#include "core/json/json_builder.h"

using namespace velmaro;

TEST(JsonBuilder, EmptyObjectAndArray) {
    EXPECT_EQ(MyJSONObject().toString(), "{}");
    EXPECT_EQ(MyJSONArray().toString(), "[]");
}

TEST(JsonBuilder, KeysInByteOrderAndReplacedInPlace) {
    MyJSONObject o;
    o.add("num", 5);
    o.add("et", 0);
    o.add("attempts", 1);
    o.add("_60ft", 2);
    o.add("clsId_2", 3);
    o.add("clsId_10", 4);
    o.add("Z", 6);
    o.add("et", 9);
    EXPECT_EQ(o.toString(), R"({"Z":6,"_60ft":2,"attempts":1,"clsId_10":4,"clsId_2":3,"et":9,"num":5})");
}

TEST(JsonBuilder, ValueFormats) {
    struct Case {
        std::string got, want;
    };
    const Case cases[] = {
        {jsonValue(12.5f), "12.500"},
        {jsonValue(0.0f), "0.000"},
        {jsonValue(1.0 / 3.0), "0.333"},
        {jsonValue(-400), "-400"},
        {jsonValue(true), "true"},
        {jsonValue(false), "false"},
        {jsonValue(jsonNull), R"("")"},
        {jsonValue(std::int64_t{1234567890123}), R"("1234567890123")"},
        {jsonValue(std::uint8_t{7}), R"("7")"},
        {jsonValue("a\"b"), R"("a\"b")"},
        {jsonValue("\\n"), R"("\\n")"},
        {jsonValue("x\ny\r\t\b\f"), R"("x\ny\r\t\b\f")"},
        {jsonValue(std::string("\x01")), R"("\u0001")"},
        {jsonValue("Пётр"), "\"Пётр\""},
        {jsonValue(std::numeric_limits<double>::quiet_NaN()), "0.000"},
        {jsonValue(std::numeric_limits<double>::infinity()), "0.000"},
        {jsonValue(""), R"("")"},
    };
    for (const auto& c : cases) EXPECT_EQ(c.got, c.want);
}

TEST(JsonBuilder, StringLiteralIsNeverBoolean) {
    MyJSONObject o;
    o.add("k", "text");
    EXPECT_EQ(o.toString(), R"({"k":"text"})");
}

TEST(JsonBuilder, NestedDocumentParses) {
    MyJSONArray arr;
    arr.add(1);
    arr.add("two\x02");
    MyJSONObject inner;
    inner.add("spd", 123.456789);
    arr.addRaw(inner.toString());
    MyJSONObject outer;
    outer.addRaw("list", arr.toString());
    outer.add("name", "a\\b\"c\x1f");
    const std::string text = outer.toString();
    EXPECT_EQ(text, R"({"list":[1,"two\u0002",{"spd":123.457}],"name":"a\\b\"c\u001f"})");
    auto j = nlohmann::json::parse(text);
    EXPECT_EQ(j["name"], "a\\b\"c\x1f");
}

// The in-place writer gives the text MyJSONObject gives for the same members, nested
// objects, long keys and long raw values included.
TEST(JsonBuilder, ObjectWriterMatchesTheObject) {
    const std::string longKey(300, 'k');
    const std::string longText(700, '"');
    MyJSONObject inner;
    inner.add("et", 9123);
    inner.add("spd", 151.25f);
    MyJSONArray list;
    list.addRaw(inner.toString());
    list.addRaw(inner.toString());
    MyJSONObject expected;
    expected.add("_60ft", -12);
    expected.addRaw("attempts", list.toString());
    expected.add("city", "Город \"Север\"\n");
    expected.add("count", std::int64_t{42});
    expected.add(longKey, 1);
    expected.add("name", longText);
    expected.add("num", "");
    expected.add("spd", std::numeric_limits<double>::quiet_NaN());

    std::string out = "prefix:";
    JsonObjectWriter w(out);
    w.add("_60ft", -12);
    w.key("attempts");
    w.raw("[");
    for (int i = 0; i < 2; ++i) {
        if (i) w.raw(",");
        JsonObjectWriter item(w);
        item.add("et", 9123);
        item.add("spd", 151.25f);
        item.finish();
    }
    w.raw("]");
    w.add("city", "Город \"Север\"\n");
    w.add("count", std::int64_t{42});
    w.add(longKey, 1);
    w.add("name", longText);
    w.add("num", "");
    w.add("spd", std::numeric_limits<double>::quiet_NaN());
    w.finish();
    EXPECT_EQ(out, "prefix:" + expected.toString());
}

TEST(JsonBuilder, IntegersMatchToString) {
    std::vector<std::int32_t> values = {
        0,    -1,    1,     9,      10,     -10,     99,      100,      999,        1000,
        9999, 10000, 99999, 100000, 999999, 1000000, -999999, -1000000, 2147483647, -2147483647 - 1};
    for (std::int32_t v = -20000; v <= 20000; v += 7) values.push_back(v);
    for (std::int32_t v : values) {
        std::string viaWriter;
        JsonObjectWriter w(viaWriter);
        w.add("v", v);
        w.finish();
        EXPECT_EQ(viaWriter, "{\"v\":" + std::to_string(v) + "}");
        EXPECT_EQ(jsonValue(v), std::to_string(v));
    }
}

// Three decimals are written without std::to_chars for the common values; the text is
// the same: rounding to nearest with ties to even, signs of zero, the limits of the
// fast path and the values beyond it.
TEST(JsonBuilder, FixedDecimalsMatchToChars) {
    const auto reference = [](double v) {
        if (!std::isfinite(v)) v = 0.0;
        char buf[64];
        const auto res = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, 3);
        return res.ec == std::errc() ? std::string(buf, res.ptr) : std::string("0");
    };
    std::vector<double> values = {0.0,
                                  -0.0,
                                  0.0625,
                                  -0.0625,
                                  0.1875,
                                  0.0005,
                                  -0.0005,
                                  0.9995,
                                  999.9995,
                                  123.0005,
                                  1e-300,
                                  -1e-300,
                                  4.9e-324,
                                  9007199254740991.0,
                                  9007199254740992.0,
                                  1e17,
                                  -1e22,
                                  1e300,
                                  std::numeric_limits<double>::max(),
                                  151.25f,
                                  0.1f};
    for (int k = 0; k < 20000; ++k) values.push_back(k / 8192.0 - 1.0);
    std::uint64_t x = 88172645463325252ull; // xorshift: random bit patterns
    for (int k = 0; k < 20000; ++k) {
        x ^= x << 13;
        x ^= x >> 7;
        x ^= x << 17;
        values.push_back(std::bit_cast<double>(x));
        values.push_back(static_cast<double>(std::bit_cast<float>(static_cast<std::uint32_t>(x))));
    }
    int mismatches = 0;
    for (double v : values) {
        std::string viaWriter;
        JsonObjectWriter w(viaWriter);
        w.add("v", v);
        w.finish();
        if (jsonValue(v) != reference(v) || viaWriter != "{\"v\":" + reference(v) + "}") {
            if (++mismatches < 5) ADD_FAILURE() << v << ": " << jsonValue(v) << " vs " << reference(v);
        }
    }
    EXPECT_EQ(mismatches, 0);
}

// Floats (the attempts' speeds) take a way of their own through the object writer.
TEST(JsonBuilder, FloatsWriteAsTheirDoubles) {
    std::vector<float> values = {0.0f,
                                 -0.0f,
                                 0.0625f,
                                 -0.0625f,
                                 0.0005f,
                                 -0.0005f,
                                 0.9995f,
                                 151.25f,
                                 0.1f,
                                 1e-45f,
                                 4503599627370496.0f,
                                 1e20f,
                                 -3.4e38f,
                                 std::numeric_limits<float>::infinity(),
                                 std::numeric_limits<float>::quiet_NaN()};
    for (int k = 0; k < 40000; ++k) values.push_back(static_cast<float>(k) / 8192.0f - 2.0f);
    std::mt19937 bits(7); // random bit patterns
    for (int k = 0; k < 40000; ++k) values.push_back(std::bit_cast<float>(static_cast<std::uint32_t>(bits())));
    int mismatches = 0;
    for (float v : values) {
        std::string viaFloat, viaDouble;
        JsonObjectWriter f(viaFloat);
        f.add("v", v);
        f.finish();
        JsonObjectWriter d(viaDouble);
        d.add("v", static_cast<double>(v));
        d.finish();
        if (viaFloat != viaDouble && ++mismatches < 5) ADD_FAILURE() << v << ": " << viaFloat << " vs " << viaDouble;
    }
    EXPECT_EQ(mismatches, 0);
}
