#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

// Reading and writing the parts of JPEG 2000 files that OpenJPEG leaves to us
// (the resolution box) or that we check before OpenJPEG sees them (the image
// and tile sizes of the codestream's SIZ marker).
namespace pellora {

class HeaderRangeReader;

enum class Jpeg2000Colour { Unspecified, SRGB, Gray, SYCC, CMYK, Unsupported };

struct Jpeg2000Component {
    int precision = 8;
    bool isSigned = false;
    int dx = 1;
    int dy = 1;
};

struct Jpeg2000Info {
    bool isJp2 = false;                 // a .jp2 file rather than a bare codestream
    // Reference grid of the SIZ marker; the image is [x0, x1) × [y0, y1).
    std::uint32_t x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    std::uint64_t tileCount = 0;
    std::vector<Jpeg2000Component> components;
    Jpeg2000Colour colour = Jpeg2000Colour::Unspecified;
    int paletteColumns = 0;             // channels a pclr box expands to, 0 without one
    std::vector<std::uint8_t> iccProfile;
    bool hasResolution = false;
    double dpiWidth = 72.0;
    double dpiHeight = 72.0;

    std::uint32_t width() const { return x1 - x0; }
    std::uint32_t height() const { return y1 - y0; }
};

// Walks the boxes of a JP2 file (or takes a bare codestream) up to the SIZ
// marker. nullopt with the reason in `why` when the structure is broken.
std::optional<Jpeg2000Info> readJpeg2000Info(std::span<const std::uint8_t> data, std::string& why);

// Reads through reader what readJpeg2000Info, OpenJPEG's header read and the
// metadata reader look at: of a JP2 file the header of every top-level box,
// the whole of every box but the codestream, and of the codestream its main
// header up to the first tile-part; of a bare codestream its main header.
// false when the structure is broken or a read fails.
bool readJpeg2000HeaderRanges(HeaderRangeReader& reader);

// Adds a display resolution box (pixels per metre for dpi) to the header box
// of a JP2 file. false when the file has no header box to extend.
bool addDisplayResolution(std::vector<std::uint8_t>& jp2, double dpi);

} // namespace pellora
