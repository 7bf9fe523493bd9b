#include "MiniJson.h"

#include "cli/JsonWriter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using cli::JsonWriter;

TEST(JsonWriter, CompactDocumentWithEveryKindOfValue) {
    JsonWriter w;
    w.beginObject()
        .field("s", "a\"b\\c\n\t\x01")
        .field("t", true)
        .field("f", false)
        .field("i", -42)
        .field("u", uint64_t{18446744073709551615ull})
        .field("byte", uint8_t{200})
        .field("x", 12.3f)
        .field("d", 0.1)
        .field("nan", std::numeric_limits<double>::quiet_NaN());
    w.key("n").null();
    w.key("a")
        .beginArray()
        .value(1)
        .value("two")
        .beginObject()
        .endObject()
        .beginArray()
        .endArray()
        .endArray();
    w.endObject();
    ASSERT_TRUE(w.ok());
    ASSERT_TRUE(w.complete());
    EXPECT_EQ(
        w.str(),
        "{\"s\":\"a\\\"b\\\\c\\n\\t\\u0001\",\"t\":true,\"f\":false,\"i\":-42,"
        "\"u\":18446744073709551615,\"byte\":200,\"x\":12.3,\"d\":0.1,\"nan\":null,\"n\":null,"
        "\"a\":[1,\"two\",{},[]]}");
    const auto parsed = MiniJson::Parse(w.str());
    ASSERT_TRUE(parsed.has_value());
    EXPECT_EQ(parsed->at("s")->text, "a\"b\\c\n\t\x01");
    EXPECT_EQ(parsed->at("a")->items.size(), 4u);
}

TEST(JsonWriter, PrettyOutputParsesToTheSameValues) {
    JsonWriter w(true);
    w.beginObject().field("name", "温度单位").key("list").beginArray().value(1).value(2).endArray();
    w.key("inner").beginObject().field("k", -0.5).endObject().endObject();
    ASSERT_TRUE(w.complete());
    EXPECT_EQ(w.str(),
              "{\n  \"name\": \"温度单位\",\n  \"list\": [\n    1,\n    2\n  ],\n  \"inner\": {\n"
              "    \"k\": -0.5\n  }\n}");
    const auto parsed = MiniJson::Parse(w.str());
    ASSERT_TRUE(parsed.has_value());
    EXPECT_EQ(parsed->at("name")->text, "温度单位");
    EXPECT_EQ(parsed->at("inner.k")->number, -0.5);
}

TEST(JsonWriter, BytesThatAreNotUtf8BecomeReplacementCharacters) {
    EXPECT_EQ(JsonWriter::Quote("ok\xC3"), "\"ok\xEF\xBF\xBD\"");
    EXPECT_EQ(JsonWriter::Quote("\x7F"), "\"\\u007F\"");
}

TEST(JsonWriter, MisuseIsIgnoredAndReported) {
    {
        JsonWriter w;
        w.beginObject().value(1); // a value where a key is due
        EXPECT_FALSE(w.ok());
    }
    {
        JsonWriter w;
        w.beginArray().key("k"); // a key in an array
        EXPECT_FALSE(w.ok());
    }
    {
        JsonWriter w;
        w.beginObject().key("k").endObject(); // a key without its value
        EXPECT_FALSE(w.ok());
        EXPECT_FALSE(w.complete());
    }
    {
        JsonWriter w;
        w.beginArray().endObject(); // the wrong bracket
        EXPECT_FALSE(w.ok());
    }
    {
        JsonWriter w;
        w.value(1).value(2); // two documents
        EXPECT_FALSE(w.ok());
        EXPECT_EQ(w.str(), "1");
    }
}
