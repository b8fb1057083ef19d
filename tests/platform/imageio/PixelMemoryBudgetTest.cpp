#include <atomic>
#include <gtest/gtest.h>
#include <random>
#include <thread>
#include <vector>

#include "jobs/JobTestSupport.h"
#include "platform/graphics/Resampler.h"
#include "platform/imageio/ImageSource.h"
#include "platform/imageio/PixelMemoryBudget.h"
#include "platform/imageio/TypeIdentifiers.h"
#include "support/TestSupport.h"

namespace pellora {
namespace {

constexpr std::uint64_t MiB = std::uint64_t{1} << 20;
constexpr std::uint64_t GiB = std::uint64_t{1} << 30;

const std::string regressions = std::string(PELLORA_TEST_DATA_DIR) + "/../regressions";
const std::string pngSuite = std::string(PELLORA_TEST_DATA_DIR) + "/pngsuite/png";

// Sets the process's budget for one test and puts the old one back.
class SharedCapacity {
public:
    explicit SharedCapacity(std::uint64_t bytes) : _old(PixelMemoryBudget::shared().capacity()) {
        PixelMemoryBudget::shared().setCapacity(bytes);
    }
    ~SharedCapacity() { PixelMemoryBudget::shared().setCapacity(_old); }

private:
    std::uint64_t _old;
};

TEST(PixelMemoryBudget, defaultIsAQuarterOfTheSmallerMemoryAtMostTwoGiB) {
    struct Case {
        std::uint64_t physical, cgroup, expected;
    };
    const Case cases[] = {
        {24 * GiB, 0, 2 * GiB},          // capped
        {4 * GiB, 0, 1 * GiB},           // a quarter of physical memory
        {24 * GiB, 2 * GiB, 512 * MiB},  // the control group's limit is smaller
        {1 * GiB, 8 * GiB, 256 * MiB},   // physical memory is smaller
        {0, 0, 2 * GiB},                 // nothing known: the cap
    };
    for (const Case& c : cases) {
        EXPECT_EQ(PixelMemoryBudget::capacityFor(c.physical, c.cgroup), c.expected) << c.physical << " " << c.cgroup;
    }
    EXPECT_GT(PixelMemoryBudget::defaultCapacity(), 0u);
    EXPECT_LE(PixelMemoryBudget::defaultCapacity(), 2 * GiB);
}

// More than the whole budget is refused with a log line and holds nothing; a
// share is given back once, whether released, moved from or destroyed.
TEST(PixelMemoryBudget, refusesMoreThanTheWholeBudgetAndGivesEachShareBackOnce) {
    PixelMemoryBudget budget(100);
    {
        test::LogCapture log;
        EXPECT_FALSE(budget.reserve(101, "big.gif").granted());
        EXPECT_EQ(budget.inUse(), 0u);
        ASSERT_EQ(log.lines().size(), 1u);
        EXPECT_NE(log.lines()[0].find("big.gif needs"), std::string::npos) << log.lines()[0];
        const PixelReservation whole = budget.reserve(100, "whole");  // not more than itself
        EXPECT_TRUE(whole.granted());
        EXPECT_EQ(budget.inUse(), 100u);
    }
    {
        PixelReservation first = budget.reserve(30, "first");
        PixelReservation moved = std::move(first);
        EXPECT_FALSE(first.granted());
        EXPECT_EQ(budget.inUse(), 30u);
        PixelReservation second = budget.reserve(20, "second");
        second.release();
        second.release();
        EXPECT_EQ(budget.inUse(), 30u);
        moved = budget.reserve(10, "third");  // the old share goes back first
        EXPECT_EQ(budget.inUse(), 10u);
    }
    EXPECT_EQ(budget.inUse(), 0u);
}

// A share that does not fit waits until another is given back, or is refused
// once the budget shrinks below it.
TEST(PixelMemoryBudget, aShareThatDoesNotFitWaitsUntilAnotherIsGivenBackOrTheBudgetShrinks) {
    for (const bool shrink : {false, true}) {
        SCOPED_TRACE(shrink ? "shrunk" : "given back");
        PixelMemoryBudget budget(100);
        PixelReservation holder = budget.reserve(60, "holder");
        test::LogCapture log;
        std::atomic<bool> reserved{false};
        std::thread waiter([&] {
            const PixelReservation share = budget.reserve(50, "waiter");
            EXPECT_EQ(share.granted(), !shrink);
            EXPECT_EQ(budget.inUse(), shrink ? 60u : 50u);
            reserved = true;
        });
        while (budget.waiting() == 0) std::this_thread::yield();
        EXPECT_FALSE(reserved);
        EXPECT_EQ(budget.inUse(), 60u);
        if (shrink) {
            budget.setCapacity(40);
        } else {
            holder.release();
        }
        waiter.join();
        EXPECT_EQ(budget.inUse(), shrink ? 60u : 0u);
    }
}

TEST(PixelMemoryBudget, concurrentSharesNeverExceedTheBudget) {
    PixelMemoryBudget budget(1000);
    std::atomic<bool> exceeded{false};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            std::mt19937 random(static_cast<unsigned>(t));
            std::uniform_int_distribution<std::uint64_t> size(1, 600);
            for (int i = 0; i < 500; ++i) {
                const PixelReservation share = budget.reserve(size(random), "share");
                if (!share.granted() || budget.inUse() > 1000) exceeded = true;
            }
        });
    }
    for (std::thread& thread : threads) thread.join();
    EXPECT_FALSE(exceeded);
    EXPECT_EQ(budget.inUse(), 0u);
}

// A decoded image holds its share of the process's budget while it lives; a
// decode larger than the whole budget is refused before it allocates.
TEST(PixelMemoryBudget, aDecodedImageHoldsItsShareOfTheProcessBudgetWhileItLives) {
    const auto source = ImageSource::createWithPath(pngSuite + "/basn6a08.png");
    ASSERT_NE(source, nullptr);
    EXPECT_EQ(source->decodeMemory(), 32u * 32u * 4u);
    const std::uint64_t before = PixelMemoryBudget::shared().inUse();
    DecodedImagePtr image = source->decodeFirstImage();
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(PixelMemoryBudget::shared().inUse(), before + 32 * 32 * 4);
    image.reset();
    EXPECT_EQ(PixelMemoryBudget::shared().inUse(), before);
    {
        // A caller whose own share counts the decode takes nothing more.
        const PixelMemoryBudget::CoveredScope covered;
        image = source->decodeFirstImage();
        EXPECT_EQ(PixelMemoryBudget::shared().inUse(), before);
    }
    const SharedCapacity capacity(1000);
    test::LogCapture log;
    EXPECT_EQ(source->decodeFirstImage(), nullptr);
    ASSERT_EQ(log.lines().size(), 1u);
    EXPECT_NE(log.lines()[0].find("PNG: a 32 x 32 image needs"), std::string::npos) << log.lines()[0];
}

// What each decode holds, from the header alone: a 16-bit PNG at 8 bits, a
// progressive JPEG's full-size coefficients beside its output at the scale
// asked for, a GIF's logical screen; a JPEG 2000 decoded at a reduced
// resolution counts only that resolution.
TEST(PixelMemoryBudget, decodeMemoryCountsWhatTheCodecHolds) {
    struct Case {
        std::string path;
        std::uint32_t minSide;
        std::uint64_t expected;
    };
    const std::uint64_t coefficients = 2125ull * 2125 * 3 * 128;  // 17000 / 8 blocks a side, three components
    const Case cases[] = {
        {pngSuite + "/basn6a16.png", 0, 32 * 32 * 4},
        {pngSuite + "/basn2c16.png", 0, 32 * 32 * 3},
        {regressions + "/progressive-bomb.jpg", 0, 17000ull * 17000 * 3 + coefficients},
        {regressions + "/progressive-bomb.jpg", 1000, 2125ull * 2125 * 3 + coefficients},
        {regressions + "/screen-bomb.gif", 0, 17320ull * 17320 * 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        const auto source = ImageSource::createWithPath(c.path);
        ASSERT_NE(source, nullptr);
        DecodeOptions options;
        options.minWidth = options.minHeight = c.minSide;
        EXPECT_EQ(source->decodeMemory(options), c.expected);
    }
    test::TempDir dir;
    ASSERT_TRUE(test::writeTestImage(dir.file("a.jp2"), 64, 48, kImageTypeJPEG2000));
    const auto jp2 = ImageSource::createWithPath(dir.file("a.jp2"));
    ASSERT_NE(jp2, nullptr);
    const auto full = jp2->decodeMemory();
    ASSERT_TRUE(full.has_value());
    EXPECT_EQ(jp2->decodeMemory({.minWidth = 32, .minHeight = 24, .limits = {}}), *full / 4);
}

TEST(PixelMemoryBudget, resamplingHoldsAWindowOfRowsNotTheWholeImage) {
    // Full size and a strong reduction of a 17320-pixel square: the rows held
    // are a small fraction of the 1.2 GB image.
    EXPECT_LT(Resampler::workingBytes(17320, 17320, 17320, 17320), 17320ull * 17320 * 4 / 100);
    EXPECT_LT(Resampler::workingBytes(17320, 17320, 1000, 1000), 17320ull * 17320 * 4 / 100);
}

} // namespace
} // namespace pellora
