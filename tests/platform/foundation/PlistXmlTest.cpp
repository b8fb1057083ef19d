#include <gtest/gtest.h>

#include "platform/foundation/PlistXml.h"
#include "support/TestSupport.h"

namespace pellora {
namespace {

PlistValue roundTrip(const PlistValue& value) { return readPlistXml(writePlistXml(value)); }

TEST(PlistXml, everyTypeSurvivesAWriteAndARead) {
    PlistDictionary nested{{"inner", PlistArray{1, "two", 3.5}}};
    const PlistArray singles{0.8f, 0.5f, 1e-7f};
    const PlistDate date = std::chrono::system_clock::from_time_t(1'765'000'000);
    PlistDictionary all{
        {"bool true", true},
        {"bool false", false},
        {"integer", std::int64_t{-9'007'199'254'740'993}},
        {"real", 0.1},
        {"single-precision reals", singles},
        {"string", "a <b> & \"c\"\r\n\ttab \x01 bytes \xff\xfe not UTF-8"},
        {"date", date},
        {"data", PlistData{0, 1, 2, 250, 251, 252, 253}},
        {"empty data", PlistData{}},
        {"array", PlistArray{"x", PlistArray{}, PlistDictionary{}}},
        {"dict", nested},
    };
    const PlistValue back = roundTrip(all);
    ASSERT_TRUE(back.isDictionary());
    EXPECT_EQ(back, PlistValue(all));
    EXPECT_EQ(back.dictionaryValue().get("date").dateValue(), date);
    // Single-precision reals read back to the same bits.
    const PlistArray& singlesBack = back.dictionaryValue().get("single-precision reals").arrayValue();
    for (std::size_t i = 0; i < singles.size(); ++i) EXPECT_EQ(singlesBack.at(i).floatValue(), singles[i].floatValue());
    // Written in the dictionary's own order.
    const std::string xml = writePlistXml(all);
    EXPECT_LT(xml.find("<key>bool true</key>"), xml.find("<key>bool false</key>"));
}

TEST(PlistXml, readsTheStandardFormOtherToolsWrite) {
    // As other tools write them: a DOCTYPE, tabs, a signed integer, data over several lines.
    const std::string xml = test::readFile(std::string(PELLORA_TEST_DATA_DIR) + "/desktop/standard.plist");
    const PlistValue value = readPlistXml(xml);
    ASSERT_TRUE(value.isDictionary());
    const PlistDictionary& top = value.dictionaryValue();
    EXPECT_EQ(top.get("Pellora").dictionaryValue().get("Version").stringValue(), "1.2");
    EXPECT_EQ(top.get("Pellora").dictionaryValue().get("Count").intValue(), 7);
    EXPECT_EQ(top.get("Blob").dataValue(), (PlistData{0, 1, 2, 255}));
    EXPECT_EQ(std::chrono::system_clock::to_time_t(top.get("Stamp").dateValue()), 1'796'573'077);
}

std::string deepArrays(int depth) {
    std::string xml = "<plist>";
    for (int i = 0; i < depth; ++i) xml += "<array>";
    for (int i = 0; i < depth; ++i) xml += "</array>";
    return xml + "</plist>";
}

TEST(PlistXml, hostileInputOrAMissingFileGivesNullAndOneLogLine) {
    std::string junk(10u << 20, '\0');
    std::uint32_t state = 12345;
    for (char& c : junk) c = static_cast<char>((state = state * 1664525u + 1013904223u) >> 24);
    const std::pair<const char*, std::string> cases[] = {
        {"unclosed tag", "<plist><dict><key>a</key><string>b</dict></plist>"},
        {"wrong root", "<dict><key>a</key><string>b</string></dict>"},
        {"empty input", ""},
        {"two values", "<plist><true/><false/></plist>"},
        {"key without value", "<plist><dict><key>a</key></dict></plist>"},
        {"unknown element", "<plist><object/></plist>"},
        {"bad integer", "<plist><integer>12abc</integer></plist>"},
        {"bad date", "<plist><date>yesterday</date></plist>"},
        {"bad data", "<plist><data>!!!!</data></plist>"},
        {"entity declaration", "<?xml version=\"1.0\"?><!DOCTYPE plist [<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b "
                               "\"&a;&a;&a;&a;&a;&a;\">]><plist><string>&b;</string></plist>"},
        {"deep nesting", deepArrays(100'000)},
        {"ten megabytes of junk", junk},
        {"over the size limit", "<plist><string>" + std::string(33u << 20, 'a') + "</string></plist>"},
    };
    for (const auto& [what, xml] : cases) {
        test::LogCapture log;
        EXPECT_TRUE(readPlistXml(xml).isNull()) << what;
        EXPECT_EQ(log.lines().size(), 1u) << what;
    }
    test::LogCapture log;
    EXPECT_TRUE(readPlistFile("/nonexistent/settings.plist").isNull());
    EXPECT_EQ(log.lines().size(), 1u);
    EXPECT_TRUE(readPlistXml(deepArrays(100)).isArray());  // nesting up to the limit is read
}

} // namespace
} // namespace pellora
