#include "platform/imageio/codecs/WebpCodec.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <webp/decode.h>
#include <webp/demux.h>

#include "platform/foundation/Log.h"
#include "platform/imageio/codecs/BuiltinCodecs.h"
#include "platform/imageio/codecs/CodecSupport.h"

namespace pellora {
namespace {

constexpr std::string_view kName = "WebP";

void fail(const std::string& reason) {
    Log::line(std::string(kName) + ": " + reason);
}

struct DemuxDeleter {
    void operator()(WebPDemuxer* demux) const { WebPDemuxDelete(demux); }
};

// The container parsed (chunk headers only) and the first frame located.
struct Container {
    std::unique_ptr<WebPDemuxer, DemuxDeleter> demux;
    std::uint32_t canvasWidth = 0;
    std::uint32_t canvasHeight = 0;
    bool animated = false;
    bool hasAlpha = false;
    WebPIterator frame{};
    bool hasFrame = false;

    Container() = default;
    Container(const Container&) = delete;
    Container& operator=(const Container&) = delete;
    ~Container() {
        if (hasFrame) WebPDemuxReleaseIterator(&frame);
    }
};

bool openContainer(std::span<const std::uint8_t> data, Container& container) {
    const WebPData bytes{data.data(), data.size()};
    container.demux.reset(WebPDemux(&bytes));
    if (!container.demux) {
        fail("not a complete WebP file (truncated or corrupt)");
        return false;
    }
    WebPDemuxer* demux = container.demux.get();
    container.canvasWidth = WebPDemuxGetI(demux, WEBP_FF_CANVAS_WIDTH);
    container.canvasHeight = WebPDemuxGetI(demux, WEBP_FF_CANVAS_HEIGHT);
    container.animated = (WebPDemuxGetI(demux, WEBP_FF_FORMAT_FLAGS) & ANIMATION_FLAG) != 0;
    if (!WebPDemuxGetFrame(demux, 1, &container.frame)) {
        fail("the file holds no image");
        return false;
    }
    container.hasFrame = true;
    const WebPIterator& frame = container.frame;
    const bool coversCanvas = frame.x_offset == 0 && frame.y_offset == 0 &&
                              std::uint32_t(frame.width) == container.canvasWidth &&
                              std::uint32_t(frame.height) == container.canvasHeight;
    container.hasAlpha = frame.has_alpha != 0 || !coversCanvas;
    return true;
}

std::vector<std::uint8_t> iccProfile(WebPDemuxer* demux) {
    WebPChunkIterator chunk;
    if (!WebPDemuxGetChunk(demux, "ICCP", 1, &chunk)) return {};
    std::vector<std::uint8_t> profile(chunk.chunk.bytes, chunk.chunk.bytes + chunk.chunk.size);
    WebPDemuxReleaseChunkIterator(&chunk);
    return profile;
}

// The smallest size at least minWidth × minHeight with the image's proportions.
std::pair<std::uint32_t, std::uint32_t> scaledSize(std::uint32_t width, std::uint32_t height,
                                                   const DecodeOptions& options) {
    if (options.minWidth == 0 && options.minHeight == 0) return {width, height};
    const double scale = std::max(double(options.minWidth) / width, double(options.minHeight) / height);
    if (scale >= 1.0) return {width, height};
    const auto w = static_cast<std::uint32_t>(std::ceil(width * scale));
    const auto h = static_cast<std::uint32_t>(std::ceil(height * scale));
    return {std::clamp(w, std::max<std::uint32_t>(options.minWidth, 1), width),
            std::clamp(h, std::max<std::uint32_t>(options.minHeight, 1), height)};
}

DecodedImagePtr decodeImage(std::span<const std::uint8_t> data, const DecodeOptions& options) {
    Container container;
    if (!openContainer(data, container)) return nullptr;
    if (!fitsDecodeLimits(kName, container.canvasWidth, container.canvasHeight, options.limits)) return nullptr;
    const WebPIterator& frame = container.frame;
    // Only a still image is scaled; an animation frame keeps its place on the canvas.
    const auto [width, height] = container.animated
                                     ? std::pair{container.canvasWidth, container.canvasHeight}
                                     : scaledSize(container.canvasWidth, container.canvasHeight, options);
    auto image = allocateDecodedImage(kName, width, height, ColorModel::RGB, SampleFormat::UInt8, container.hasAlpha);
    if (!image) return nullptr;

    WebPDecoderConfig config;
    if (!WebPInitDecoderConfig(&config)) {
        fail("libwebp version mismatch");
        return nullptr;
    }
    const int channels = container.hasAlpha ? 4 : 3;
    if (!container.animated && (width != container.canvasWidth || height != container.canvasHeight)) {
        config.options.use_scaling = 1;
        config.options.scaled_width = static_cast<int>(width);
        config.options.scaled_height = static_cast<int>(height);
    }
    // Decoded straight into the image, at the frame's place on the canvas.
    const std::size_t offset = std::size_t(frame.y_offset) * image->rowBytes + std::size_t(frame.x_offset) * channels;
    config.output.colorspace = container.hasAlpha ? MODE_RGBA : MODE_RGB;
    config.output.is_external_memory = 1;
    config.output.u.RGBA.rgba = image->pixels.data() + offset;
    config.output.u.RGBA.stride = static_cast<int>(image->rowBytes);
    config.output.u.RGBA.size = image->pixels.size() - offset;
    const VP8StatusCode status = WebPDecode(frame.fragment.bytes, frame.fragment.size, &config);
    WebPFreeDecBuffer(&config.output);
    if (status != VP8_STATUS_OK) {
        fail("cannot decode (libwebp status " + std::to_string(int(status)) + ")");
        return nullptr;
    }
    image->iccProfile = iccProfile(container.demux.get());
    return image;
}

} // namespace

bool WebpCodec::sniff(std::span<const std::uint8_t> head) const {
    return head.size() >= 12 && std::memcmp(head.data(), "RIFF", 4) == 0 && std::memcmp(head.data() + 8, "WEBP", 4) == 0;
}

std::optional<ImageHeader> WebpCodec::readHeader(std::span<const std::uint8_t> data) const {
    Container container;
    if (!openContainer(data, container)) return std::nullopt;
    ImageHeader header;
    header.width = container.canvasWidth;
    header.height = container.canvasHeight;
    header.bitsPerComponent = 8;
    header.colorModel = ColorModel::RGB;
    header.hasAlpha = container.hasAlpha;
    header.iccProfile = iccProfile(container.demux.get());
    return header;
}

DecodedImagePtr WebpCodec::decode(std::span<const std::uint8_t> data, const DecodeOptions& options) const {
    return decodeImage(data, options);
}

std::unique_ptr<Codec> makeWebpCodec() {
    return std::make_unique<WebpCodec>();
}

} // namespace pellora
