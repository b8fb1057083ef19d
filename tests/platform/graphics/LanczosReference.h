#pragma once

#include <cstdint>
#include <vector>

#include "platform/graphics/Bitmap.h"
#include "platform/imageio/Image.h"

namespace pellora::test {

// A straightforward double-precision Lanczos-3 resize of the colour of an
// 8-bit RGB or RGBA image (alpha ignored), written from the definition: each
// output sample centred at (i + 0.5) * in / out in source coordinates, the
// kernel stretched by the shrink factor, weights over the source samples
// inside the image normalised to 1. Returns outW * outH * 3 unrounded samples,
// rows top first.
std::vector<double> referenceResize(const DecodedImage& image, std::size_t outW, std::size_t outH);

// Peak signal-to-noise ratio in dB of the colour of 8-bit RGB or RGBA pixels
// against a reference of the same size from referenceResize.
double psnr(const DecodedImage& drawn, const std::vector<double>& reference);
double psnr(const Bitmap& drawn, const std::vector<double>& reference);

// Photograph-like content: smooth gradients, fine noisy texture and hard
// edges. The same pixels on every run.
DecodedImage photographLike(std::uint32_t width, std::uint32_t height);

// Concentric rings whose frequency rises to Nyquist at the corners.
DecodedImage zonePlate(std::uint32_t side);

} // namespace pellora::test
