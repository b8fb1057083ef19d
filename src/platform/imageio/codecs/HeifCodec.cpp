#include "platform/imageio/codecs/HeifCodec.h"

#include <cstring>
#include <libheif/heif.h>
#include <new>

#include "platform/foundation/Log.h"
#include "platform/imageio/codecs/BuiltinCodecs.h"
#include "platform/imageio/codecs/CodecSupport.h"
#include "platform/imageio/codecs/HeifBoxes.h"

namespace pellora {
namespace {

constexpr std::string_view kName = "HEIF";
// ftyp brands of HEIF still images and sequences coded with HEVC, and the
// generic image brands.
constexpr const char* kBrands[] = {"heic", "heix", "heim", "heis", "hevc", "hevx", "hevm", "hevs", "mif1", "msf1"};

void fail(const std::string& reason) {
    Log::line(std::string(kName) + ": " + reason);
}

struct ContextDeleter {
    void operator()(heif_context* context) const { heif_context_free(context); }
};
struct HandleDeleter {
    void operator()(heif_image_handle* handle) const { heif_image_handle_release(handle); }
};
struct ImageDeleter {
    void operator()(heif_image* image) const { heif_image_release(image); }
};

// The file's boxes parsed (no pixels decoded) and its primary image found.
struct Primary {
    std::unique_ptr<heif_context, ContextDeleter> context;
    std::unique_ptr<heif_image_handle, HandleDeleter> handle;
    std::uint32_t width = 0;   // upright, after rotation and crop
    std::uint32_t height = 0;
    bool hasAlpha = false;
    int bits = 8;
};

bool check(const heif_error& error) {
    if (error.code == heif_error_Ok) return true;
    fail(std::string("libheif: ") + (error.message != nullptr ? error.message : "error"));
    return false;
}

std::optional<Primary> openPrimary(std::span<const std::uint8_t> data, const DecodeLimits& limits) {
    Primary primary;
    primary.context.reset(heif_context_alloc());
    if (!primary.context) {
        fail("cannot start libheif");
        return std::nullopt;
    }
    // libheif's own check, while it parses, against sides larger than ours.
    heif_context_set_maximum_image_size_limit(primary.context.get(), static_cast<int>(limits.maxSide));
    if (!check(heif_context_read_from_memory_without_copy(primary.context.get(), data.data(), data.size(), nullptr))) {
        return std::nullopt;
    }
    heif_image_handle* handle = nullptr;
    if (!check(heif_context_get_primary_image_handle(primary.context.get(), &handle))) return std::nullopt;
    primary.handle.reset(handle);
    const int width = heif_image_handle_get_width(handle);
    const int height = heif_image_handle_get_height(handle);
    if (width <= 0 || height <= 0) {
        fail("the primary image has no size");
        return std::nullopt;
    }
    primary.width = static_cast<std::uint32_t>(width);
    primary.height = static_cast<std::uint32_t>(height);
    primary.hasAlpha = heif_image_handle_has_alpha_channel(handle) != 0;
    const int bits = heif_image_handle_get_luma_bits_per_pixel(handle);
    primary.bits = bits > 0 ? bits : 8;
    return primary;
}

std::vector<std::uint8_t> iccProfile(const heif_image_handle* handle) {
    const heif_color_profile_type type = heif_image_handle_get_color_profile_type(handle);
    if (type != heif_color_profile_type_prof && type != heif_color_profile_type_rICC) return {};
    std::vector<std::uint8_t> profile(heif_image_handle_get_raw_color_profile_size(handle));
    if (profile.empty() || heif_image_handle_get_raw_color_profile(handle, profile.data()).code != heif_error_Ok) {
        return {};
    }
    return profile;
}

DecodedImagePtr decodeImage(std::span<const std::uint8_t> data, const DecodeOptions& options) {
    auto primary = openPrimary(data, options.limits);
    if (!primary) return nullptr;
    if (!fitsDecodeLimits(kName, primary->width, primary->height, options.limits)) return nullptr;
    const bool deep = primary->bits > 8;
    const heif_chroma chroma = deep ? (primary->hasAlpha ? heif_chroma_interleaved_RRGGBBAA_LE : heif_chroma_interleaved_RRGGBB_LE)
                                    : (primary->hasAlpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB);
    heif_image* decoded = nullptr;
    // Default options: rotation, mirror and crop are applied.
    if (!check(heif_decode_image(primary->handle.get(), &decoded, heif_colorspace_RGB, chroma, nullptr))) return nullptr;
    std::unique_ptr<heif_image, ImageDeleter> pixels(decoded);
    const int width = heif_image_get_width(decoded, heif_channel_interleaved);
    const int height = heif_image_get_height(decoded, heif_channel_interleaved);
    int stride = 0;
    const std::uint8_t* plane = heif_image_get_plane_readonly(decoded, heif_channel_interleaved, &stride);
    if (plane == nullptr || width <= 0 || height <= 0 || std::uint32_t(width) > primary->width ||
        std::uint32_t(height) > primary->height) {
        fail("libheif gave no usable pixels");
        return nullptr;
    }
    auto image = allocateDecodedImage(kName, static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height),
                                      ColorModel::RGB, deep ? SampleFormat::UInt16 : SampleFormat::UInt8,
                                      primary->hasAlpha);
    if (!image) return nullptr;
    if (stride <= 0 || std::size_t(stride) < image->rowBytes) {
        fail("libheif gave rows shorter than the image");
        return nullptr;
    }
    const int range = heif_image_get_bits_per_pixel_range(decoded, heif_channel_interleaved);
    const std::uint32_t max = deep && range > 0 && range <= 16 ? (1u << range) - 1 : 65535;
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* in = plane + std::size_t(y) * std::size_t(stride);
        std::uint8_t* out = image->pixels.data() + std::size_t(y) * image->rowBytes;
        if (!deep) {
            std::memcpy(out, in, image->rowBytes);
            continue;
        }
        // Little-endian samples of `range` bits, widened to the full 16 bits.
        for (std::size_t i = 0; i < image->rowBytes / 2; ++i) {
            const std::uint32_t value = std::min<std::uint32_t>(max, std::uint32_t(in[2 * i]) | std::uint32_t(in[2 * i + 1]) << 8);
            const auto sample = static_cast<std::uint16_t>((value * 65535u + max / 2) / max);
            std::memcpy(out + 2 * i, &sample, 2);
        }
    }
    image->iccProfile = iccProfile(primary->handle.get());
    return image;
}

} // namespace

bool HeifCodec::sniff(std::span<const std::uint8_t> head) const {
    if (head.size() < 12 || std::memcmp(head.data() + 4, "ftyp", 4) != 0) return false;
    for (const char* brand : kBrands) {
        if (std::memcmp(head.data() + 8, brand, 4) == 0) return true;
    }
    return false;
}

bool HeifCodec::readHeaderRanges(HeaderRangeReader& reader) const {
    try {
        return readHeifHeaderRanges(reader);
    } catch (const std::bad_alloc&) {
        fail("not enough memory to read the header");
        return false;
    }
}

std::optional<ImageHeader> HeifCodec::readHeader(std::span<const std::uint8_t> data) const {
    try {
        const auto primary = openPrimary(data, DecodeLimits{});
        if (!primary) return std::nullopt;
        ImageHeader header;
        header.width = primary->width;
        header.height = primary->height;
        header.bitsPerComponent = primary->bits;
        header.colorModel = ColorModel::RGB;
        header.hasAlpha = primary->hasAlpha;
        header.iccProfile = iccProfile(primary->handle.get());
        return header;
    } catch (const std::bad_alloc&) {
        fail("not enough memory to read the header");
        return std::nullopt;
    }
}

DecodedImagePtr HeifCodec::decode(std::span<const std::uint8_t> data, const DecodeOptions& options) const {
    try {
        return decodeImage(data, options);
    } catch (const std::bad_alloc&) {
        fail("not enough memory to decode");
        return nullptr;
    }
}

std::unique_ptr<Codec> makeHeifCodec() {
    return std::make_unique<HeifCodec>();
}

} // namespace pellora
