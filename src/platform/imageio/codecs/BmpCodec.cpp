#include "platform/imageio/codecs/BmpCodec.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fmt/format.h>
#include <limits>

#include "platform/foundation/Log.h"
#include "platform/imageio/BitmapRows.h"
#include "platform/imageio/ImageLimits.h"
#include "platform/imageio/Resolution.h"
#include "platform/imageio/TypeIdentifiers.h"
#include "platform/imageio/codecs/BuiltinCodecs.h"
#include "platform/imageio/codecs/CodecSupport.h"

namespace pellora {
namespace {

constexpr std::size_t fileHeaderSize = 14;
constexpr std::uint32_t coreHeaderSize = 12;
constexpr std::uint32_t infoHeaderSize = 40;
constexpr std::uint32_t v5HeaderSize = 124;

enum Compression : std::uint32_t { BI_RGB = 0, BI_RLE8 = 1, BI_RLE4 = 2, BI_BITFIELDS = 3, BI_ALPHABITFIELDS = 6 };
constexpr std::uint32_t LCS_sRGB = 0x73524742;          // 'sRGB'
constexpr std::uint32_t PROFILE_EMBEDDED = 0x4D424544;  // 'MBED'
constexpr std::uint32_t LCS_GM_IMAGES = 4;

bool isKnownInfoHeaderSize(std::uint32_t size) {
    return size == coreHeaderSize || size == infoHeaderSize || size == 52 || size == 56 || size == 108 ||
           size == v5HeaderSize;
}

std::uint16_t u16(std::span<const std::uint8_t> data, std::size_t at) {
    return static_cast<std::uint16_t>(data[at] | data[at + 1] << 8);
}
std::uint32_t u32(std::span<const std::uint8_t> data, std::size_t at) {
    return static_cast<std::uint32_t>(data[at]) | static_cast<std::uint32_t>(data[at + 1]) << 8 |
           static_cast<std::uint32_t>(data[at + 2]) << 16 | static_cast<std::uint32_t>(data[at + 3]) << 24;
}
std::int32_t i32(std::span<const std::uint8_t> data, std::size_t at) {
    return static_cast<std::int32_t>(u32(data, at));
}

// One colour channel held in a bit field of a 16 or 32-bit pixel.
struct Channel {
    std::uint32_t mask = 0;
    int shift = 0;
    std::uint32_t maximum = 0;  // the field's largest value

    static std::optional<Channel> of(std::uint32_t mask) {
        Channel channel;
        channel.mask = mask;
        if (mask == 0) return channel;
        channel.shift = std::countr_zero(mask);
        const std::uint32_t field = mask >> channel.shift;
        if ((field & (field + 1)) != 0) return std::nullopt;  // not one run of ones
        channel.maximum = field;
        return channel;
    }
    int bits() const { return std::popcount(mask); }
    // The field scaled to 0...255, rounded.
    std::uint8_t value(std::uint32_t pixel) const {
        if (maximum == 0) return 0;
        const std::uint64_t field = (pixel & mask) >> shift;
        return static_cast<std::uint8_t>((field * 255 + maximum / 2) / maximum);
    }
};

// What the headers say about the pixels, validated against the file's size.
struct Layout {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    bool topDown = false;
    int bitsPerPixel = 0;
    std::uint32_t compression = BI_RGB;
    std::array<Channel, 4> channels{};                 // red, green, blue, alpha (16 and 32-bit)
    std::vector<std::array<std::uint8_t, 3>> palette;  // RGB
    std::size_t pixelOffset = 0;
    std::int32_t pixelsPerMetreX = 0;
    std::int32_t pixelsPerMetreY = 0;
    std::span<const std::uint8_t> iccProfile;

    bool hasAlpha() const { return channels[3].mask != 0; }
    std::uint64_t stride() const { return (std::uint64_t{width} * bitsPerPixel + 31) / 32 * 4; }
};

// Fills layout from the headers; on failure returns the reason.
std::optional<std::string> parseLayout(std::span<const std::uint8_t> data, Layout& layout) {
    if (data.size() < fileHeaderSize + 4 || data[0] != 'B' || data[1] != 'M') return "not a BMP file";
    const std::uint32_t headerSize = u32(data, fileHeaderSize);
    if (!isKnownInfoHeaderSize(headerSize)) return fmt::format("unsupported header of {} bytes", headerSize);
    if (data.size() < fileHeaderSize + headerSize) return std::string("file is truncated in its header");
    layout.pixelOffset = u32(data, 10);

    std::int64_t height = 0;
    std::size_t paletteOffset = fileHeaderSize + headerSize;
    std::size_t paletteEntrySize = 4;
    std::uint32_t colorsUsed = 0;
    if (headerSize == coreHeaderSize) {
        layout.width = u16(data, 18);
        height = u16(data, 20);
        layout.bitsPerPixel = u16(data, 24);
        paletteEntrySize = 3;
    } else {
        const std::int32_t width = i32(data, 18);
        if (width <= 0) return fmt::format("invalid width {}", width);
        layout.width = static_cast<std::uint32_t>(width);
        height = i32(data, 22);
        layout.bitsPerPixel = u16(data, 28);
        layout.compression = u32(data, 30);
        layout.pixelsPerMetreX = i32(data, 38);
        layout.pixelsPerMetreY = i32(data, 42);
        colorsUsed = u32(data, 46);
    }
    if (layout.width == 0) return std::string("invalid width 0");
    if (height == 0 || height == std::numeric_limits<std::int32_t>::min()) {
        return fmt::format("invalid height {}", height);
    }
    layout.topDown = height < 0;
    layout.height = static_cast<std::uint32_t>(height < 0 ? -height : height);

    const int bpp = layout.bitsPerPixel;
    const std::uint32_t compression = layout.compression;
    const bool bitFields = compression == BI_BITFIELDS || compression == BI_ALPHABITFIELDS;
    const bool valid =
        (compression == BI_RGB && (bpp == 1 || bpp == 4 || bpp == 8 || bpp == 16 || bpp == 24 || bpp == 32)) ||
        (compression == BI_RLE8 && bpp == 8) || (compression == BI_RLE4 && bpp == 4) ||
        (bitFields && (bpp == 16 || bpp == 32));
    if (!valid) return fmt::format("unsupported {}-bit pixels with compression {}", bpp, compression);
    if (layout.topDown && (compression == BI_RLE8 || compression == BI_RLE4)) {
        return std::string("run-length data cannot be top-down");
    }

    std::array<std::uint32_t, 4> masks{};
    if (bitFields) {
        // A BITMAPINFOHEADER is followed by the masks; later headers hold them.
        const std::size_t maskCount = compression == BI_ALPHABITFIELDS || headerSize >= 56 ? 4 : 3;
        std::size_t masksAt = fileHeaderSize + infoHeaderSize;
        if (headerSize == infoHeaderSize) paletteOffset += maskCount * 4;
        if (data.size() < masksAt + maskCount * 4) return std::string("file is truncated in its bit masks");
        for (std::size_t i = 0; i < maskCount; ++i) masks[i] = u32(data, masksAt + i * 4);
    } else if (bpp == 16) {
        masks = {0x7C00, 0x03E0, 0x001F, 0};
    } else if (bpp == 32) {
        masks = {0x00FF0000, 0x0000FF00, 0x000000FF, 0};  // the fourth byte is unused in BI_RGB
    }
    if (bpp == 16 || bpp == 32) {
        for (std::size_t i = 0; i < 4; ++i) {
            const auto channel = Channel::of(bpp == 16 ? masks[i] & 0xFFFF : masks[i]);
            if (!channel || (i < 3 && channel->mask == 0)) return std::string("invalid bit masks");
            layout.channels[i] = *channel;
        }
    }

    if (bpp <= 8) {
        const std::uint32_t maxColors = 1u << bpp;
        const std::uint32_t count = colorsUsed == 0 ? maxColors : std::min(colorsUsed, maxColors);
        if (paletteOffset + std::size_t{count} * paletteEntrySize > data.size()) {
            return std::string("file is truncated in its palette");
        }
        layout.palette.resize(count);
        for (std::uint32_t i = 0; i < count; ++i) {
            const std::uint8_t* entry = data.data() + paletteOffset + i * paletteEntrySize;
            layout.palette[i] = {entry[2], entry[1], entry[0]};
        }
    }

    if (headerSize == v5HeaderSize && u32(data, fileHeaderSize + 56) == PROFILE_EMBEDDED) {
        const std::uint64_t at = fileHeaderSize + std::uint64_t{u32(data, fileHeaderSize + 112)};
        const std::uint64_t size = u32(data, fileHeaderSize + 116);
        if (size > 0 && at + size <= data.size()) layout.iccProfile = data.subspan(at, size);
    }

    if (layout.pixelOffset >= data.size()) return std::string("file holds no pixel data");
    if (compression == BI_RGB || bitFields) {
        const std::uint64_t available = data.size() - layout.pixelOffset;
        if (layout.stride() > available / layout.height) return std::string("pixel data is truncated");
    }
    return std::nullopt;
}

void writePaletteColor(const Layout& layout, unsigned index, std::uint8_t* out) {
    // An index past the palette is drawn black rather than read out of bounds.
    static constexpr std::array<std::uint8_t, 3> black{};
    const auto& color = index < layout.palette.size() ? layout.palette[index] : black;
    std::memcpy(out, color.data(), 3);
}

// Draws run-length encoded data into image (RGB, top row first; the data
// starts at the bottom row). Pixels the data skips with deltas or early line
// ends stay black.
std::optional<std::string> expandRunLengths(std::span<const std::uint8_t> data, const Layout& layout,
                                            DecodedImage& image) {
    const bool fourBit = layout.compression == BI_RLE4;
    const std::uint64_t width = layout.width;
    const std::uint64_t height = layout.height;
    std::uint64_t x = 0, y = 0;
    std::size_t at = layout.pixelOffset;
    auto put = [&](unsigned index) {
        if (x < width && y < height) {
            writePaletteColor(layout, index, image.pixels.data() + (height - 1 - y) * image.rowBytes + x * 3);
        }
        ++x;
    };
    auto nibbleOrByte = [fourBit](unsigned byte, unsigned i) {
        return !fourBit ? byte : (i % 2 == 0 ? byte >> 4 : byte & 0x0F);
    };
    while (y < height) {
        if (data.size() - at < 2) return std::string("run-length data is truncated");
        const unsigned count = data[at];
        const unsigned value = data[at + 1];
        at += 2;
        if (count > 0) {
            for (unsigned i = 0; i < count; ++i) put(nibbleOrByte(value, i));
        } else if (value == 0) {  // end of line
            x = 0;
            ++y;
        } else if (value == 1) {  // end of bitmap
            break;
        } else if (value == 2) {  // delta
            if (data.size() - at < 2) return std::string("run-length data is truncated");
            x += data[at];
            y += data[at + 1];
            at += 2;
        } else {  // a literal run of `value` pixels, padded to a whole 16-bit word
            const std::size_t bytes = fourBit ? (value + 1) / 2 : value;
            if (data.size() - at < bytes) return std::string("run-length data is truncated");
            for (unsigned i = 0; i < value; ++i) put(nibbleOrByte(data[at + (fourBit ? i / 2 : i)], i));
            at += std::min((bytes + 1) & ~std::size_t{1}, data.size() - at);
        }
    }
    return std::nullopt;
}

// One stored row into RGB or RGBA.
void unpackRow(const std::uint8_t* row, const Layout& layout, std::uint8_t* out) {
    const int channels = layout.hasAlpha() ? 4 : 3;
    const int bpp = layout.bitsPerPixel;
    for (std::uint32_t x = 0; x < layout.width; ++x, out += channels) {
        if (bpp <= 8) {
            const std::size_t bit = std::size_t{x} * bpp;
            const unsigned index = (row[bit / 8] >> (8 - bpp - bit % 8)) & ((1u << bpp) - 1);
            writePaletteColor(layout, index, out);
        } else if (bpp == 24) {
            const std::uint8_t* pixel = row + std::size_t{x} * 3;
            out[0] = pixel[2];
            out[1] = pixel[1];
            out[2] = pixel[0];
        } else {
            const std::uint8_t* pixel = row + std::size_t{x} * (bpp / 8);
            std::uint32_t value = pixel[0] | pixel[1] << 8;
            if (bpp == 32) {
                value |= static_cast<std::uint32_t>(pixel[2]) << 16 | static_cast<std::uint32_t>(pixel[3]) << 24;
            }
            for (int c = 0; c < channels; ++c) out[c] = layout.channels[c].value(value);
        }
    }
}

std::optional<ImageHeader> headerOf(const Layout& layout) {
    ImageHeader header;
    header.width = layout.width;
    header.height = layout.height;
    header.isIndexed = layout.bitsPerPixel <= 8;
    header.hasAlpha = layout.hasAlpha();
    if (layout.bitsPerPixel <= 8) {
        header.bitsPerComponent = layout.bitsPerPixel;
    } else if (layout.bitsPerPixel == 24) {
        header.bitsPerComponent = 8;
    } else {
        header.bitsPerComponent =
            std::max({layout.channels[0].bits(), layout.channels[1].bits(), layout.channels[2].bits()});
    }
    if (layout.pixelsPerMetreX > 0 && layout.pixelsPerMetreY > 0) {
        header.hasResolution = true;
        header.dpiWidth = dpiFromPixelsPerMetre(static_cast<std::uint32_t>(layout.pixelsPerMetreX));
        header.dpiHeight = dpiFromPixelsPerMetre(static_cast<std::uint32_t>(layout.pixelsPerMetreY));
    }
    header.iccProfile.assign(layout.iccProfile.begin(), layout.iccProfile.end());
    return header;
}

// Little-endian header fields for the writer.
void put16(std::vector<std::uint8_t>& out, std::uint32_t value) {
    out.push_back(static_cast<std::uint8_t>(value));
    out.push_back(static_cast<std::uint8_t>(value >> 8));
}
void put32(std::vector<std::uint8_t>& out, std::uint32_t value) {
    put16(out, value & 0xFFFF);
    put16(out, value >> 16);
}

std::vector<std::uint8_t> fileHeaders(const RgbaBitmapView& bitmap, bool withAlpha, std::uint32_t stride,
                                      std::uint32_t pixelsPerMetre) {
    const std::uint32_t infoSize = withAlpha ? v5HeaderSize : infoHeaderSize;
    const std::uint32_t pixelOffset = fileHeaderSize + infoSize;
    const std::uint32_t imageSize = stride * bitmap.height;
    std::vector<std::uint8_t> out;
    out.reserve(pixelOffset);
    out.push_back('B');
    out.push_back('M');
    put32(out, pixelOffset + imageSize);
    put32(out, 0);  // reserved
    put32(out, pixelOffset);
    put32(out, infoSize);
    put32(out, bitmap.width);
    put32(out, bitmap.height);  // positive: bottom-up, the form every reader knows
    put16(out, 1);              // planes
    put16(out, withAlpha ? 32 : 24);
    put32(out, withAlpha ? BI_BITFIELDS : BI_RGB);
    put32(out, imageSize);
    put32(out, pixelsPerMetre);
    put32(out, pixelsPerMetre);
    put32(out, 0);  // colours used
    put32(out, 0);  // important colours
    if (withAlpha) {
        for (const std::uint32_t mask : {0x00FF0000u, 0x0000FF00u, 0x000000FFu, 0xFF000000u}) put32(out, mask);
        put32(out, LCS_sRGB);
        out.resize(out.size() + 36 + 12);  // end points and gamma: unused with sRGB
        put32(out, LCS_GM_IMAGES);
        put32(out, 0);  // profile data
        put32(out, 0);  // profile size
        put32(out, 0);  // reserved
    }
    return out;
}

} // namespace

bool BmpCodec::sniff(std::span<const std::uint8_t> head) const {
    return head.size() >= fileHeaderSize + 4 && head[0] == 'B' && head[1] == 'M' &&
           isKnownInfoHeaderSize(u32(head, fileHeaderSize));
}

std::string_view BmpCodec::typeIdentifier() const { return kImageTypeBMP; }

std::optional<ImageHeader> BmpCodec::readHeader(std::span<const std::uint8_t> data) const {
    Layout layout;
    if (const auto error = parseLayout(data, layout)) {
        Log::line(fmt::format("BMP: cannot read the header: {}", *error));
        return std::nullopt;
    }
    return headerOf(layout);
}

DecodedImagePtr BmpCodec::decode(std::span<const std::uint8_t> data, const DecodeOptions& options) const {
    Layout layout;
    if (const auto error = parseLayout(data, layout)) {
        Log::line(fmt::format("BMP: cannot decode: {}", *error));
        return nullptr;
    }
    if (!fitsDecodeLimits(name(), layout.width, layout.height, options.limits)) return nullptr;
    auto image = allocateDecodedImage(name(), layout.width, layout.height, ColorModel::RGB, SampleFormat::UInt8,
                                      layout.hasAlpha());
    if (!image) return nullptr;
    image->iccProfile.assign(layout.iccProfile.begin(), layout.iccProfile.end());

    if (layout.compression == BI_RLE8 || layout.compression == BI_RLE4) {
        if (const auto error = expandRunLengths(data, layout, *image)) {
            Log::line(fmt::format("BMP: cannot decode: {}", *error));
            return nullptr;
        }
    } else {
        const std::size_t stride = layout.stride();
        for (std::uint32_t row = 0; row < layout.height; ++row) {
            const std::uint32_t y = layout.topDown ? row : layout.height - 1 - row;
            unpackRow(data.data() + layout.pixelOffset + row * stride, layout,
                      image->pixels.data() + std::size_t{y} * image->rowBytes);
        }
    }
    return image;
}

// BMP is lossless: the quality fraction does not apply and is ignored.
bool BmpCodec::encode(const RgbaBitmapView& bitmap, const EncodeOptions& options,
                      std::vector<std::uint8_t>& encoded) const {
    if (!isEncodableBitmap("BMP", bitmap)) return false;
    const bool withAlpha = options.hasAlpha;
    const std::uint64_t stride =
        withAlpha ? std::uint64_t{bitmap.width} * 4 : (std::uint64_t{bitmap.width} * 3 + 3) & ~3ull;
    const std::uint64_t fileSize =
        fileHeaderSize + (withAlpha ? v5HeaderSize : infoHeaderSize) + stride * bitmap.height;
    constexpr auto maxSide = static_cast<std::uint32_t>(std::numeric_limits<std::int32_t>::max());
    if (bitmap.width > maxSide || bitmap.height > maxSide || fileSize > std::numeric_limits<std::uint32_t>::max()) {
        Log::line(fmt::format("BMP: cannot encode {} x {}: too large for a BMP file", bitmap.width, bitmap.height));
        return false;
    }
    const auto headers =
        fileHeaders(bitmap, withAlpha, static_cast<std::uint32_t>(stride), pixelsPerMetreFromDpi(options.dpi));
    encoded.assign(headers.begin(), headers.end());
    encoded.resize(fileSize, 0);
    for (std::uint32_t stored = 0; stored < bitmap.height; ++stored) {
        const std::uint8_t* source = bitmap.pixels + std::size_t{bitmap.height - 1 - stored} * bitmap.rowBytes;
        std::uint8_t* row = encoded.data() + headers.size() + stored * stride;
        if (withAlpha) {
            unpremultiplyRow(source, bitmap.width, row);
            for (std::uint32_t x = 0; x < bitmap.width; ++x) std::swap(row[x * 4], row[x * 4 + 2]);  // BGRA
        } else {
            compositeRowOverWhite(source, bitmap.width, row);
            for (std::uint32_t x = 0; x < bitmap.width; ++x) std::swap(row[x * 3], row[x * 3 + 2]);  // BGR
        }
    }
    return true;
}

std::unique_ptr<Codec> makeBmpCodec() { return std::make_unique<BmpCodec>(); }

} // namespace pellora
