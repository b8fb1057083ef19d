#include <gtest/gtest.h>

#include "cli/DisplayText.h"

namespace pellora::cli {
namespace {

// No file name can move the cursor or break a line on the terminal, and names
// that differ only in bytes that are not text still print differently.
TEST(DisplayTextTest, FileNamesPrintOnOneSafeLine) {
    const std::pair<std::string, std::string> cases[] = {
        {"IMG_0001.JPG", "IMG_0001.JPG"},
        {"caf\xC3\xA9 \xF0\x9F\x93\xB7.jpg", "caf\xC3\xA9 \xF0\x9F\x93\xB7.jpg"},
        {"a\\b", "a\\\\b"},
        {"line\nbreak\ttab\rreturn", "line\\nbreak\\ttab\\rreturn"},
        {"\x1B[2Jclear", "\\x1B[2Jclear"},
        {"caf\xE9.jpg", "caf\\xE9.jpg"},
        {"\xC2\x85next-line", "\\xC2\\x85next-line"},
        {"\xED\xA0\x80", "\\xED\\xA0\\x80"},
        {"cut\xE2\x82", "cut\\xE2\\x82"},
        {"del\x7F", "del\\x7F"},
    };
    for (const auto& [name, shown] : cases) EXPECT_EQ(displayText(name), shown);
}

} // namespace
} // namespace pellora::cli
