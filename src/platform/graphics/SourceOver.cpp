#include "platform/graphics/SourceOver.h"

#include <cstring>

#include "platform/imageio/BitmapRows.h"

namespace pellora {

void compositeRow(const AxisAlignedPlacement& placement, std::uint32_t row, const std::uint8_t* rgba,
                  std::uint8_t* bitmap, std::size_t bytesPerRow) {
    const auto pitch = std::ptrdiff_t(bytesPerRow);
    const std::ptrdiff_t columnStep = placement.columnStepX * 4 + placement.columnStepY * pitch;
    const std::int64_t column = placement.columnBegin;
    const std::int64_t x = placement.startX + column * placement.columnStepX + std::int64_t(row) * placement.rowStepX;
    const std::int64_t y = placement.startY + column * placement.columnStepY + std::int64_t(row) * placement.rowStepY;
    std::uint8_t* out = bitmap + y * pitch + x * 4;

    // An opaque row drawn left to right, as most are, covers what is under it.
    const std::uint32_t count = placement.columnEnd - placement.columnBegin;
    if (columnStep == 4 && isOpaqueRows(rgba, count, 1, 0)) {
        std::memcpy(out, rgba, std::size_t{count} * 4);
        return;
    }
    for (std::uint32_t i = placement.columnBegin; i < placement.columnEnd; ++i, rgba += 4, out += columnStep) {
        const std::uint32_t alpha = rgba[3];
        if (alpha == 255) {
            std::memcpy(out, rgba, 4);
        } else if (alpha != 0) {
            // out = source + out * (1 - alpha), rounded; never above 255 as source <= alpha.
            const std::uint32_t keep = 255 - alpha;
            for (int channel = 0; channel < 4; ++channel) {
                out[channel] = std::uint8_t(rgba[channel] + (out[channel] * keep + 127) / 255);
            }
        }
    }
}

} // namespace pellora
