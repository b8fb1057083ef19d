#include "platform/graphics/Resampler.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/graphics/LanczosTaps.h"
#include "platform/graphics/ResamplingPasses.h"

namespace pellora {
namespace {

// Horizontally resampled rows are kept in a window of twice the most any
// output row reads, so that sliding it down copies each row about once.
std::size_t windowRowsFor(std::uint32_t inHeight, std::uint32_t outHeight) {
    return 2 * std::size_t(LanczosTaps::maxTaps(inHeight, outHeight));
}

} // namespace

std::uint64_t Resampler::workingBytes(std::uint32_t inWidth, std::uint32_t inHeight, std::uint32_t outWidth,
                                      std::uint32_t outHeight) {
    if (inWidth == 0 || inHeight == 0 || outWidth == 0 || outHeight == 0) return 0;
    const std::uint64_t stride = std::uint64_t{outWidth} * 4;
    const auto tapBytes = [](std::uint32_t in, std::uint32_t out) {
        const std::uint64_t slots = (std::uint64_t(LanczosTaps::maxTaps(in, out)) + kWeightGroup - 1) / kWeightGroup *
                                    kWeightGroup;
        return std::uint64_t{out} * (2 * sizeof(std::int32_t) + slots * sizeof(std::int16_t));
    };
    return std::uint64_t{inWidth} * 4                    // one source row
           + windowRowsFor(inHeight, outHeight) * stride  // the window of resampled rows
           + stride + stride * sizeof(std::int32_t)       // an output row and its sums
           + tapBytes(inWidth, outWidth) + tapBytes(inHeight, outHeight);
}

void Resampler::resample(const Request& request, const RowSource& source, const RowSink& sink) {
    if (request.columnBegin >= request.columnEnd || request.rowBegin >= request.rowEnd) {
        return;
    }
    const LanczosTaps columns =
        LanczosTaps::compute(request.inWidth, request.outWidth, request.columnBegin, request.columnEnd);
    const LanczosTaps rows =
        LanczosTaps::compute(request.inHeight, request.outHeight, request.rowBegin, request.rowEnd);

    const std::size_t stride = columns.size() * 4;
    const std::size_t windowRows = windowRowsFor(request.inHeight, request.outHeight);
    std::vector<std::uint8_t> sourceRow(std::size_t(request.inWidth) * 4);
    // Source rows [windowFirst, windowEnd), resampled across, from the window's start.
    std::vector<std::uint8_t> window(windowRows * stride);
    std::int32_t windowFirst = rows.first.front();
    std::int32_t windowEnd = windowFirst;

    std::vector<std::uint8_t> outputRow(stride);
    std::vector<std::int32_t> sums(stride);
    // The spans of successive output rows start ever lower in the source, so
    // the window only slides down.
    for (std::size_t index = 0; index < rows.size(); ++index) {
        const std::int32_t first = rows.first[index];
        const std::int32_t end = first + rows.count[index];
        if (std::size_t(end - windowFirst) > windowRows) {
            const std::int32_t kept = std::max(0, windowEnd - first);
            if (kept > 0) {
                std::memmove(window.data(), window.data() + std::size_t(first - windowFirst) * stride,
                             std::size_t(kept) * stride);
            }
            windowFirst = first;
            windowEnd = first + kept;
        }
        for (; windowEnd < end; ++windowEnd) {
            source(std::uint32_t(windowEnd), sourceRow.data());
            horizontalPass(columns, sourceRow.data(), window.data() + std::size_t(windowEnd - windowFirst) * stride);
        }
        const std::uint8_t* in = window.data() + std::size_t(first - windowFirst) * stride;
        verticalPass(rows.weightsOf(index), rows.count[index], in, stride, sums.data(), outputRow.data());
        sink(request.rowBegin + std::uint32_t(index), outputRow.data());
    }
}

} // namespace pellora
