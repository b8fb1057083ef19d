#include "platform/graphics/Resampler.h"

#include <algorithm>
#include <vector>

#include "platform/graphics/LanczosTaps.h"
#include "platform/graphics/ResamplingPasses.h"

namespace pellora {

void Resampler::resample(const Request& request, const RowSource& source, const RowSink& sink) {
    if (request.columnBegin >= request.columnEnd || request.rowBegin >= request.rowEnd) {
        return;
    }
    const LanczosTaps columns =
        LanczosTaps::compute(request.inWidth, request.outWidth, request.columnBegin, request.columnEnd);
    const LanczosTaps rows =
        LanczosTaps::compute(request.inHeight, request.outHeight, request.rowBegin, request.rowEnd);

    // The source rows the output window reads.
    std::int32_t firstRow = rows.first.front();
    std::int32_t endRow = firstRow;
    for (std::size_t index = 0; index < rows.size(); ++index) {
        firstRow = std::min(firstRow, rows.first[index]);
        endRow = std::max(endRow, rows.first[index] + rows.count[index]);
    }

    const std::size_t windowWidth = columns.size();
    const std::size_t stride = windowWidth * 4;
    std::vector<std::uint8_t> sourceRow(std::size_t(request.inWidth) * 4);
    std::vector<std::uint8_t> intermediate(std::size_t(endRow - firstRow) * stride);
    for (std::int32_t row = firstRow; row < endRow; ++row) {
        source(std::uint32_t(row), sourceRow.data());
        horizontalPass(columns, sourceRow.data(), intermediate.data() + std::size_t(row - firstRow) * stride);
    }

    std::vector<std::uint8_t> outputRow(stride);
    std::vector<std::int32_t> sums(stride);
    for (std::size_t index = 0; index < rows.size(); ++index) {
        const std::uint8_t* in = intermediate.data() + std::size_t(rows.first[index] - firstRow) * stride;
        verticalPass(rows.weightsOf(index), rows.count[index], in, stride, sums.data(), outputRow.data());
        sink(request.rowBegin + std::uint32_t(index), outputRow.data());
    }
}

} // namespace pellora
