#pragma once

#include <cstdint>
#include <vector>

// ICC profiles made with Little CMS. Each carries the time it was made: a
// test that compares profile bytes makes its profile once.
namespace pellora::test {

std::vector<std::uint8_t> srgbIccProfile();
// Adobe RGB (1998): its primaries, D65 white and a pure 2.2 gamma.
std::vector<std::uint8_t> wideGamutProfile();

// A CMYK profile whose device-to-Lab table samples a model press: each ink
// filters the light by its own colour at full strength (not the ideal
// complement that the naive conversion assumes), and black is not quite black.
std::vector<std::uint8_t> cmykPressProfile();

// The sRGB RGBA (0..255, opaque) that the model press prints for inks in [0, 1].
std::vector<int> pressRgba(double c, double m, double y, double k);

} // namespace pellora::test
