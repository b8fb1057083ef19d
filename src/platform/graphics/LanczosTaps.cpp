#include "platform/graphics/LanczosTaps.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace pellora {

namespace {

constexpr double kSupport = 3.0;

double sinc(double x) {
    if (x == 0.0) {
        return 1.0;
    }
    const double px = std::numbers::pi * x;
    return std::sin(px) / px;
}

} // namespace

double lanczos3(double x) {
    if (x <= -kSupport || x >= kSupport) {
        return 0.0;
    }
    return sinc(x) * sinc(x / kSupport);
}

int LanczosTaps::maxTaps(std::uint32_t inSize, std::uint32_t outSize) {
    const double filterScale = std::max(double(inSize) / double(outSize), 1.0);
    return int(std::ceil(kSupport * filterScale)) * 2 + 1;
}

LanczosTaps LanczosTaps::compute(std::uint32_t inSize, std::uint32_t outSize, std::uint32_t outBegin,
                                 std::uint32_t outEnd) {
    const double scale = double(inSize) / double(outSize);
    const double filterScale = std::max(scale, 1.0);
    const double support = kSupport * filterScale;
    const int maxTaps = LanczosTaps::maxTaps(inSize, outSize);
    // Slots come in whole groups of kWeightGroup, zero beyond each count, so
    // that vector code may always load a whole group of weights.
    const int slots = (maxTaps + kWeightGroup - 1) / kWeightGroup * kWeightGroup;
    const double one = double(1 << kWeightFractionBits);

    LanczosTaps taps;
    taps.outBegin = outBegin;
    taps.stride = slots;
    const std::size_t n = outEnd - outBegin;
    taps.first.resize(n);
    taps.count.resize(n);
    taps.weights.assign(n * std::size_t(slots), 0);

    std::vector<double> raw(std::size_t(maxTaps), 0.0);
    for (std::size_t index = 0; index < n; ++index) {
        // Sample i covers [i, i + 1); its centre maps to (i + 0.5) * scale in the source.
        const double centre = (double(outBegin + index) + 0.5) * scale;
        const auto lo = std::int64_t(std::max(0.0, std::floor(centre - support)));
        const auto hi = std::int64_t(std::min(double(inSize), std::ceil(centre + support)));

        double sum = 0.0;
        int used = 0;
        for (std::int64_t x = lo; x < hi && used < maxTaps; ++x, ++used) {
            raw[std::size_t(used)] = lanczos3((double(x) + 0.5 - centre) / filterScale);
            sum += raw[std::size_t(used)];
        }

        std::int16_t* w = taps.weights.data() + index * std::size_t(slots);
        std::int64_t fixedSum = 0;
        int largest = 0;
        for (int k = 0; k < used; ++k) {
            w[k] = std::int16_t(std::lround(raw[std::size_t(k)] / sum * one));
            fixedSum += w[k];
            if (w[k] > w[largest]) {
                largest = k;
            }
        }
        // Rounding each weight may leave the sum a few units off: give the
        // difference to the largest weight so constant areas stay exact.
        w[largest] = std::int16_t(w[largest] + (std::int64_t(1 << kWeightFractionBits) - fixedSum));

        // Drop zero weights at both ends (a 1:1 axis becomes a single tap).
        int begin = 0;
        int end = used;
        while (end > begin + 1 && w[end - 1] == 0) {
            --end;
        }
        while (begin < end - 1 && w[begin] == 0) {
            ++begin;
        }
        std::copy(w + begin, w + end, w);
        std::fill(w + (end - begin), w + maxTaps, 0);
        taps.first[index] = std::int32_t(lo + begin);
        taps.count[index] = end - begin;
    }
    return taps;
}

} // namespace pellora

