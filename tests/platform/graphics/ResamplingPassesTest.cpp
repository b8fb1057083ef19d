#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "platform/graphics/LanczosTaps.h"
#include "platform/graphics/ResamplingPasses.h"

namespace pellora {
namespace {

// The passes use vector instructions where the processor has them; their
// results must be exactly those of the plain fixed-point sums, for every
// number of taps (whole vector steps, remainders, single taps).
std::uint8_t plainClamp(std::int64_t sum) {
    return std::uint8_t(std::clamp<std::int64_t>(sum >> kWeightFractionBits, 0, 255));
}

std::vector<std::uint8_t> randomBytes(std::size_t count, std::uint32_t seed) {
    std::mt19937 random(seed);
    std::vector<std::uint8_t> bytes(count);
    for (auto& byte : bytes) byte = std::uint8_t(random());
    return bytes;
}

TEST(ResamplingPasses, equalThePlainFixedPointSums) {
    const std::int64_t half = 1 << (kWeightFractionBits - 1);
    for (const std::uint32_t inSize : {1u, 7u, 64u, 301u}) {
        for (const std::uint32_t outSize : {1u, 3u, 50u, 97u, 640u}) {
            const LanczosTaps taps = LanczosTaps::compute(inSize, outSize, 0, outSize);
            const std::vector<std::uint8_t> row = randomBytes(std::size_t(inSize) * 4, inSize * 31 + outSize);
            std::vector<std::uint8_t> out(std::size_t(outSize) * 4);
            horizontalPass(taps, row.data(), out.data());
            for (std::size_t i = 0; i < taps.size(); ++i) {
                for (int c = 0; c < 4; ++c) {
                    std::int64_t sum = half;
                    for (int k = 0; k < taps.count[i]; ++k) {
                        sum += row[(std::size_t(taps.first[i]) + k) * 4 + c] * taps.weightsOf(i)[k];
                    }
                    ASSERT_EQ(out[i * 4 + c], plainClamp(sum)) << inSize << " -> " << outSize << " at " << i;
                }
            }

            // The vertical pass over `inSize` rows of 5 pixels (not a whole vector).
            const std::size_t stride = 5 * 4;
            const std::vector<std::uint8_t> rows = randomBytes(std::size_t(inSize) * stride, outSize);
            std::vector<std::int32_t> sums(stride);
            std::vector<std::uint8_t> line(stride);
            for (std::size_t i = 0; i < taps.size(); ++i) {
                const std::uint8_t* first = rows.data() + std::size_t(taps.first[i]) * stride;
                verticalPass(taps.weightsOf(i), taps.count[i], first, stride, sums.data(), line.data());
                for (std::size_t x = 0; x < stride; x += 4) {
                    std::uint8_t plain[4];
                    for (int c = 0; c < 4; ++c) {
                        std::int64_t sum = half;
                        for (int k = 0; k < taps.count[i]; ++k) sum += first[k * stride + x + c] * taps.weightsOf(i)[k];
                        plain[c] = plainClamp(sum);
                    }
                    for (int c = 0; c < 3; ++c) ASSERT_EQ(line[x + c], std::min(plain[c], plain[3]));
                    ASSERT_EQ(line[x + 3], plain[3]);
                }
            }
        }
    }
}

} // namespace
} // namespace pellora
