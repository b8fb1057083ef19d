#include "platform/imageio/codecs/GifCodec.h"

#include <algorithm>
#include <cstring>
#include <gif_lib.h>

#include "platform/foundation/Log.h"
#include "platform/imageio/codecs/BuiltinCodecs.h"
#include "platform/imageio/codecs/CodecSupport.h"

namespace pellora {
namespace {

constexpr std::string_view kName = "GIF";

void fail(const std::string& reason) {
    Log::line(std::string(kName) + ": " + reason);
}

std::string giflibError(int code) {
    const char* text = GifErrorString(code);
    return text != nullptr ? text : "error " + std::to_string(code);
}

int readInput(GifFileType* gif, GifByteType* buffer, int count) {
    return count < 0 ? 0 : static_cast<int>(static_cast<MemoryInput*>(gif->UserData)->read(buffer, std::size_t(count)));
}

struct GifCloser {
    void operator()(GifFileType* gif) const {
        int ignored = 0;
        DGifCloseFile(gif, &ignored);
    }
};
using GifPtr = std::unique_ptr<GifFileType, GifCloser>;

// The logical screen and the first frame's descriptor, read without decoding pixels.
struct FirstFrame {
    GifPtr gif;
    std::uint32_t canvasWidth = 0;
    std::uint32_t canvasHeight = 0;
    GifImageDesc frame{};
    int transparentIndex = -1;
    const ColorMapObject* colours = nullptr;

    bool hasAlpha() const {
        return transparentIndex >= 0 || frame.Left > 0 || frame.Top > 0 ||
               std::uint32_t(frame.Width) < canvasWidth || std::uint32_t(frame.Height) < canvasHeight;
    }
};

// Opens the GIF and reads up to the first image descriptor; nullopt after one log line.
std::optional<FirstFrame> openFirstFrame(MemoryInput& input) {
    int error = 0;
    FirstFrame first;
    first.gif.reset(DGifOpen(&input, readInput, &error));
    if (!first.gif) {
        fail(giflibError(error));
        return std::nullopt;
    }
    GifFileType* gif = first.gif.get();
    for (;;) {
        GifRecordType type = UNDEFINED_RECORD_TYPE;
        if (DGifGetRecordType(gif, &type) == GIF_ERROR) {
            fail(giflibError(gif->Error));
            return std::nullopt;
        }
        if (type == IMAGE_DESC_RECORD_TYPE) break;
        if (type == TERMINATE_RECORD_TYPE) {
            fail("the file holds no image");
            return std::nullopt;
        }
        if (type == EXTENSION_RECORD_TYPE) {
            int code = 0;
            GifByteType* block = nullptr;
            if (DGifGetExtension(gif, &code, &block) == GIF_ERROR) {
                fail(giflibError(gif->Error));
                return std::nullopt;
            }
            // Graphic control: packed flags, delay (2 bytes), transparent index.
            if (code == GRAPHICS_EXT_FUNC_CODE && block != nullptr && block[0] >= 4) {
                first.transparentIndex = (block[1] & 0x01) != 0 ? block[4] : -1;
            }
            while (block != nullptr) {
                if (DGifGetExtensionNext(gif, &block) == GIF_ERROR) {
                    fail(giflibError(gif->Error));
                    return std::nullopt;
                }
            }
        }
    }
    if (DGifGetImageDesc(gif) == GIF_ERROR) {
        fail(giflibError(gif->Error));
        return std::nullopt;
    }
    first.frame = gif->Image;
    // Frames reaching past a too-small (or zero) logical screen enlarge it.
    first.canvasWidth = std::max<std::uint32_t>(gif->SWidth, std::uint32_t(first.frame.Left) + first.frame.Width);
    first.canvasHeight = std::max<std::uint32_t>(gif->SHeight, std::uint32_t(first.frame.Top) + first.frame.Height);
    first.colours = first.frame.ColorMap != nullptr ? first.frame.ColorMap : gif->SColorMap;
    if (first.colours == nullptr) {
        fail("the first frame has no colour table");
        return std::nullopt;
    }
    return first;
}

} // namespace

bool GifCodec::sniff(std::span<const std::uint8_t> head) const {
    return head.size() >= 6 && (std::memcmp(head.data(), "GIF87a", 6) == 0 || std::memcmp(head.data(), "GIF89a", 6) == 0);
}

std::optional<ImageHeader> GifCodec::readHeader(std::span<const std::uint8_t> data) const {
    MemoryInput input{data};
    const auto first = openFirstFrame(input);
    if (!first) return std::nullopt;
    ImageHeader header;
    header.width = first->canvasWidth;
    header.height = first->canvasHeight;
    header.bitsPerComponent = 8;
    header.colorModel = ColorModel::RGB;
    header.hasAlpha = first->hasAlpha();
    header.isIndexed = true;
    return header;
}

DecodedImagePtr GifCodec::decode(std::span<const std::uint8_t> data, const DecodeOptions& options) const {
    MemoryInput input{data};
    const auto first = openFirstFrame(input);
    if (!first) return nullptr;
    if (!fitsDecodeLimits(kName, first->canvasWidth, first->canvasHeight, options.limits)) return nullptr;
    const bool alpha = first->hasAlpha();
    // Uncovered screen stays transparent (zero), as browsers and most tools
    // show it, rather than the rarely meaningful background colour.
    auto image = allocateDecodedImage(kName, first->canvasWidth, first->canvasHeight, ColorModel::RGB,
                                      SampleFormat::UInt8, alpha);
    if (!image) return nullptr;

    const GifImageDesc& frame = first->frame;
    const ColorMapObject& colours = *first->colours;
    const int channels = alpha ? 4 : 3;
    // Interlaced frames arrive in four passes: every 8th row from 0, every 8th
    // from 4, every 4th from 2, every 2nd from 1.
    const int starts[] = {0, 4, 2, 1};
    const int steps[] = {8, 8, 4, 2};
    const int passes = frame.Interlace ? 4 : 1;
    std::vector<GifPixelType> line(static_cast<std::size_t>(std::max(frame.Width, 1)));
    for (int pass = 0; pass < passes; ++pass) {
        const int start = frame.Interlace ? starts[pass] : 0;
        const int step = frame.Interlace ? steps[pass] : 1;
        for (int y = start; y < frame.Height; y += step) {
            if (DGifGetLine(first->gif.get(), line.data(), frame.Width) == GIF_ERROR) {
                fail(giflibError(first->gif->Error));
                return nullptr;
            }
            std::uint8_t* out = image->pixels.data() + std::size_t(frame.Top + y) * image->rowBytes +
                                std::size_t(frame.Left) * channels;
            for (int x = 0; x < frame.Width; ++x, out += channels) {
                const int index = line[x];
                if (index == first->transparentIndex) continue;  // stays transparent black
                // Indices past the colour table show black, as most decoders do.
                const GifColorType colour = index < colours.ColorCount ? colours.Colors[index] : GifColorType{0, 0, 0};
                out[0] = colour.Red;
                out[1] = colour.Green;
                out[2] = colour.Blue;
                if (alpha) out[3] = 255;
            }
        }
    }
    return image;
}

std::unique_ptr<Codec> makeGifCodec() {
    return std::make_unique<GifCodec>();
}

} // namespace pellora
