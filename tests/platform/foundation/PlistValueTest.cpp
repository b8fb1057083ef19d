#include <gtest/gtest.h>

#include "platform/foundation/PlistValue.h"

namespace pellora {
namespace {

// Strings read as their leading decimal number; null and other types as zero.
TEST(PlistValue, typedReadsOfStringsNullAndOtherTypes) {
    EXPECT_EQ(PlistValue("800").intValue(), 800);
    EXPECT_EQ(PlistValue("abc").intValue(), 0);
    EXPECT_EQ(PlistValue("  -42px").intValue(), -42);
    EXPECT_EQ(PlistValue("+7").intValue(), 7);
    EXPECT_EQ(PlistValue("12.9").intValue(), 12);
    EXPECT_EQ(PlistValue("99999999999").intValue(), INT32_MAX);
    EXPECT_FLOAT_EQ(PlistValue(" 0.25 of it").floatValue(), 0.25f);
    EXPECT_FLOAT_EQ(PlistValue("1e2").floatValue(), 100.0f);
    EXPECT_FLOAT_EQ(PlistValue("3e").floatValue(), 3.0f);
    EXPECT_EQ(PlistValue(".").floatValue(), 0.0f);
    EXPECT_EQ(PlistValue("").intValue(), 0);
    const PlistValue null;
    EXPECT_EQ(null.intValue(), 0);
    EXPECT_EQ(null.floatValue(), 0.0f);
    EXPECT_FALSE(null.boolValue());
    EXPECT_EQ(PlistValue(PlistArray{1}).intValue(), 0);
    EXPECT_EQ(PlistValue(true).intValue(), 1);
    EXPECT_EQ(PlistValue(2.75).intValue(), 2);
    EXPECT_TRUE(PlistValue("YES").boolValue());
    EXPECT_TRUE(PlistValue("true").boolValue());
    EXPECT_TRUE(PlistValue(" 5").boolValue());
    EXPECT_FALSE(PlistValue("NO").boolValue());
    EXPECT_FALSE(PlistValue("0").boolValue());
}

TEST(PlistValue, floatKeepsSinglePrecisionAndCopiesShareUntilWritten) {
    const PlistValue quality(0.8f);
    EXPECT_TRUE(quality.isSinglePrecision());
    EXPECT_EQ(quality.floatValue(), 0.8f);
    EXPECT_DOUBLE_EQ(quality.doubleValue(), 0.800000011920929);
    PlistValue first(PlistArray{"a"});
    PlistValue second = first;
    EXPECT_TRUE(second.isSameObject(first));
    second.mutableArray().push_back("b");
    EXPECT_FALSE(second.isSameObject(first));
    EXPECT_EQ(first.arrayValue().size(), 1u);
    EXPECT_EQ(second.arrayValue().size(), 2u);
}

TEST(PlistDictionary, setReplacesInPlaceAndKeepsOrder) {
    PlistDictionary dictionary{{"a", 1}, {"b", 2}};
    dictionary.set("a", 3);
    dictionary.set("c", 4);
    std::vector<std::string> keys;
    for (const auto& entry : dictionary) keys.push_back(entry.first);
    EXPECT_EQ(keys, (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_EQ(dictionary.get("a").intValue(), 3);
    EXPECT_TRUE(dictionary.get("missing").isNull());
    EXPECT_TRUE(dictionary.remove("b"));
    EXPECT_FALSE(dictionary.contains("b"));
}

} // namespace
} // namespace pellora
