#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>

#include <nlohmann/json.hpp>

#include "core/results/json/json_builder.h"

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
    struct Case { std::string got, want; };
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
