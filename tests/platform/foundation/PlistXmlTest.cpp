#include <bit>
#include <cstring>
#include <gtest/gtest.h>

#include "platform/foundation/PlistXml.h"
#include "support/TestSupport.h"

namespace pellora {
namespace {

PlistValue roundTrip(const PlistValue& value) { return readPlistXml(writePlistXml(value)); }

TEST(PlistXml, everyTypeSurvivesAWriteAndARead) {
    PlistDictionary nested{{"inner", PlistArray{1, "two", 3.5}}};
    const PlistDate date = std::chrono::system_clock::from_time_t(1'765'000'000);
    PlistDictionary all{
        {"bool true", true},
        {"bool false", false},
        {"integer", std::int64_t{-9'007'199'254'740'993}},
        {"real", 0.1},
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
}

TEST(PlistXml, singlePrecisionFloatKeepsItsBits) {
    const PlistValue back = roundTrip(PlistArray{0.8f, 0.5f, 1e-7f});
    ASSERT_TRUE(back.isArray());
    EXPECT_EQ(std::bit_cast<std::uint32_t>(back.arrayValue()[0].floatValue()), 0x3F4CCCCDu);
    EXPECT_EQ(std::bit_cast<std::uint32_t>(back.arrayValue()[1].floatValue()), 0x3F000000u);
    EXPECT_EQ(back.arrayValue()[2].floatValue(), 1e-7f);
}

TEST(PlistXml, keepsDictionaryOrderWhenWriting) {
    const std::string xml = writePlistXml(PlistDictionary{{"b", 1}, {"a", 2}});
    EXPECT_LT(xml.find("<key>b</key>"), xml.find("<key>a</key>"));
}

TEST(PlistXml, readsTheStandardFormOtherToolsWrite) {
    const std::string xml = R"(<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE plist PUBLIC "-//Apple//DTD PLIST 1.0//EN" "http://www.apple.com/DTDs/PropertyList-1.0.dtd">
<plist version="1.0">
<dict>
	<key>Pellora</key>
	<dict><key>Version</key><string>1.2</string><key>Count</key><integer>+7</integer></dict>
	<key>Stamp</key><date>2026-12-06T16:04:37Z</date>
	<key>Blob</key><data>
	AAEC
	/w==
	</data>
</dict>
</plist>)";
    const PlistValue value = readPlistXml(xml);
    ASSERT_TRUE(value.isDictionary());
    const PlistDictionary& top = value.dictionaryValue();
    EXPECT_EQ(top.get("Pellora").dictionaryValue().get("Version").stringValue(), "1.2");
    EXPECT_EQ(top.get("Pellora").dictionaryValue().get("Count").intValue(), 7);
    EXPECT_EQ(top.get("Blob").dataValue(), (PlistData{0, 1, 2, 255}));
    EXPECT_EQ(std::chrono::system_clock::to_time_t(top.get("Stamp").dateValue()), 1'796'573'077);
}

struct HostileCase {
    const char* name;
    std::string (*xml)();  // made when the case runs, not when the program starts
};

class PlistXmlHostile : public ::testing::TestWithParam<HostileCase> {};

TEST_P(PlistXmlHostile, givesNullAndOneLogLine) {
    test::LogCapture log;
    EXPECT_TRUE(readPlistXml(GetParam().xml()).isNull());
    EXPECT_EQ(log.lines().size(), 1u);
}

std::string deepArrays(int depth) {
    std::string xml = "<plist>";
    for (int i = 0; i < depth; ++i) xml += "<array>";
    for (int i = 0; i < depth; ++i) xml += "</array>";
    return xml + "</plist>";
}

std::string junk(std::size_t size) {
    std::string bytes(size, '\0');
    std::uint32_t state = 12345;
    for (char& c : bytes) {
        state = state * 1664525u + 1013904223u;
        c = static_cast<char>(state >> 24);
    }
    return bytes;
}

INSTANTIATE_TEST_SUITE_P(
    Inputs, PlistXmlHostile,
    ::testing::Values(
        HostileCase{"unclosedTag", [] { return std::string("<plist><dict><key>a</key><string>b</dict></plist>"); }},
        HostileCase{"wrongRoot", [] { return std::string("<dict><key>a</key><string>b</string></dict>"); }},
        HostileCase{"emptyInput", [] { return std::string(""); }},
        HostileCase{"twoValues", [] { return std::string("<plist><true/><false/></plist>"); }},
        HostileCase{"keyWithoutValue", [] { return std::string("<plist><dict><key>a</key></dict></plist>"); }},
        HostileCase{"unknownElement", [] { return std::string("<plist><object/></plist>"); }},
        HostileCase{"badInteger", [] { return std::string("<plist><integer>12abc</integer></plist>"); }},
        HostileCase{"badDate", [] { return std::string("<plist><date>yesterday</date></plist>"); }},
        HostileCase{"badData", [] { return std::string("<plist><data>!!!!</data></plist>"); }},
        HostileCase{"entityDeclaration", [] { return std::string("<?xml version=\"1.0\"?><!DOCTYPE plist [<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b "
                    "\"&a;&a;&a;&a;&a;&a;\">]><plist><string>&b;</string></plist>"); }},
        HostileCase{"deepNesting", [] { return std::string(deepArrays(100'000)); }},
        HostileCase{"tenMegabytesOfJunk", [] { return std::string(junk(10u << 20)); }},
        HostileCase{"overSizeLimit", [] { return std::string("<plist><string>" + std::string(33u << 20, 'a') + "</string></plist>"); }}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

TEST(PlistXml, nestingUpToTheLimitIsRead) {
    EXPECT_TRUE(readPlistXml(deepArrays(100)).isArray());
}

TEST(PlistXml, missingFileGivesNullAndALogLine) {
    test::LogCapture log;
    EXPECT_TRUE(readPlistFile("/nonexistent/settings.plist").isNull());
    EXPECT_EQ(log.lines().size(), 1u);
}

} // namespace
} // namespace pellora
