#include <gtest/gtest.h>

#include "support/TestSupport.h"
#include "util/QVXMacOSVersion.h"

namespace pellora {
namespace {

// Answers the version query with fixed numbers, in turn, for one test.
class FixedVersion {
public:
    explicit FixedVersion(std::vector<std::int32_t> numbers) : _numbers(std::move(numbers)) {
        QVXMacOSVersion::setVersionQuery([this] {
            const std::int32_t number = _numbers[std::min(_reads, _numbers.size() - 1)];
            ++_reads;
            return number;
        });
    }
    ~FixedVersion() { QVXMacOSVersion::setVersionQuery({}); }
    std::size_t reads() const { return _reads; }

private:
    std::vector<std::int32_t> _numbers;
    std::size_t _reads = 0;
};

std::vector<bool> predicates() {
    return {QVXMacOSVersion::osx100(), QVXMacOSVersion::osx101(), QVXMacOSVersion::osx102(),
            QVXMacOSVersion::osx103(), QVXMacOSVersion::osx104(), QVXMacOSVersion::osx105(),
            QVXMacOSVersion::osx106()};
}

TEST(QVXMacOSVersion, onlyTheMatchingPredicateHoldsAndBoundsAreInclusive) {
    using Flags = std::vector<bool>;
    const Flags only104{false, false, false, false, true, false, false};
    const Flags only105{false, false, false, false, false, true, false};
    for (const std::int32_t number : {0x1049, 0x1040, 0x104F}) {
        FixedVersion version({number});
        EXPECT_EQ(predicates(), only104) << std::hex << number;
    }
    {
        FixedVersion version({0x1050});
        EXPECT_EQ(predicates(), only105);
    }
    for (const std::int32_t number : {0, 0x0FFF, 0x1070, 0x0610, -1}) {
        FixedVersion version({number});
        EXPECT_EQ(predicates(), Flags(7, false)) << std::hex << number;
    }
}

TEST(QVXMacOSVersion, readsTheNumberAgainOnlyForTheUpperBound) {
    FixedVersion belowLower({0x1030});
    EXPECT_FALSE(QVXMacOSVersion::osx104());
    EXPECT_EQ(belowLower.reads(), 1u);

    FixedVersion changedBetweenReads({0x1040, 0x1050});
    EXPECT_FALSE(QVXMacOSVersion::osx104());
    EXPECT_EQ(changedBetweenReads.reads(), 2u);
}

TEST(QVXMacOSVersion, packsAKernelReleaseIntoDecimalDigits) {
    EXPECT_EQ(QVXMacOSVersion::packedVersionFromRelease("6.1.0-18-amd64"), 0x0610);
    EXPECT_EQ(QVXMacOSVersion::packedVersionFromRelease("10.4.9"), 0x1049);
    EXPECT_EQ(QVXMacOSVersion::packedVersionFromRelease("6.18.44-fc"), 0x0699);
    EXPECT_EQ(QVXMacOSVersion::packedVersionFromRelease("123.4"), 0x9940);
    EXPECT_EQ(QVXMacOSVersion::packedVersionFromRelease("5"), 0x0500);
    EXPECT_EQ(QVXMacOSVersion::packedVersionFromRelease("6.x.3"), 0x0600);
    EXPECT_EQ(QVXMacOSVersion::packedVersionFromRelease("99999999999999999999.1"), 0x9910);
    EXPECT_EQ(QVXMacOSVersion::packedVersionFromRelease(""), 0);
    EXPECT_EQ(QVXMacOSVersion::packedVersionFromRelease("v6.1"), 0);
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
