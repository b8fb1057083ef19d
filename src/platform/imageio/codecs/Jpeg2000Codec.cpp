#include "platform/imageio/codecs/Jpeg2000Codec.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

#include "platform/foundation/Log.h"
#include "platform/imageio/codecs/BuiltinCodecs.h"
#include "platform/imageio/codecs/CodecSupport.h"
#include "platform/imageio/codecs/Jpeg2000Boxes.h"
#include "platform/imageio/codecs/OpenJpegHandles.h"

namespace pellora {
namespace {

constexpr std::string_view kName = "JPEG 2000";
constexpr std::uint8_t kJp2Signature[] = {0, 0, 0, 0x0c, 'j', 'P', ' ', ' ', 0x0d, 0x0a, 0x87, 0x0a};
// OpenJPEG keeps every sample as a 32-bit integer; a file may use no more of
// them than an RGBA image at the pixel limit.
constexpr std::uint64_t kSamplesPerLimitPixel = 4;
constexpr int kMaxResolutionLevels = 6;

void fail(const std::string& reason) {
    Log::line(std::string(kName) + ": " + reason);
}

// Which decoded components hold colour and alpha.
struct Channels {
    ColorModel model = ColorModel::RGB;
    int colour = 3;
    bool alpha = false;
    bool ycc = false;
};

std::optional<Channels> channelsFor(int count, Jpeg2000Colour colour, bool subsampledChroma) {
    switch (colour) {
    case Jpeg2000Colour::Unsupported:
        return std::nullopt;
    case Jpeg2000Colour::CMYK:
        if (count < 4) return std::nullopt;
        return Channels{ColorModel::CMYK, 4, count > 4, false};
    case Jpeg2000Colour::Gray:
        return Channels{ColorModel::Gray, 1, count > 1, false};
    case Jpeg2000Colour::SRGB:
    case Jpeg2000Colour::SYCC:
        if (count < 3) return std::nullopt;
        return Channels{ColorModel::RGB, 3, count > 3, colour == Jpeg2000Colour::SYCC};
    case Jpeg2000Colour::Unspecified:
        break;
    }
    // Bare codestreams and ICC-tagged files: judged by the component count;
    // subsampled chroma means YCbCr, as OpenJPEG's own tools take it.
    if (count < 3) return Channels{ColorModel::Gray, 1, count > 1, false};
    return Channels{ColorModel::RGB, 3, count > 3, subsampledChroma};
}

bool hasSubsampledChroma(const Jpeg2000Info& info) {
    const auto& c = info.components;
    return c.size() >= 3 && c[0].dx == 1 && c[0].dy == 1 && (c[1].dx > 1 || c[1].dy > 1 || c[2].dx > 1 || c[2].dy > 1);
}

std::uint32_t ceilDivPow2(std::uint32_t value, int power) {
    return static_cast<std::uint32_t>((std::uint64_t(value) + (std::uint64_t(1) << power) - 1) >> power);
}

// An OpenJPEG decoder with the main header read.
struct OpenDecoder {
    MemoryInput input;
    OpjMessages messages;
    OpjCodecPtr codec;
    OpjStreamPtr stream;
    OpjImagePtr image;

    bool open(std::span<const std::uint8_t> data, bool isJp2) {
        input.data = data;
        codec.reset(opj_create_decompress(isJp2 ? OPJ_CODEC_JP2 : OPJ_CODEC_J2K));
        stream = makeOpjInputStream(input, messages);
        if (!codec || !stream) return false;
        messages.attach(codec.get());
        opj_dparameters_t parameters;
        opj_set_default_decoder_parameters(&parameters);
        if (!opj_setup_decoder(codec.get(), &parameters)) return false;
        // A truncated codestream is an error, not a partly grey image.
        opj_decoder_set_strict_mode(codec.get(), OPJ_TRUE);
        opj_image_t* header = nullptr;
        const bool read = opj_read_header(stream.get(), codec.get(), &header);
        image.reset(header);
        return read && image && image->numcomps > 0;
    }

    // Resolution levels that can be dropped in every component.
    int maxReduction() {
        opj_codestream_info_v2_t* info = opj_get_cstr_info(codec.get());
        if (info == nullptr) return 0;
        OPJ_UINT32 levels = kMaxResolutionLevels * 8;
        if (info->m_default_tile_info.tccp_info != nullptr) {
            for (OPJ_UINT32 i = 0; i < info->nbcomps; ++i) {
                levels = std::min(levels, info->m_default_tile_info.tccp_info[i].numresolutions);
            }
        }
        opj_destroy_cstr_info(&info);
        return levels > 0 ? static_cast<int>(levels) - 1 : 0;
    }
};

// The largest number of halvings that keeps the image at least minWidth × minHeight.
int reductionFor(const Jpeg2000Info& info, const DecodeOptions& options, int maxReduction) {
    if (options.minWidth == 0 && options.minHeight == 0) return 0;
    const std::uint32_t minWidth = std::max<std::uint32_t>(options.minWidth, 1);
    const std::uint32_t minHeight = std::max<std::uint32_t>(options.minHeight, 1);
    int reduction = 0;
    for (int r = 1; r <= maxReduction; ++r) {
        const std::uint32_t w = ceilDivPow2(info.x1, r) - ceilDivPow2(info.x0, r);
        const std::uint32_t h = ceilDivPow2(info.y1, r) - ceilDivPow2(info.y0, r);
        if (w < minWidth || h < minHeight) break;
        reduction = r;
    }
    return reduction;
}

// Reads decoded components into the image, converting sYCC, signed samples
// and any precision to 8 or 16 bits, and upsampling subsampled components.
class ComponentReader {
public:
    ComponentReader(const opj_image_t& image, const Channels& channels, std::vector<int> order)
        : _image(image), _channels(channels), _order(std::move(order)) {}

    void read(DecodedImage& out) {
        const bool wide = out.sampleFormat == SampleFormat::UInt16;
        const std::int64_t outMax = wide ? 65535 : 255;
        std::vector<std::vector<std::uint32_t>> columns;
        for (int index : _order) columns.push_back(columnMap(_image.comps[index], out.width));
        std::vector<std::int64_t> values(_order.size());
        for (std::uint32_t y = 0; y < out.height; ++y) {
            std::uint8_t* row = out.pixels.data() + y * out.rowBytes;
            for (std::uint32_t x = 0; x < out.width; ++x) {
                for (std::size_t i = 0; i < _order.size(); ++i) {
                    const opj_image_comp_t& comp = _image.comps[_order[i]];
                    const std::uint64_t cy = std::uint64_t(y) * comp.h / out.height;
                    std::int64_t v = comp.data[cy * comp.w + columns[i][x]];
                    if (comp.sgnd) v += std::int64_t(1) << (comp.prec - 1);
                    values[i] = v;
                }
                if (_channels.ycc) toRgb(values);
                for (std::size_t i = 0; i < _order.size(); ++i) {
                    const std::int64_t inMax = (std::int64_t(1) << _image.comps[_order[i]].prec) - 1;
                    const std::int64_t v = std::clamp<std::int64_t>(values[i], 0, inMax);
                    const std::int64_t scaled = inMax == outMax ? v : (v * outMax + inMax / 2) / inMax;
                    if (wide) {
                        const auto sample = static_cast<std::uint16_t>(scaled);
                        std::memcpy(row, &sample, 2);
                        row += 2;
                    } else {
                        *row++ = static_cast<std::uint8_t>(scaled);
                    }
                }
            }
        }
    }

private:
    static std::vector<std::uint32_t> columnMap(const opj_image_comp_t& comp, std::uint32_t width) {
        std::vector<std::uint32_t> map(width);
        for (std::uint32_t x = 0; x < width; ++x) map[x] = static_cast<std::uint32_t>(std::uint64_t(x) * comp.w / width);
        return map;
    }

    void toRgb(std::vector<std::int64_t>& v) const {
        const double offset = double(std::int64_t(1) << (_image.comps[_order[1]].prec - 1));
        const double y = double(v[0]), cb = double(v[1]) - offset, cr = double(v[2]) - offset;
        v[0] = std::llround(y + 1.402 * cr);
        v[1] = std::llround(y - 0.344136 * cb - 0.714136 * cr);
        v[2] = std::llround(y + 1.772 * cb);
    }

    const opj_image_t& _image;
    const Channels& _channels;
    std::vector<int> _order;
};

DecodedImagePtr decodeImage(std::span<const std::uint8_t> data, const DecodeOptions& options) {
    std::string why;
    const auto info = readJpeg2000Info(data, why);
    if (!info) {
        fail(why);
        return nullptr;
    }
    if (!fitsDecodeLimits(kName, info->width(), info->height(), options.limits)) return nullptr;
    if (std::uint64_t(info->width()) * info->height() * info->components.size() >
        options.limits.maxPixels * kSamplesPerLimitPixel) {
        fail("too many samples (" + std::to_string(info->components.size()) + " components)");
        return nullptr;
    }
    OpenDecoder decoder;
    if (!decoder.open(data, info->isJp2)) {
        fail(decoder.messages.errorOr("cannot read the header"));
        return nullptr;
    }
    const int reduction = reductionFor(*info, options, decoder.maxReduction());
    if (reduction > 0 && !opj_set_decoded_resolution_factor(decoder.codec.get(), static_cast<OPJ_UINT32>(reduction))) {
        fail(decoder.messages.errorOr("cannot decode at a reduced resolution"));
        return nullptr;
    }
    if (!opj_decode(decoder.codec.get(), decoder.stream.get(), decoder.image.get()) ||
        !opj_end_decompress(decoder.codec.get(), decoder.stream.get())) {
        fail(decoder.messages.errorOr("cannot decode"));
        return nullptr;
    }

    const opj_image_t& image = *decoder.image;
    const auto channels = channelsFor(static_cast<int>(image.numcomps), info->colour, hasSubsampledChroma(*info));
    if (!channels) {
        fail("unsupported colour space");
        return nullptr;
    }
    // Colour components first, then the one marked as alpha (or the next one).
    std::vector<int> order;
    for (int i = 0; i < channels->colour; ++i) order.push_back(i);
    if (channels->alpha) {
        int alpha = channels->colour;
        for (OPJ_UINT32 i = 0; i < image.numcomps; ++i) {
            if (image.comps[i].alpha != 0) alpha = static_cast<int>(i);
        }
        order.push_back(alpha);
    }
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    bool wide = false;
    for (int index : order) {
        const opj_image_comp_t& comp = image.comps[index];
        if (comp.data == nullptr || comp.w == 0 || comp.h == 0 || comp.prec == 0 || comp.prec > 16) {
            fail("unsupported or missing component data");
            return nullptr;
        }
        width = std::max(width, comp.w);
        height = std::max(height, comp.h);
        wide = wide || comp.prec > 8;
    }
    if (!fitsDecodeLimits(kName, width, height, options.limits)) return nullptr;
    auto out = allocateDecodedImage(kName, width, height, channels->model,
                                    wide ? SampleFormat::UInt16 : SampleFormat::UInt8, channels->alpha);
    if (!out) return nullptr;
    ComponentReader(image, *channels, order).read(*out);
    out->iccProfile = info->iccProfile;
    return out;
}

// Quality to compression ratio: 1.0 is lossless; below it the target ratio is
// 1 + 40 (1 − q) / (q + 0.1), about 3:1 at 0.95, 10:1 at 0.8, 34:1 at 0.5 and
// 400:1 at 0. No quality (or a bad one) means lossless.
double compressionRatio(std::optional<float> quality) {
    if (!quality || !std::isfinite(*quality) || *quality >= 1.0f) return 0.0;
    const double q = std::max(0.0, double(*quality));
    return 1.0 + 40.0 * (1.0 - q) / (q + 0.1);
}

int resolutionLevels(std::uint32_t width, std::uint32_t height) {
    const std::uint32_t side = std::min(width, height);
    int levels = 1;
    while (levels < kMaxResolutionLevels && (side >> levels) >= 1) ++levels;
    return levels;
}

// Encodes with the reversible 5/3 wavelet: all passes when ratio is 0
// (lossless), else cut by OpenJPEG's rate control at that compression ratio.
bool encodeImage(const RgbaBitmapView& bitmap, bool hasAlpha, double ratio, std::vector<std::uint8_t>& encoded) {
    const int count = hasAlpha ? 4 : 3;
    opj_image_cmptparm_t parameters[4];
    std::memset(parameters, 0, sizeof parameters);
    for (int i = 0; i < count; ++i) {
        parameters[i].dx = parameters[i].dy = 1;
        parameters[i].w = bitmap.width;
        parameters[i].h = bitmap.height;
        parameters[i].prec = 8;
    }
    OpjImagePtr image(opj_image_create(static_cast<OPJ_UINT32>(count), parameters, OPJ_CLRSPC_SRGB));
    if (!image) {
        fail("not enough memory to encode");
        return false;
    }
    image->x1 = bitmap.width;
    image->y1 = bitmap.height;
    if (hasAlpha) image->comps[3].alpha = 1;
    std::vector<std::uint8_t> row(std::size_t(bitmap.width) * count);
    for (std::uint32_t y = 0; y < bitmap.height; ++y) {
        straightRow(bitmap, y, hasAlpha, row.data());
        const std::size_t base = std::size_t(y) * bitmap.width;
        for (std::uint32_t x = 0; x < bitmap.width; ++x) {
            for (int c = 0; c < count; ++c) image->comps[c].data[base + x] = row[std::size_t(x) * count + c];
        }
    }

    opj_cparameters_t settings;
    opj_set_default_encoder_parameters(&settings);
    settings.tcp_numlayers = 1;
    settings.tcp_rates[0] = static_cast<float>(ratio);
    settings.cp_disto_alloc = 1;
    settings.irreversible = 0;
    settings.tcp_mct = 1;
    settings.numresolution = resolutionLevels(bitmap.width, bitmap.height);

    OpjMessages messages;
    MemoryOutput output;
    OpjCodecPtr codec(opj_create_compress(OPJ_CODEC_JP2));
    OpjStreamPtr stream = makeOpjOutputStream(output);
    if (!codec || !stream) {
        fail("cannot start the encoder");
        return false;
    }
    messages.attach(codec.get());
    if (!opj_setup_encoder(codec.get(), &settings, image.get()) ||
        !opj_start_compress(codec.get(), image.get(), stream.get()) || !opj_encode(codec.get(), stream.get()) ||
        !opj_end_compress(codec.get(), stream.get())) {
        fail(messages.errorOr("cannot encode"));
        return false;
    }
    stream.reset();
    encoded = std::move(output.bytes);
    return true;
}

} // namespace

bool Jpeg2000Codec::sniff(std::span<const std::uint8_t> head) const {
    if (head.size() >= sizeof kJp2Signature && std::equal(std::begin(kJp2Signature), std::end(kJp2Signature), head.begin())) {
        return true;
    }
    return head.size() >= 4 && head[0] == 0xff && head[1] == 0x4f && head[2] == 0xff && head[3] == 0x51;
}

bool Jpeg2000Codec::readHeaderRanges(HeaderRangeReader& reader) const {
    try {
        return readJpeg2000HeaderRanges(reader);
    } catch (const std::bad_alloc&) {
        fail("not enough memory to read the header");
        return false;
    }
}

std::optional<ImageHeader> Jpeg2000Codec::readHeader(std::span<const std::uint8_t> data) const {
    std::string why;
    const auto info = readJpeg2000Info(data, why);
    if (!info) {
        fail(why);
        return std::nullopt;
    }
    const int count = info->paletteColumns > 0 ? info->paletteColumns : static_cast<int>(info->components.size());
    const auto channels = channelsFor(count, info->colour, hasSubsampledChroma(*info));
    if (!channels) {
        fail("unsupported colour space");
        return std::nullopt;
    }
    ImageHeader header;
    header.width = info->width();
    header.height = info->height();
    header.bitsPerComponent = info->components[0].precision;
    header.colorModel = channels->model;
    header.hasAlpha = channels->alpha;
    header.isIndexed = info->paletteColumns > 0;
    header.hasResolution = info->hasResolution;
    header.dpiWidth = info->dpiWidth;
    header.dpiHeight = info->dpiHeight;
    header.iccProfile = info->iccProfile;
    return header;
}

std::optional<std::uint64_t> Jpeg2000Codec::decodeMemory(std::span<const std::uint8_t> data,
                                                         const DecodeOptions& options) const {
    std::string why;
    const auto info = readJpeg2000Info(data, why);
    if (!info) {
        fail(why);
        return std::nullopt;
    }
    OpenDecoder decoder;
    if (!decoder.open(data, info->isJp2)) {
        fail(decoder.messages.errorOr("cannot read the header"));
        return std::nullopt;
    }
    const int reduction = reductionFor(*info, options, decoder.maxReduction());
    const std::uint64_t width = ceilDivPow2(info->x1, reduction) - ceilDivPow2(info->x0, reduction);
    const std::uint64_t height = ceilDivPow2(info->y1, reduction) - ceilDivPow2(info->y0, reduction);
    // OpenJPEG keeps every component as 32-bit samples at the decoded
    // resolution; the decoded image takes up to two bytes a sample beside them.
    return width * height * info->components.size() * (4 + 2);
}

DecodedImagePtr Jpeg2000Codec::decode(std::span<const std::uint8_t> data, const DecodeOptions& options) const {
    try {
        return decodeImage(data, options);
    } catch (const std::bad_alloc&) {
        fail("not enough memory to decode");
        return nullptr;
    }
}

bool Jpeg2000Codec::encode(const RgbaBitmapView& bitmap, const EncodeOptions& options,
                           std::vector<std::uint8_t>& encoded) const {
    if (!isEncodableBitmap(kName, bitmap)) return false;
    try {
        // A lower fraction must never give a larger file. The lossless file
        // is written whenever it fits the byte budget of the quality; otherwise
        // the rate-controlled one, or the lossless one should that come out
        // smaller (rate control counts a few bytes of slack per code-block).
        // Both are made from the same reversible transform, so budgets that
        // grow with the quality give files that grow with it.
        if (!encodeImage(bitmap, options.hasAlpha, 0.0, encoded)) return false;
        const double ratio = compressionRatio(options.quality);
        const double budget = double(bitmap.width) * bitmap.height * (options.hasAlpha ? 4 : 3) / ratio;
        std::vector<std::uint8_t> lossy;
        if (ratio > 0 && double(encoded.size()) > budget) {
            if (!encodeImage(bitmap, options.hasAlpha, ratio, lossy)) return false;
            if (lossy.size() < encoded.size()) encoded = std::move(lossy);
        }
        if (!addDisplayResolution(encoded, resolutionToWrite(options.dpi))) {
            fail("cannot add the resolution box");
            return false;
        }
    } catch (const std::bad_alloc&) {
        fail("not enough memory to encode");
        return false;
    }
    return true;
}

bool Jpeg2000Codec::finishAfterMetadata(std::vector<std::uint8_t>& encoded, const EncodeOptions& options) const {
    std::string why;
    const auto info = readJpeg2000Info(encoded, why);
    if (!info) {
        fail("the file written with metadata is broken: " + why);
        return false;
    }
    if (info->hasResolution) return true;
    try {
        if (addDisplayResolution(encoded, resolutionToWrite(options.dpi))) return true;
        fail("cannot add the resolution box");
    } catch (const std::bad_alloc&) {
        fail("not enough memory to encode");
    }
    return false;
}

std::unique_ptr<Codec> makeJpeg2000Codec() {
    return std::make_unique<Jpeg2000Codec>();
}

} // namespace pellora
