#include <gtest/gtest.h>

#include "support/TestSupport.h"
#include "util/QVXMacOSVersion.h"

namespace pellora {
namespace {

// Answers the version query with a fixed number for one test.
class FixedVersion {
public:
    explicit FixedVersion(std::int32_t number) {
        QVXMacOSVersion::setVersionQuery([number] { return number; });
    }
    ~FixedVersion() { QVXMacOSVersion::setVersionQuery({}); }
};

TEST(QVXMacOSVersion, onlyTheMatchingPredicateHoldsAndBoundsAreInclusive) {
    // The number, and which of isRelease10_0() ... isRelease10_6() holds for it (-1: none).
    const std::pair<std::int32_t, int> cases[] = {{0x1049, 4}, {0x1040, 4}, {0x104F, 4}, {0x1050, 5}, {0, -1},
                                                  {0x0FFF, -1}, {0x1070, -1}, {0x0610, -1}, {-1, -1}};
    for (const auto& [number, holds] : cases) {
        FixedVersion version(number);
        const std::vector<bool> predicates{QVXMacOSVersion::isRelease10_0(), QVXMacOSVersion::isRelease10_1(),
                                           QVXMacOSVersion::isRelease10_2(), QVXMacOSVersion::isRelease10_3(),
                                           QVXMacOSVersion::isRelease10_4(), QVXMacOSVersion::isRelease10_5(),
                                           QVXMacOSVersion::isRelease10_6()};
        for (int index = 0; index < 7; ++index) EXPECT_EQ(predicates[index], index == holds) << std::hex << number;
    }
}

TEST(QVXMacOSVersion, packsAKernelReleaseIntoDecimalDigits) {
    const std::pair<const char*, std::int32_t> cases[] = {
        {"6.1.0-18-amd64", 0x0610}, {"10.4.9", 0x1049}, {"6.18.44-fc", 0x0699}, {"123.4", 0x9940},
        {"5", 0x0500},              {"6.x.3", 0x0600},  {"99999999999999999999.1", 0x9910},
        {"", 0},                    {"v6.1", 0}};
    for (const auto& [release, packed] : cases) {
        EXPECT_EQ(QVXMacOSVersion::packedVersionFromRelease(release), packed) << release;
    }
}

TEST(QVXMacOSVersion, reportsTheRunningKernel) {
    std::string release;
    ASSERT_EQ(test::runCommand("uname -r", &release), 0);
    const int major = std::min(std::stoi(release), 99);
    const std::int32_t number = QVXMacOSVersion::systemVersionNumber();
    EXPECT_EQ(number >> 8, (major / 10) << 4 | major % 10) << std::hex << number << " for " << release;
}

} // namespace
} // namespace pellora
