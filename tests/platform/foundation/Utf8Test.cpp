#include <gtest/gtest.h>

#include "platform/foundation/Utf8.h"

namespace pellora {
namespace {

TEST(Utf8Test, SequencesAreMeasuredAndInvalidOnesRefused) {
    struct Case {
        std::string_view bytes;
        std::size_t length;
        char32_t code;
    };
    const Case cases[] = {
        {"A", 1, U'A'},
        {"\xC3\xA9", 2, U'\u00E9'},
        {"\xE2\x82\xAC", 3, U'\u20AC'},
        {"\xF0\x9F\x93\xB7", 4, U'\U0001F4F7'},
        {"\xF4\x8F\xBF\xBF", 4, U'\U0010FFFF'},
        {"\x80", 0, 0},              // stray continuation byte
        {"\xC0\xAF", 0, 0},          // overlong slash
        {"\xE0\x80\xAF", 0, 0},      // overlong in three bytes
        {"\xED\xA0\x80", 0, 0},      // surrogate
        {"\xF4\x90\x80\x80", 0, 0},  // above U+10FFFF
        {"\xE2\x82", 0, 0},          // cut short
        {"\xC3\x41", 0, 0},          // second byte not a continuation
    };
    for (const Case& c : cases) {
        const Utf8Sequence sequence = utf8SequenceAt(c.bytes, 0);
        EXPECT_EQ(sequence.length, c.length) << testing::PrintToString(std::string(c.bytes));
        if (c.length > 0) {
            EXPECT_EQ(sequence.code, c.code);
        }
    }
}

} // namespace
} // namespace pellora
