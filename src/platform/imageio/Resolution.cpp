#include "platform/imageio/Resolution.h"

#include <cmath>

namespace pellora {
namespace {
constexpr double metresPerInch = 0.0254;
} // namespace

double dpiFromPixelsPerMetre(std::uint32_t pixelsPerMetre) {
    const double dpi = pixelsPerMetre * metresPerInch;
    const double wholeDpi = std::round(dpi);
    if (pixelsPerMetreFromDpi(wholeDpi) == pixelsPerMetre) return wholeDpi;
    return dpi;
}

std::uint32_t pixelsPerMetreFromDpi(double dpi) {
    if (!(dpi > 0.0) || dpi > 1'000'000.0) return 0;
    return static_cast<std::uint32_t>(std::lround(dpi / metresPerInch));
}

} // namespace pellora
