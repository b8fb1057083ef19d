#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/graphics/AxisAlignedPlacement.h"

namespace pellora {

// Composites output row `row` of a placed image (premultiplied RGBA, the
// placement's visible columns only) over the bitmap, source-over.
void compositeRow(const AxisAlignedPlacement& placement, std::uint32_t row, const std::uint8_t* rgba,
                  std::uint8_t* bitmap, std::size_t bytesPerRow);

} // namespace pellora
