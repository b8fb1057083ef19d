#include <filesystem>
#include <gtest/gtest.h>

#include "platform/foundation/EmbeddedResources.h"
#include "platform/foundation/StringTable.h"
#include "support/TestSupport.h"

namespace pellora {
namespace {

// The built-in table is the resource file; a missing key or table shows the
// value given, else the key.
TEST(StringTable, lookUpInTheBuiltInTable) {
    const auto resources = std::filesystem::path(PELLORA_TEST_DATA_DIR).parent_path().parent_path() / "resources";
    EXPECT_EQ(embeddedResource("QVXUpdate.strings.plist"), test::readFile(resources / "QVXUpdate.strings.plist"));
    EXPECT_TRUE(embeddedResource("Missing.strings.plist").empty());
    EXPECT_EQ(localizedStringForKey("Yes", "", "QVXUpdate"), "Yes");
    EXPECT_EQ(localizedStringForKey("Update Available window title", "", "QVXUpdate"), "A new version is available");
    EXPECT_EQ(localizedStringForKey("No such key", "", "QVXUpdate"), "No such key");
    EXPECT_EQ(localizedStringForKey("No such key", "Fallback", "QVXUpdate"), "Fallback");
    test::LogCapture log;
    EXPECT_EQ(localizedStringForKey("Update Available window title", "", "NoSuchTable"),
              "Update Available window title");
    EXPECT_EQ(log.lines().size(), 1u);
}

TEST(StringTable, formatFillsPlaceholdersInTurnOrByPosition) {
    const std::vector<std::string> arguments{"Pellora", "2.0"};
    EXPECT_EQ(stringWithFormat("%@ %@ is out", arguments), "Pellora 2.0 is out");
    EXPECT_EQ(stringWithFormat("%2$@ of %1$@", arguments), "2.0 of Pellora");
    EXPECT_EQ(stringWithFormat("100%% %@ %@ %@", arguments), "100% Pellora 2.0 ");
    // Placeholders without an argument are left empty; anything else is kept as text.
    EXPECT_EQ(stringWithFormat("%d %3$@ %99999999999$@ %", arguments), "%d  %99999999999$@ %");
    // An argument's own placeholders are not filled again.
    EXPECT_EQ(stringWithFormat("%@", {"%@%@"}), "%@%@");
    EXPECT_EQ(stringWithFormat("Update Available window title", arguments), "Update Available window title");
}

} // namespace
} // namespace pellora
