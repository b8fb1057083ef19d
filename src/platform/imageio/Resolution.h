#pragma once

#include <cstdint>

namespace pellora {

// Formats that store resolution as whole pixels per metre (PNG pHYs, BMP)
// cannot hold a whole dpi exactly: 72 dpi is stored as 2835 and reads back as
// 72.009. Reading snaps back to the whole dpi whose stored value this is, so a
// written resolution reads back as written; other values convert exactly.
double dpiFromPixelsPerMetre(std::uint32_t pixelsPerMetre);
// The nearest whole pixels per metre; non-positive or absurd dpi give 0 (unknown).
std::uint32_t pixelsPerMetreFromDpi(double dpi);

} // namespace pellora
