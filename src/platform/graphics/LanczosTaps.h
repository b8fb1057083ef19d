#pragma once

#include <cstdint>
#include <vector>

namespace pellora {

// Fixed-point weights are 16-bit with this many fraction bits, so that one
// multiply-add instruction weighs a pair of 8-bit samples (no weight exceeds
// 1.0 by much). Sums of 8-bit samples stay well inside an int32.
inline constexpr int kWeightFractionBits = 14;

// Weight slots per output sample are a multiple of this.
inline constexpr int kWeightGroup = 8;

// The Lanczos-3 kernel, sinc(x) * sinc(x / 3) on (-3, 3).
double lanczos3(double x);

// For one axis resized from inSize to outSize samples, the source span and
// normalised weights of each output sample in [outBegin, outEnd). The kernel's
// support is widened by the shrink factor so that shrinking low-passes the
// signal first. Each output sample's weights sum to exactly 1 << kWeightFractionBits.
struct LanczosTaps {
    std::uint32_t outBegin = 0;
    int stride = 0;                     // weight slots per output sample, a multiple of kWeightGroup
    std::vector<std::int32_t> first;    // first source index, per output sample
    std::vector<std::int32_t> count;    // number of source samples, per output sample
    std::vector<std::int16_t> weights;  // stride slots per output sample

    // The most source samples any output sample reads, resizing inSize to outSize.
    static int maxTaps(std::uint32_t inSize, std::uint32_t outSize);

    static LanczosTaps compute(std::uint32_t inSize, std::uint32_t outSize, std::uint32_t outBegin,
                               std::uint32_t outEnd);

    std::size_t size() const { return first.size(); }
    const std::int16_t* weightsOf(std::size_t index) const { return weights.data() + index * stride; }
};

} // namespace pellora
