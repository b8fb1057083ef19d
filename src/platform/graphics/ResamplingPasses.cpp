#include "platform/graphics/ResamplingPasses.h"

#include <algorithm>
#include <cstring>

#if defined(__x86_64__)
#include <immintrin.h>
#elif defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace pellora {

namespace {

constexpr std::int32_t kRoundingHalf = 1 << (kWeightFractionBits - 1);

std::uint8_t clampToByte(std::int32_t fixedPoint) {
    return std::uint8_t(std::clamp(fixedPoint >> kWeightFractionBits, 0, 255));
}

#if defined(__SSE2__)
// SSE2 (every x86-64 processor has it): pmaddwd multiplies eight 16-bit
// values by eight weights and adds neighbouring products, so the samples of
// two pixels are interleaved channel by channel and weighed in one instruction.
__m128i weighPixels(const std::uint8_t* pixel, const std::int16_t* weight, int count, const std::uint8_t*) {
    const __m128i zero = _mm_setzero_si128();
    __m128i sum = _mm_set1_epi32(kRoundingHalf);
    int k = 0;
    for (; k + 4 <= count; k += 4, pixel += 16) {
        // p0 p1 p2 p3 -> p0 p2 p1 p3 -> bytes of p0 and p1 interleaved, then of p2 and p3.
        const __m128i four = _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(pixel)),
                                               _MM_SHUFFLE(3, 1, 2, 0));
        const __m128i paired = _mm_unpacklo_epi8(four, _mm_srli_si128(four, 8));
        const __m128i weights = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(weight + k));
        sum = _mm_add_epi32(sum, _mm_madd_epi16(_mm_unpacklo_epi8(paired, zero), _mm_shuffle_epi32(weights, 0x00)));
        sum = _mm_add_epi32(sum, _mm_madd_epi16(_mm_unpackhi_epi8(paired, zero), _mm_shuffle_epi32(weights, 0x55)));
    }
    for (; k < count; ++k, pixel += 4) {
        std::int32_t bytes;
        std::memcpy(&bytes, pixel, 4);
        // One pixel paired with nothing: r 0 g 0 b 0 a 0 against w 0 w 0 ...
        const __m128i single = _mm_unpacklo_epi8(_mm_unpacklo_epi8(_mm_cvtsi32_si128(bytes), zero), zero);
        sum = _mm_add_epi32(sum, _mm_madd_epi16(single, _mm_set1_epi32(std::uint16_t(weight[k]))));
    }
    return sum;
}

#if defined(__x86_64__) && defined(__GNUC__)
// AVX2, where the processor has it: eight pixels a step, two pairs per lane.
// The weight slots past the count are zero, so the last step may load whole
// eight pixels where the row has them (rowEnd); at the row's end it loads only
// the pixels that remain, with a masked load (slow, but it reads nothing beyond them).
__attribute__((target("avx2"))) __m256i weighEightPixels(__m256i pixels, const std::int16_t* weight) {
    const __m256i zero = _mm256_setzero_si256();
    // The weight pairs of the low lane's pixels, then of the high lane's.
    const __m256i firstPairs = _mm256_setr_epi32(0, 0, 0, 0, 2, 2, 2, 2);
    const __m256i secondPairs = _mm256_setr_epi32(1, 1, 1, 1, 3, 3, 3, 3);
    const __m256i eight = _mm256_shuffle_epi32(pixels, _MM_SHUFFLE(3, 1, 2, 0));
    const __m256i paired = _mm256_unpacklo_epi8(eight, _mm256_srli_si256(eight, 8));
    const __m256i weights = _mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(weight)));
    return _mm256_add_epi32(
        _mm256_madd_epi16(_mm256_unpacklo_epi8(paired, zero), _mm256_permutevar8x32_epi32(weights, firstPairs)),
        _mm256_madd_epi16(_mm256_unpackhi_epi8(paired, zero), _mm256_permutevar8x32_epi32(weights, secondPairs)));
}

__attribute__((target("avx2"))) __m128i weighPixelsAvx2(const std::uint8_t* pixel, const std::int16_t* weight,
                                                          int count, const std::uint8_t* rowEnd) {
    static constexpr std::int32_t kLanes[16] = {-1, -1, -1, -1, -1, -1, -1, -1, 0, 0, 0, 0, 0, 0, 0, 0};
    __m256i sum = _mm256_setzero_si256();
    int k = 0;
    for (; k + 8 <= count; k += 8, pixel += 32) {
        const __m256i pixels = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(pixel));
        sum = _mm256_add_epi32(sum, weighEightPixels(pixels, weight + k));
    }
    if (k < count && pixel + 32 <= rowEnd) {
        const __m256i pixels = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(pixel));
        sum = _mm256_add_epi32(sum, weighEightPixels(pixels, weight + k));
    } else if (k < count) {
        const __m256i remaining = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(kLanes + 8 - (count - k)));
        const __m256i pixels = _mm256_maskload_epi32(reinterpret_cast<const int*>(pixel), remaining);
        sum = _mm256_add_epi32(sum, weighEightPixels(pixels, weight + k));
    }
    const __m128i halves = _mm_add_epi32(_mm256_castsi256_si128(sum), _mm256_extracti128_si256(sum, 1));
    return _mm_add_epi32(halves, _mm_set1_epi32(kRoundingHalf));
}

bool processorHasAvx2() {
    __builtin_cpu_init();  // may run before the library's own constructor
    return __builtin_cpu_supports("avx2");
}

const bool kHasAvx2 = processorHasAvx2();
#endif

template <__m128i (*Weigh)(const std::uint8_t*, const std::int16_t*, int, const std::uint8_t*)>
void weighRow(const LanczosTaps& taps, const std::uint8_t* in, std::uint8_t* out) {
    // The row holds at least the pixels its last output sample reads.
    const std::uint8_t* rowEnd =
        taps.size() == 0 ? in : in + (std::size_t(taps.first.back()) + std::size_t(taps.count.back())) * 4;
    for (std::size_t index = 0; index < taps.size(); ++index, out += 4) {
        const __m128i sum =
            Weigh(in + std::size_t(taps.first[index]) * 4, taps.weightsOf(index), taps.count[index], rowEnd);
        // Shift out the fraction, then saturate to 0..255 through 16 bits.
        const __m128i shifted = _mm_srai_epi32(sum, kWeightFractionBits);
        const __m128i bytes = _mm_packus_epi16(_mm_packs_epi32(shifted, shifted), shifted);
        const std::int32_t pixel = _mm_cvtsi128_si32(bytes);
        std::memcpy(out, &pixel, 4);
    }
}

} // namespace

void horizontalPass(const LanczosTaps& taps, const std::uint8_t* in, std::uint8_t* out) {
#if defined(__x86_64__) && defined(__GNUC__)
    if (kHasAvx2) return weighRow<weighPixelsAvx2>(taps, in, out);
#endif
    weighRow<weighPixels>(taps, in, out);
}
#else
} // namespace

void horizontalPass(const LanczosTaps& taps, const std::uint8_t* in, std::uint8_t* out) {
    for (std::size_t index = 0; index < taps.size(); ++index, out += 4) {
        const std::int16_t* weight = taps.weightsOf(index);
        const std::uint8_t* pixel = in + std::size_t(taps.first[index]) * 4;
        const int count = taps.count[index];
        std::int32_t sum[4] = {kRoundingHalf, kRoundingHalf, kRoundingHalf, kRoundingHalf};
        for (int k = 0; k < count; ++k, pixel += 4) {
            for (int c = 0; c < 4; ++c) sum[c] += pixel[c] * weight[k];
        }
        for (int c = 0; c < 4; ++c) out[c] = clampToByte(sum[c]);
    }
}
#endif

namespace {

// The sums of one output row, over `count` rows of the intermediate image
// starting at `in`, `stride` bytes apart. They run along whole rows so that
// the inner loops go over contiguous bytes.
#if defined(__SSE2__)
// Two rows at a time: their bytes interleaved, one multiply-add weighs both.
void sumRows(const std::int16_t* weight, int count, const std::uint8_t* in, std::size_t stride, std::int32_t* sums) {
    const __m128i zero = _mm_setzero_si128();
    const std::size_t vectorEnd = stride & ~std::size_t(15);
    int k = 0;
    for (; k + 2 <= count; k += 2, in += 2 * stride) {
        const __m128i pair = _mm_set1_epi32(std::int32_t(std::uint16_t(weight[k]) | (std::uint32_t(std::uint16_t(weight[k + 1])) << 16)));
        const std::uint8_t* next = in + stride;
        std::size_t i = 0;
        for (; i < vectorEnd; i += 16) {
            const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i));
            const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(next + i));
            const __m128i low = _mm_unpacklo_epi8(a, b);
            const __m128i high = _mm_unpackhi_epi8(a, b);
            __m128i* sum = reinterpret_cast<__m128i*>(sums + i);
            _mm_storeu_si128(sum, _mm_add_epi32(_mm_loadu_si128(sum), _mm_madd_epi16(_mm_unpacklo_epi8(low, zero), pair)));
            _mm_storeu_si128(sum + 1, _mm_add_epi32(_mm_loadu_si128(sum + 1), _mm_madd_epi16(_mm_unpackhi_epi8(low, zero), pair)));
            _mm_storeu_si128(sum + 2, _mm_add_epi32(_mm_loadu_si128(sum + 2), _mm_madd_epi16(_mm_unpacklo_epi8(high, zero), pair)));
            _mm_storeu_si128(sum + 3, _mm_add_epi32(_mm_loadu_si128(sum + 3), _mm_madd_epi16(_mm_unpackhi_epi8(high, zero), pair)));
        }
        for (; i < stride; ++i) sums[i] += in[i] * weight[k] + next[i] * weight[k + 1];
    }
    if (k < count) {
        for (std::size_t i = 0; i < stride; ++i) sums[i] += in[i] * weight[k];
    }
}
#else
void sumRows(const std::int16_t* weight, int count, const std::uint8_t* in, std::size_t stride, std::int32_t* sums) {
    for (int k = 0; k < count; ++k, in += stride) {
        const std::int32_t w = weight[k];
        for (std::size_t i = 0; i < stride; ++i) sums[i] += in[i] * w;
    }
}
#endif

#if defined(__SSE2__)
// Four pixels of sums to bytes at a time. Saturating to 16 bits, clamping to
// 0..255 and taking the smaller of a colour and its alpha all keep order, so
// the minimum can be taken on the 16-bit values: the same bytes as the plain loop.
std::size_t packSums(const std::int32_t* sums, std::size_t stride, std::uint8_t* out) {
    const std::size_t vectorEnd = stride & ~std::size_t(15);
    for (std::size_t i = 0; i < vectorEnd; i += 16) {
        const auto* sum = reinterpret_cast<const __m128i*>(sums + i);
        const __m128i low = _mm_packs_epi32(_mm_srai_epi32(_mm_loadu_si128(sum), kWeightFractionBits),
                                            _mm_srai_epi32(_mm_loadu_si128(sum + 1), kWeightFractionBits));
        const __m128i high = _mm_packs_epi32(_mm_srai_epi32(_mm_loadu_si128(sum + 2), kWeightFractionBits),
                                             _mm_srai_epi32(_mm_loadu_si128(sum + 3), kWeightFractionBits));
        // Each pixel's alpha in all four of its lanes.
        const auto alphas = [](__m128i pixels) {
            return _mm_shufflehi_epi16(_mm_shufflelo_epi16(pixels, 0xFF), 0xFF);
        };
        const __m128i bytes = _mm_packus_epi16(_mm_min_epi16(low, alphas(low)), _mm_min_epi16(high, alphas(high)));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), bytes);
    }
    return vectorEnd;
}
#else
std::size_t packSums(const std::int32_t*, std::size_t, std::uint8_t*) { return 0; }
#endif

} // namespace

void verticalPass(const std::int16_t* weight, int count, const std::uint8_t* in, std::size_t stride,
                  std::int32_t* sums, std::uint8_t* out) {
    std::fill(sums, sums + stride, kRoundingHalf);
    sumRows(weight, count, in, stride, sums);
    for (std::size_t i = packSums(sums, stride, out); i < stride; i += 4) {
        const std::uint8_t alpha = clampToByte(sums[i + 3]);
        out[i] = std::min(clampToByte(sums[i]), alpha);
        out[i + 1] = std::min(clampToByte(sums[i + 1]), alpha);
        out[i + 2] = std::min(clampToByte(sums[i + 2]), alpha);
        out[i + 3] = alpha;
    }
}

} // namespace pellora
