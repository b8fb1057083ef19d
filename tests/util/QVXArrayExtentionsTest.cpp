#include <gtest/gtest.h>

#include "util/QVXArrayExtentions.h"

namespace pellora {
namespace {

PlistArray strings(std::initializer_list<const char*> elements) {
    PlistArray array;
    for (const char* element : elements) array.emplace_back(element);
    return array;
}

// Lists join without a trailing separator; parsing stops at the first empty line
// and the header variant skips the first.
TEST(ArrayLists, joinAndParseVerticalAndHorizontalLists) {
    EXPECT_EQ(verticalListFromStringArrayWithQuotes(strings({"a", "b", "c"}), false), "a\nb\nc");
    EXPECT_EQ(horizontalListFromStringArrayWithQuotes(strings({"a", "b", "c"}), true), "\"a\", \"b\", \"c\"");
    EXPECT_EQ(verticalListFromStringArrayWithQuotes({}, true), "");
    EXPECT_EQ(horizontalListFromStringArrayWithQuotes(strings({"only"}), false), "only");
    EXPECT_EQ(verticalListFromStringArrayWithQuotes(strings({"only"}), true), "\"only\"");
    EXPECT_EQ(horizontalListFromStringArrayWithQuotes(PlistArray{5, "x"}, true), "\"5\", \"x\"");
    EXPECT_EQ(arrayByParsingVerticalList("a\nb\n"), strings({"a", "b"}));
    EXPECT_EQ(arrayByParsingVerticalList("a\n\nb"), strings({"a"}));
    EXPECT_EQ(arrayByParsingVerticalList("a\r\nb"), strings({"a\r", "b"}));
    EXPECT_TRUE(arrayByParsingVerticalList("").empty());
    EXPECT_TRUE(arrayByParsingVerticalList("\nx").empty());
    EXPECT_EQ(arrayByParsingVerticalListAfterHeader("Header\na\nb"), strings({"a", "b"}));
    EXPECT_TRUE(arrayByParsingVerticalListAfterHeader("Header").empty());
    EXPECT_EQ(arrayByParsingVerticalListAfterHeader("\na"), strings({"a"}));
}

// Removing takes every occurrence; adding checks the growing result for duplicates
// and, when it adds nothing, gives the receiver itself.
TEST(ArrayLists, removingAndAddingStrings) {
    const PlistArray mixed{"x", "y", "x", 5};
    EXPECT_EQ(arrayByRemovingStringsFromArray(mixed, strings({"x"})), (PlistArray{"y", 5}));
    EXPECT_EQ(arrayByRemovingStringsFromArray(mixed, PlistArray{5}), mixed);
    const PlistValue single(strings({"a"}));
    const PlistValue added = arrayByAddingStringsFromArrayWithoutDuplicates(single, PlistArray{"b", "a", "b", 7});
    EXPECT_EQ(added.arrayValue(), strings({"a", "b"}));
    EXPECT_EQ(single.arrayValue(), strings({"a"}));

    const PlistValue withRepeats(strings({"a", "a"}));
    EXPECT_EQ(arrayByAddingStringsFromArrayWithoutDuplicates(withRepeats, strings({"b"})).arrayValue(),
              strings({"a", "a", "b"}));
    const PlistValue both(strings({"a", "b"}));
    EXPECT_TRUE(arrayByAddingStringsFromArrayWithoutDuplicates(both, PlistArray{"a", 3}).isSameObject(both));
}

TEST(ArrayLists, containsStringIsExactAndCaseSensitive) {
    EXPECT_TRUE(containsString(strings({"png", "jpg"}), "jpg"));
    EXPECT_FALSE(containsString(strings({"jpg"}), "JPG"));
    EXPECT_FALSE(containsString(PlistArray{7}, "7"));
    EXPECT_FALSE(containsString({}, ""));
}

TEST(ArrayIndexes, removeAndPickByIndexSet) {
    std::vector<std::string> letters{"a", "b", "c", "d", "e"};
    removeObjectsAtIndexes(letters, IndexSet{1, 3});
    EXPECT_EQ(letters, (std::vector<std::string>{"a", "c", "e"}));
    removeObjectsAtIndexes(letters, IndexSet{});
    EXPECT_EQ(letters.size(), 3u);
    removeObjectsAtIndexes(letters, IndexSet{0, 1, 2});
    EXPECT_TRUE(letters.empty());

    const std::vector<std::string> abc{"a", "b", "c"};
    EXPECT_EQ(objectsAtIndexes(abc, IndexSet{0, 2}), (std::vector<std::string>{"a", "c"}));
    EXPECT_TRUE(objectsAtIndexes(abc, IndexSet{}).empty());
}

} // namespace
} // namespace pellora
