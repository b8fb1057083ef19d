#include "platform/imageio/codecs/JpegCodec.h"

// jpeglib.h needs the stdio declarations first.
#include <cstdio>
// clang-format off
#include <jpeglib.h>
#include <jerror.h>
// clang-format on

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fmt/format.h>
#include <memory>
#include <utility>

#include "platform/foundation/Log.h"
#include "platform/imageio/BitmapRows.h"
#include "platform/imageio/ImageLimits.h"
#include "platform/imageio/RowDecoder.h"
#include "platform/imageio/TypeIdentifiers.h"
#include "platform/imageio/codecs/BuiltinCodecs.h"
#include "platform/imageio/codecs/CodecSupport.h"
#include "platform/imageio/codecs/LongJump.h"

namespace pellora {
namespace {

// A progressive file can carry thousands of tiny scans, each of which makes
// libjpeg pass over the whole coefficient buffer: refusing beyond this many
// keeps a hostile file from taking minutes. Real encoders write about ten.
constexpr int maxProgressiveScans = 500;

// Quality used when the caller gives none.
constexpr float defaultQuality = 0.8f;
// From this fraction on, chroma is kept at full resolution (4:4:4); below it is
// halved in both directions (4:2:0), which is what the eye barely sees and
// saves about a third of the file.
constexpr float fullChromaQuality = 0.9f;

// libjpeg reports errors through this manager; it is the first member so the
// library's pointer to it is also a pointer to the whole.
struct ErrorManager {
    jpeg_error_mgr manager{};
    std::jmp_buf jump{};
    char message[JMSG_LENGTH_MAX] = {};
};

[[noreturn]] void jumpWithMessage(j_common_ptr info) {
    auto* errors = reinterpret_cast<ErrorManager*>(info->err);
    (*info->err->format_message)(info, errors->message);
    std::longjmp(errors->jump, 1);
}

void exitOnError(j_common_ptr info) { jumpWithMessage(info); }

// Warnings are dropped, except running out of data: libjpeg would pad the rest
// of the image with grey, and a half-grey picture must not pass for the file.
void emitMessage(j_common_ptr info, int level) {
    if (level < 0 && info->err->msg_code == JWRN_JPEG_EOF) jumpWithMessage(info);
}

void checkScanCount(j_common_ptr info) {
    if (!info->is_decompressor) return;
    const auto* decompress = reinterpret_cast<j_decompress_ptr>(info);
    if (decompress->input_scan_number > maxProgressiveScans) {
        auto* errors = reinterpret_cast<ErrorManager*>(info->err);
        std::snprintf(errors->message, sizeof errors->message, "more than %d progressive scans", maxProgressiveScans);
        std::longjmp(errors->jump, 1);
    }
}

void installErrorManager(ErrorManager& errors, j_common_ptr info) {
    info->err = jpeg_std_error(&errors.manager);
    errors.manager.error_exit = exitOnError;
    errors.manager.emit_message = emitMessage;
}

// Owns everything a decode allocates, so that a jump out of libjpeg leaks nothing.
struct Decompressor {
    jpeg_decompress_struct info{};
    ErrorManager errors;
    jpeg_progress_mgr progress{};
    bool created = false;

    Decompressor() {
        installErrorManager(errors, reinterpret_cast<j_common_ptr>(&info));
        progress.progress_monitor = checkScanCount;
    }
    ~Decompressor() {
        if (created) jpeg_destroy_decompress(&info);
    }
    Decompressor(const Decompressor&) = delete;
    Decompressor& operator=(const Decompressor&) = delete;

    // Steps up to and including the header; only called inside runGuarded.
    void readHeader(std::span<const std::uint8_t> data) {
        jpeg_create_decompress(&info);
        created = true;
        info.progress = &progress;
        jpeg_mem_src(&info, data.data(), static_cast<unsigned long>(data.size()));
        jpeg_save_markers(&info, JPEG_APP0 + 2, 0xFFFF);  // ICC profile chunks
        jpeg_read_header(&info, TRUE);
    }

    void failed(std::string_view operation) const {
        Log::line(fmt::format("JPEG: cannot {}: {}", operation, errors.message));
    }
};

struct Compressor {
    jpeg_compress_struct info{};
    ErrorManager errors;
    bool created = false;
    unsigned char* output = nullptr;  // jpeg_mem_dest's buffer, grown by libjpeg with malloc
    unsigned long outputSize = 0;
    std::vector<std::uint8_t> row;

    Compressor() { installErrorManager(errors, reinterpret_cast<j_common_ptr>(&info)); }
    ~Compressor() {
        if (created) jpeg_destroy_compress(&info);
        std::free(output);
    }
    Compressor(const Compressor&) = delete;
    Compressor& operator=(const Compressor&) = delete;
};

ColorModel colorModelOf(J_COLOR_SPACE space) {
    switch (space) {
    case JCS_GRAYSCALE:
        return ColorModel::Gray;
    case JCS_CMYK:
    case JCS_YCCK:
        return ColorModel::CMYK;
    default:
        return ColorModel::RGB;
    }
}

J_COLOR_SPACE outputSpaceFor(ColorModel model) {
    switch (model) {
    case ColorModel::Gray:
        return JCS_GRAYSCALE;
    case ColorModel::CMYK:
        return JCS_CMYK;  // libjpeg turns YCCK into CMYK
    case ColorModel::RGB:
        break;
    }
    return JCS_RGB;
}

std::vector<std::uint8_t> iccProfileOf(j_decompress_ptr info) {
    JOCTET* profile = nullptr;
    unsigned int length = 0;
    std::vector<std::uint8_t> bytes;
    if (jpeg_read_icc_profile(info, &profile, &length)) {
        bytes.assign(profile, profile + length);
        std::free(profile);
    }
    return bytes;
}

ImageHeader headerOf(j_decompress_ptr info) {
    ImageHeader header;
    header.width = info->image_width;
    header.height = info->image_height;
    header.bitsPerComponent = info->data_precision;
    header.colorModel = colorModelOf(info->jpeg_color_space);
    // Density unit 0 gives only an aspect ratio, not a resolution.
    if (info->saw_JFIF_marker && (info->density_unit == 1 || info->density_unit == 2) && info->X_density > 0 &&
        info->Y_density > 0) {
        const double perInch = info->density_unit == 2 ? 2.54 : 1.0;
        header.hasResolution = true;
        header.dpiWidth = info->X_density * perInch;
        header.dpiHeight = info->Y_density * perInch;
    }
    header.iccProfile = iccProfileOf(info);
    return header;
}

unsigned ceilDiv(std::uint64_t value, std::uint64_t divisor) {
    return static_cast<unsigned>((value + divisor - 1) / divisor);
}

// libjpeg-turbo scales by M/8 in the DCT (M from 1 to 8): the smallest M that
// keeps the output at least as large as asked in both directions, so that the
// decode is no larger than it needs to be; 8 when no minimum is asked.
unsigned scaleEighths(unsigned width, unsigned height, const DecodeOptions& options) {
    if (options.minWidth == 0 && options.minHeight == 0) return 8;
    for (unsigned eighths = 1; eighths < 8; ++eighths) {
        if (ceilDiv(std::uint64_t{width} * eighths, 8) >= options.minWidth &&
            ceilDiv(std::uint64_t{height} * eighths, 8) >= options.minHeight) {
            return eighths;
        }
    }
    return 8;
}

// Sets the decoded colour space and the DCT scale for options, and works out
// the output dimensions. The decoded colour model is returned. With
// opaqueRgba, YCbCr and RGB files decode straight into 4-byte RGBA pixels.
ColorModel chooseOutput(jpeg_decompress_struct& info, const DecodeOptions& options, bool opaqueRgba = false) {
    const ColorModel model = colorModelOf(info.jpeg_color_space);
    info.out_color_space = opaqueRgba && model == ColorModel::RGB ? JCS_EXT_RGBA : outputSpaceFor(model);
    info.scale_num = scaleEighths(info.image_width, info.image_height, options);
    info.scale_denom = 8;
    jpeg_calc_output_dimensions(&info);
    return model;
}

// The coefficient store libjpeg keeps for a file of several scans (progressive
// or sequential but not interleaved): every block of every component at full
// size, whatever the output scale. None for a single-scan file, decoded a few
// rows at a time.
std::uint64_t coefficientBytes(jpeg_decompress_struct& info) {
    if (!jpeg_has_multiple_scans(&info)) return 0;
    std::uint64_t bytes = 0;
    for (int index = 0; index < info.num_components; ++index) {
        const jpeg_component_info& component = info.comp_info[index];
        const auto roundUp = [](std::uint64_t value, std::uint64_t step) { return (value + step - 1) / step * step; };
        bytes += roundUp(component.width_in_blocks, std::uint64_t(component.h_samp_factor)) *
                 roundUp(component.height_in_blocks, std::uint64_t(component.v_samp_factor)) * sizeof(JBLOCK);
    }
    return bytes;
}

// What libjpeg holds besides the coefficient store to hand out rows one at a
// time: a few block rows of every component (the rows around the one being
// upsampled) and a row group of output pixels.
std::uint64_t rowBandBytes(const jpeg_decompress_struct& info) {
    std::uint64_t bytes = 0;
    for (int index = 0; index < info.num_components; ++index) {
        const jpeg_component_info& component = info.comp_info[index];
        bytes += std::uint64_t{component.width_in_blocks} * unsigned(component.DCT_scaled_size) * 4 *
                 unsigned(component.v_samp_factor) * unsigned(component.DCT_scaled_size);
    }
    const std::uint64_t outputRow = std::uint64_t{info.output_width} * 4;
    return bytes + outputRow * unsigned(info.max_v_samp_factor) * unsigned(info.min_DCT_scaled_size);
}

// Reads scanlines one row at a time, into the caller's row.
class JpegRowDecoder final : public RowDecoder {
public:
    JpegRowDecoder() : _decompressor(std::make_unique<Decompressor>()) {}

    // Reads the header, chooses the output and starts decompressing; false
    // after one log line.
    bool start(std::span<const std::uint8_t> data, const DecodeOptions& options, std::string_view codec) {
        jpeg_decompress_struct& info = _decompressor->info;
        const bool started = runGuarded(_decompressor->errors.jump, [&] {
            _decompressor->readHeader(data);
            if (!fitsDecodeLimits(codec, info.image_width, info.image_height, options.limits)) return false;
            _layout.iccProfile = iccProfileOf(&info);
            // A profile is applied to 3-sample rows; without one, RGB rows
            // need no conversion at all.
            _opaqueRgba = _layout.iccProfile.empty() && colorModelOf(info.jpeg_color_space) == ColorModel::RGB;
            _layout.colorModel = chooseOutput(info, options, _opaqueRgba);
            _layout.cmykInverted = _layout.colorModel == ColorModel::CMYK && info.saw_Adobe_marker;
            jpeg_start_decompress(&info);
            return true;
        });
        if (!started) {
            if (_decompressor->errors.message[0] != '\0') _decompressor->failed("decode");
            return false;
        }
        _layout.width = info.output_width;
        _layout.height = info.output_height;
        _layout.rowBytes = std::size_t{info.output_width} * unsigned(info.output_components);
        return true;
    }

private:
    bool decodeRow(std::uint32_t row, std::uint8_t* samples) override {
        jpeg_decompress_struct& info = _decompressor->info;
        if (row < info.output_scanline || row >= info.output_height) {
            Log::line(fmt::format("JPEG: row {} asked for out of order (next {} of {})", row, info.output_scanline,
                                  info.output_height));
            return false;
        }
        if (row > info.output_scanline && _skipped.empty()) _skipped.resize(_layout.rowBytes);
        const bool read = runGuarded(_decompressor->errors.jump, [&] {
            while (info.output_scanline < row) {
                JSAMPROW skipped = _skipped.data();
                if (jpeg_read_scanlines(&info, &skipped, 1) != 1) return false;
            }
            JSAMPROW target = samples;
            return jpeg_read_scanlines(&info, &target, 1) == 1;
        });
        if (!read) {
            if (_decompressor->errors.message[0] == '\0') {
                std::snprintf(_decompressor->errors.message, sizeof _decompressor->errors.message,
                              "row %u cannot be read", row);
            }
            _decompressor->failed("decode");
        }
        return read;
    }

    std::unique_ptr<Decompressor> _decompressor;
    std::vector<std::uint8_t> _skipped;
};

// Quality mapping: the fraction × 100, rounded, is libjpeg's quality (0.8 is
// quality 80, as other tools mean it), clamped to libjpeg's 1...100. Absent
// or not a number gives defaultQuality.
float qualityFraction(const EncodeOptions& options) {
    if (!options.quality || std::isnan(*options.quality)) return defaultQuality;
    return std::clamp(*options.quality, 0.0f, 1.0f);
}

} // namespace

std::vector<std::string> JpegCodec::extensions() const { return {"jpg", "jpeg", "jpe", "jfif"}; }

bool JpegCodec::sniff(std::span<const std::uint8_t> head) const {
    return head.size() >= 3 && head[0] == 0xFF && head[1] == 0xD8 && head[2] == 0xFF;
}

std::string_view JpegCodec::typeIdentifier() const { return kImageTypeJPEG; }

namespace {

// Reads the header into a decompressor of its own and answers what measure
// finds in it; nullopt (after one log line) when the header cannot be read.
template <typename Measure>
auto measureHeader(std::span<const std::uint8_t> data, Measure measure)
    -> std::optional<decltype(measure(std::declval<jpeg_decompress_struct&>()))> {
    auto decompressor = std::make_unique<Decompressor>();
    std::optional<decltype(measure(decompressor->info))> result;
    const bool read = runGuarded(decompressor->errors.jump, [&] {
        decompressor->readHeader(data);
        result = measure(decompressor->info);
        return true;
    });
    if (!read) {
        decompressor->failed("read the header");
        return std::nullopt;
    }
    return result;
}

} // namespace

std::optional<ImageHeader> JpegCodec::readHeader(std::span<const std::uint8_t> data) const {
    return measureHeader(data, [](jpeg_decompress_struct& info) { return headerOf(&info); });
}

std::optional<std::uint64_t> JpegCodec::decodeMemory(std::span<const std::uint8_t> data,
                                                     const DecodeOptions& options) const {
    return measureHeader(data, [&options](jpeg_decompress_struct& info) {
        chooseOutput(info, options);
        return std::uint64_t{info.output_width} * info.output_height * std::uint64_t(info.out_color_components) +
               coefficientBytes(info);
    });
}

std::optional<std::uint64_t> JpegCodec::rowDecodeMemory(std::span<const std::uint8_t> data,
                                                        const DecodeOptions& options) const {
    return measureHeader(data, [&options](jpeg_decompress_struct& info) {
        chooseOutput(info, options, true);
        return rowBandBytes(info) + coefficientBytes(info);
    });
}

std::unique_ptr<RowDecoder> JpegCodec::openRowDecoder(std::span<const std::uint8_t> data,
                                                      const DecodeOptions& options) const {
    auto decoder = std::make_unique<JpegRowDecoder>();
    if (!decoder->start(data, options, name())) return nullptr;
    return decoder;
}

DecodedImagePtr JpegCodec::decode(std::span<const std::uint8_t> data, const DecodeOptions& options) const {
    auto decompressor = std::make_unique<Decompressor>();
    std::shared_ptr<DecodedImage> image;
    const bool decoded = runGuarded(decompressor->errors.jump, [&] {
        jpeg_decompress_struct& info = decompressor->info;
        decompressor->readHeader(data);
        if (!fitsDecodeLimits(name(), info.image_width, info.image_height, options.limits)) return false;

        const ColorModel model = chooseOutput(info, options);
        image = allocateDecodedImage(name(), info.output_width, info.output_height, model, SampleFormat::UInt8, false);
        if (!image) return false;
        // Photoshop writes CMYK JPEGs with an Adobe marker and inverted ink values.
        image->cmykInverted = model == ColorModel::CMYK && info.saw_Adobe_marker;
        image->iccProfile = iccProfileOf(&info);

        jpeg_start_decompress(&info);
        constexpr int rowsPerRead = 16;
        while (info.output_scanline < info.output_height) {
            JSAMPROW rows[rowsPerRead];
            const JDIMENSION first = info.output_scanline;
            const int count = static_cast<int>(std::min<JDIMENSION>(rowsPerRead, info.output_height - first));
            for (int i = 0; i < count; ++i) rows[i] = image->pixels.data() + (first + i) * image->rowBytes;
            jpeg_read_scanlines(&info, rows, static_cast<JDIMENSION>(count));
        }
        // No jpeg_finish_decompress: every row is in, and what follows the last
        // scan (a missing EOI, trailing bytes) cannot change the picture.
        return true;
    });
    if (!decoded) {
        if (decompressor->errors.message[0] != '\0') decompressor->failed("decode");
        return nullptr;
    }
    return image;
}

bool JpegCodec::encode(const RgbaBitmapView& bitmap, const EncodeOptions& options,
                       std::vector<std::uint8_t>& encoded) const {
    if (!isEncodableBitmap("JPEG", bitmap)) return false;
    auto compressor = std::make_unique<Compressor>();
    const float fraction = qualityFraction(options);
    const bool written = runGuarded(compressor->errors.jump, [&] {
        jpeg_compress_struct& info = compressor->info;
        jpeg_create_compress(&info);
        compressor->created = true;
        jpeg_mem_dest(&info, &compressor->output, &compressor->outputSize);
        info.image_width = bitmap.width;
        info.image_height = bitmap.height;
        // An opaque bitmap over white is itself: its rows go to libjpeg as
        // they are, the fourth byte skipped.
        const bool opaque = isOpaqueRows(bitmap.pixels, bitmap.width, bitmap.height, bitmap.rowBytes);
        info.input_components = opaque ? 4 : 3;
        info.in_color_space = opaque ? JCS_EXT_RGBX : JCS_RGB;
        jpeg_set_defaults(&info);
        jpeg_set_quality(&info, std::max(1, static_cast<int>(std::lround(fraction * 100.0f))), TRUE);
        // jpeg_set_defaults samples luma 2 × 2 against chroma, which is 4:2:0.
        if (fraction >= fullChromaQuality) {
            info.comp_info[0].h_samp_factor = 1;
            info.comp_info[0].v_samp_factor = 1;
        }
        info.optimize_coding = TRUE;
        info.write_JFIF_header = TRUE;
        info.density_unit = 1;  // dots per inch
        const double dpi = std::isnan(options.dpi) ? 72.0 : std::clamp(options.dpi, 1.0, 65535.0);
        const auto density = static_cast<UINT16>(std::lround(dpi));
        info.X_density = density;
        info.Y_density = density;

        jpeg_start_compress(&info, TRUE);
        if (!opaque) compressor->row.resize(std::size_t{bitmap.width} * 3);
        while (info.next_scanline < info.image_height) {
            // libjpeg only reads the rows it is given.
            auto* pixels = const_cast<std::uint8_t*>(bitmap.pixels + std::size_t{info.next_scanline} * bitmap.rowBytes);
            if (!opaque) compositeRowOverWhite(pixels, bitmap.width, compressor->row.data());
            JSAMPROW row = opaque ? pixels : compressor->row.data();
            jpeg_write_scanlines(&info, &row, 1);
        }
        jpeg_finish_compress(&info);
        return true;
    });
    if (!written) {
        Log::line(fmt::format("JPEG: cannot encode: {}", compressor->errors.message));
        return false;
    }
    encoded.assign(compressor->output, compressor->output + compressor->outputSize);
    return true;
}

std::unique_ptr<Codec> makeJpegCodec() { return std::make_unique<JpegCodec>(); }

} // namespace pellora
