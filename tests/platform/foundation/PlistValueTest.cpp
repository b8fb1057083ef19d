#include <gtest/gtest.h>

#include "platform/foundation/PlistValue.h"

namespace pellora {
namespace {

// Strings read as their leading decimal number; null and other types as zero.
TEST(PlistValue, typedReadsOfStringsNullAndOtherTypes) {
    const std::pair<PlistValue, int> integers[] = {{"800", 800}, {"abc", 0}, {"  -42px", -42}, {"+7", 7}, {"12.9", 12},
                                                   {"99999999999", INT32_MAX}, {"", 0}, {PlistValue(), 0},
                                                   {PlistArray{1}, 0}, {true, 1}, {2.75, 2}};
    for (const auto& [value, expected] : integers) EXPECT_EQ(value.intValue(), expected) << value.description();
    const std::pair<PlistValue, float> floats[] = {{" 0.25 of it", 0.25f}, {"1e2", 100.0f}, {"3e", 3.0f}, {".", 0.0f},
                                                   {PlistValue(), 0.0f}};
    for (const auto& [value, expected] : floats) EXPECT_EQ(value.floatValue(), expected) << value.description();
    const std::pair<PlistValue, bool> booleans[] = {{"YES", true}, {"true", true}, {" 5", true}, {"NO", false},
                                                    {"0", false},  {PlistValue(), false}};
    for (const auto& [value, expected] : booleans) EXPECT_EQ(value.boolValue(), expected) << value.description();
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
