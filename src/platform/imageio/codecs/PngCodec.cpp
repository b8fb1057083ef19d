#include "platform/imageio/codecs/PngCodec.h"

#include <algorithm>
#include <png.h>

#include <bit>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fmt/format.h>
#include <limits>
#include <memory>
#include <utility>

#include "platform/foundation/Log.h"
#include "platform/imageio/BitmapRows.h"
#include "platform/imageio/ImageLimits.h"
#include "platform/imageio/RowDecoder.h"
#include "platform/imageio/Resolution.h"
#include "platform/imageio/TypeIdentifiers.h"
#include "platform/imageio/codecs/BuiltinCodecs.h"
#include "platform/imageio/codecs/CodecSupport.h"
#include "platform/imageio/codecs/LongJump.h"

namespace pellora {
namespace {

constexpr std::uint8_t signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

// What libpng's error and warning callbacks reach: the jump target and the message.
struct ErrorState {
    std::jmp_buf jump{};
    char message[256] = {};
};

[[noreturn]] void exitOnError(png_structp png, png_const_charp message) {
    auto* errors = static_cast<ErrorState*>(png_get_error_ptr(png));
    std::snprintf(errors->message, sizeof errors->message, "%s", message);
    std::longjmp(errors->jump, 1);
}

// Warnings (an ancillary chunk with a bad CRC, a known-incorrect sRGB profile)
// leave the image readable; libpng drops the chunk and goes on.
void ignoreWarning(png_structp, png_const_charp) {}

// Owns libpng's structures and the row table, so that a jump leaks nothing.
struct Reader {
    ErrorState errors;
    png_structp png = nullptr;
    png_infop info = nullptr;
    std::span<const std::uint8_t> data;
    std::size_t offset = 0;
    std::vector<png_bytep> rows;

    explicit Reader(std::span<const std::uint8_t> bytes) : data(bytes) {
        png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &errors, exitOnError, ignoreWarning);
        if (png) info = png_create_info_struct(png);
    }
    ~Reader() {
        if (png) png_destroy_read_struct(&png, info ? &info : nullptr, nullptr);
    }
    Reader(const Reader&) = delete;
    Reader& operator=(const Reader&) = delete;

    bool created() const {
        if (!info) Log::line("PNG: cannot create a reader: out of memory");
        return info != nullptr;
    }

    static void readBytes(png_structp png, png_bytep out, std::size_t length) {
        auto* reader = static_cast<Reader*>(png_get_io_ptr(png));
        if (length > reader->data.size() - reader->offset) png_error(png, "file is truncated");
        std::memcpy(out, reader->data.data() + reader->offset, length);
        reader->offset += length;
    }

    // Reads every chunk up to the first IDAT; only called inside runGuarded.
    void readInfo() {
        png_set_read_fn(png, this, readBytes);
        // Sizes are judged against our own limits once the header is read.
        png_set_user_limits(png, PNG_UINT_31_MAX, PNG_UINT_31_MAX);
        // libpng allocates a text chunk's declared length before reading it:
        // a few bytes claiming a 1 GB chunk would allocate 1 GB. Text and EXIF
        // come from the metadata reader and palette suggestions are not used,
        // so libpng skips those chunks; other chunks are bounded by the file's
        // size, or a generous bound for a compressed one (an ICC profile).
        static constexpr png_byte skipped[] = "tEXt\0zTXt\0iTXt\0eXIf\0sPLT";
        png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, skipped, 5);
        constexpr std::size_t inflatedChunkBytes = std::size_t{32} << 20;
        png_set_chunk_malloc_max(png, std::max(data.size(), inflatedChunkBytes));
        png_read_info(png, info);
    }

    void failed(std::string_view operation) const {
        Log::line(fmt::format("PNG: cannot {}: {}", operation, errors.message));
    }
};

struct Writer {
    ErrorState errors;
    png_structp png = nullptr;
    png_infop info = nullptr;
    std::vector<std::uint8_t>* output = nullptr;
    std::vector<std::uint8_t> row;

    Writer() {
        png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &errors, exitOnError, ignoreWarning);
        if (png) info = png_create_info_struct(png);
    }
    ~Writer() {
        if (png) png_destroy_write_struct(&png, info ? &info : nullptr);
    }
    Writer(const Writer&) = delete;
    Writer& operator=(const Writer&) = delete;
};

ImageHeader headerOf(png_structp png, png_infop info) {
    ImageHeader header;
    header.width = png_get_image_width(png, info);
    header.height = png_get_image_height(png, info);
    header.bitsPerComponent = png_get_bit_depth(png, info);
    const int colorType = png_get_color_type(png, info);
    header.isIndexed = colorType == PNG_COLOR_TYPE_PALETTE;
    header.colorModel = (colorType & PNG_COLOR_MASK_COLOR) ? ColorModel::RGB : ColorModel::Gray;
    header.hasAlpha = (colorType & PNG_COLOR_MASK_ALPHA) || png_get_valid(png, info, PNG_INFO_tRNS);

    png_uint_32 xPixelsPerUnit = 0, yPixelsPerUnit = 0;
    int unit = PNG_RESOLUTION_UNKNOWN;
    if (png_get_pHYs(png, info, &xPixelsPerUnit, &yPixelsPerUnit, &unit) && unit == PNG_RESOLUTION_METER &&
        xPixelsPerUnit > 0 && yPixelsPerUnit > 0) {
        header.hasResolution = true;
        header.dpiWidth = dpiFromPixelsPerMetre(xPixelsPerUnit);
        header.dpiHeight = dpiFromPixelsPerMetre(yPixelsPerUnit);
    }

    png_charp profileName = nullptr;
    int compression = 0;
    png_bytep profile = nullptr;
    png_uint_32 profileLength = 0;
    if (png_get_iCCP(png, info, &profileName, &compression, &profile, &profileLength) && profile) {
        header.iccProfile.assign(profile, profile + profileLength);
    }
    return header;
}

// Transformations to the decoded layout: 8 bits per sample, grey or RGB, with
// alpha when the file has any transparency. 16-bit samples are scaled to 8 bits
// (rounded) as each row is read: the output is 8-bit anyway, and a whole
// 16-bit image would take twice the memory.
void requestDecodedLayout(png_structp png, png_infop info) {
    const int colorType = png_get_color_type(png, info);
    if (colorType == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png);
    if (png_get_valid(png, info, PNG_INFO_tRNS)) png_set_tRNS_to_alpha(png);
    if (colorType == PNG_COLOR_TYPE_GRAY && png_get_bit_depth(png, info) < 8) png_set_expand_gray_1_2_4_to_8(png);
    if (png_get_bit_depth(png, info) == 16) png_set_scale_16(png);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
}

// The IHDR's interlace method: the signature (8 bytes), the chunk's length
// and type (8), then width, height, depth, colour type, compression and filter.
constexpr std::size_t kInterlaceOffset = 8 + 8 + 12;

// Reads rows one at a time, into the caller's row.
class PngRowDecoder final : public RowDecoder {
public:
    explicit PngRowDecoder(std::span<const std::uint8_t> data) : _reader(std::make_unique<Reader>(data)) {}

    // Reads the chunks up to the image data and sets the decoded layout;
    // false after one log line.
    bool start(const DecodeOptions& options, std::string_view codec) {
        if (!_reader->created()) return false;
        png_structp png = _reader->png;
        png_infop info = _reader->info;
        const bool started = runGuarded(_reader->errors.jump, [&] {
            _reader->readInfo();
            _layout.width = png_get_image_width(png, info);
            _layout.height = png_get_image_height(png, info);
            if (!fitsDecodeLimits(codec, _layout.width, _layout.height, options.limits)) return false;
            if (png_get_interlace_type(png, info) != PNG_INTERLACE_NONE) {
                png_error(png, "interlaced rows cannot be read one at a time");
            }
            requestDecodedLayout(png, info);
            const int colorType = png_get_color_type(png, info);
            _layout.colorModel = (colorType & PNG_COLOR_MASK_COLOR) ? ColorModel::RGB : ColorModel::Gray;
            _layout.hasAlpha = (colorType & PNG_COLOR_MASK_ALPHA) != 0;
            _layout.rowBytes = png_get_rowbytes(png, info);
            if (_layout.rowBytes != std::size_t{_layout.width} * unsigned(_layout.channels())) {
                png_error(png, "unexpected row layout");
            }
            _layout.iccProfile = headerOf(png, info).iccProfile;
            return true;
        });
        if (!started && _reader->errors.message[0] != '\0') _reader->failed("decode");
        return started;
    }

private:
    bool decodeRow(std::uint32_t row, std::uint8_t* samples) override {
        if (row < _next || row >= _layout.height) {
            Log::line(fmt::format("PNG: row {} asked for out of order (next {} of {})", row, _next, _layout.height));
            return false;
        }
        if (row > _next && _skipped.empty()) _skipped.resize(_layout.rowBytes);
        const bool read = runGuarded(_reader->errors.jump, [&] {
            for (; _next < row; ++_next) png_read_row(_reader->png, _skipped.data(), nullptr);
            png_read_row(_reader->png, samples, nullptr);
            ++_next;
            return true;
        });
        if (!read) _reader->failed("decode");
        return read;
    }

    std::unique_ptr<Reader> _reader;
    std::vector<std::uint8_t> _skipped;
    std::uint32_t _next = 0;
};

} // namespace

bool PngCodec::sniff(std::span<const std::uint8_t> head) const {
    return head.size() >= sizeof signature && std::memcmp(head.data(), signature, sizeof signature) == 0;
}

std::string_view PngCodec::typeIdentifier() const { return kImageTypePNG; }

namespace {

// Reads the header into a reader of its own and answers what measure finds
// in it; nullopt (after one log line) when the header cannot be read.
template <typename Measure>
auto measureHeader(std::span<const std::uint8_t> data, Measure measure)
    -> std::optional<decltype(measure(std::declval<png_structp>(), std::declval<png_infop>()))> {
    auto reader = std::make_unique<Reader>(data);
    if (!reader->created()) return std::nullopt;
    std::optional<decltype(measure(reader->png, reader->info))> result;
    const bool read = runGuarded(reader->errors.jump, [&] {
        reader->readInfo();
        result = measure(reader->png, reader->info);
        return true;
    });
    if (!read) {
        reader->failed("read the header");
        return std::nullopt;
    }
    return result;
}

} // namespace

std::optional<ImageHeader> PngCodec::readHeader(std::span<const std::uint8_t> data) const {
    return measureHeader(data, [](png_structp png, png_infop info) { return headerOf(png, info); });
}

std::optional<std::uint64_t> PngCodec::decodeMemory(std::span<const std::uint8_t> data,
                                                    const DecodeOptions& /*options*/) const {
    return measureHeader(data, [](png_structp png, png_infop info) {
        requestDecodedLayout(png, info);
        return std::uint64_t{png_get_rowbytes(png, info)} * png_get_image_height(png, info);
    });
}

DecodedImagePtr PngCodec::decode(std::span<const std::uint8_t> data, const DecodeOptions& options) const {
    auto reader = std::make_unique<Reader>(data);
    if (!reader->created()) return nullptr;
    std::shared_ptr<DecodedImage> image;
    const bool decoded = runGuarded(reader->errors.jump, [&] {
        png_structp png = reader->png;
        png_infop info = reader->info;
        reader->readInfo();
        const png_uint_32 width = png_get_image_width(png, info);
        const png_uint_32 height = png_get_image_height(png, info);
        if (!fitsDecodeLimits(name(), width, height, options.limits)) return false;

        requestDecodedLayout(png, info);
        const int colorType = png_get_color_type(png, info);
        image = allocateDecodedImage(name(), width, height,
                                     (colorType & PNG_COLOR_MASK_COLOR) ? ColorModel::RGB : ColorModel::Gray,
                                     SampleFormat::UInt8,
                                     (colorType & PNG_COLOR_MASK_ALPHA) != 0);
        if (!image) return false;
        if (png_get_rowbytes(png, info) != image->rowBytes) png_error(png, "unexpected row layout");
        image->iccProfile = headerOf(png, info).iccProfile;

        reader->rows.resize(height);
        for (png_uint_32 y = 0; y < height; ++y) reader->rows[y] = image->pixels.data() + y * image->rowBytes;
        png_read_image(png, reader->rows.data());
        // The chunks after the image data (text, time, IEND) cannot change the
        // pixels, so they are not read: a file cut after its last IDAT still decodes.
        return true;
    });
    if (!decoded) {
        if (reader->errors.message[0] != '\0') reader->failed("decode");
        return nullptr;
    }
    return image;
}

bool PngCodec::decodesRows(std::span<const std::uint8_t> data) const {
    return data.size() > kInterlaceOffset && data[kInterlaceOffset] == PNG_INTERLACE_NONE;
}

std::unique_ptr<RowDecoder> PngCodec::openRowDecoder(std::span<const std::uint8_t> data,
                                                     const DecodeOptions& options) const {
    auto decoder = std::make_unique<PngRowDecoder>(data);
    if (!decoder->start(options, name())) return nullptr;
    return decoder;
}

std::optional<std::uint64_t> PngCodec::rowDecodeMemory(std::span<const std::uint8_t> data,
                                                      const DecodeOptions& /*options*/) const {
    return measureHeader(data, [](png_structp png, png_infop info) {
        requestDecodedLayout(png, info);
        // libpng's stored row and the one before it (up to twice the decoded
        // row each, for 16-bit samples); zlib's fixed state is not pixels.
        return 4 * std::uint64_t{png_get_rowbytes(png, info)};
    });
}

// PNG is lossless: the quality fraction does not apply and is ignored. zlib
// runs at level 4 with libpng's adaptive filters: on photographs its files are
// the size of the default level's (6), within a percent, in about half the time. EXIF goes into an
// eXIf chunk and XMP into an iTXt chunk; PNG holds no IPTC.
constexpr int kCompressionLevel = 4;

namespace {

void appendToOutput(png_structp png, png_bytep data, png_size_t length) {
    auto* writer = static_cast<Writer*>(png_get_io_ptr(png));
    try {
        writer->output->insert(writer->output->end(), data, data + length);
    } catch (const std::bad_alloc&) {
        png_error(png, "not enough memory");
    }
}

} // namespace

bool PngCodec::encode(const RgbaBitmapView& bitmap, const EncodeOptions& options,
                      std::vector<std::uint8_t>& encoded) const {
    if (!isEncodableBitmap("PNG", bitmap)) return false;
    auto writer = std::make_unique<Writer>();
    if (!writer->info) {
        Log::line("PNG: cannot create a writer: out of memory");
        return false;
    }
    const bool written = runGuarded(writer->errors.jump, [&] {
        png_structp png = writer->png;
        png_infop info = writer->info;
        encoded.clear();
        writer->output = &encoded;
        png_set_write_fn(png, writer.get(), appendToOutput, nullptr);
        png_set_compression_level(png, kCompressionLevel);
        const int channels = options.hasAlpha ? 4 : 3;
        png_set_IHDR(png, info, bitmap.width, bitmap.height, 8,
                     options.hasAlpha ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                     PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
        // The pixels are sRGB; gAMA and cHRM go with it for readers that predate sRGB.
        png_set_sRGB_gAMA_and_cHRM(png, info, PNG_sRGB_INTENT_PERCEPTUAL);
        if (const std::uint32_t pixelsPerMetre = pixelsPerMetreFromDpi(options.dpi)) {
            png_set_pHYs(png, info, pixelsPerMetre, pixelsPerMetre, PNG_RESOLUTION_METER);
        }
        if (!options.exif.empty()) {
            png_set_eXIf_1(png, info, static_cast<png_uint_32>(options.exif.size()),
                           const_cast<png_bytep>(options.exif.data()));
        }
        png_text xmp{};
        if (!options.xmp.empty()) {
            xmp.compression = PNG_ITXT_COMPRESSION_NONE;
            xmp.key = const_cast<png_charp>("XML:com.adobe.xmp");
            xmp.text = const_cast<png_charp>(options.xmp.c_str());
            xmp.itxt_length = options.xmp.size();
            xmp.lang = const_cast<png_charp>("");
            xmp.lang_key = const_cast<png_charp>("");
            png_set_text(png, info, &xmp, 1);
        }
        png_write_info(png, info);
        writer->row.resize(std::size_t{bitmap.width} * channels);
        for (std::uint32_t y = 0; y < bitmap.height; ++y) {
            const std::uint8_t* source = bitmap.pixels + y * bitmap.rowBytes;
            if (options.hasAlpha) {
                unpremultiplyRow(source, bitmap.width, writer->row.data());
            } else {
                compositeRowOverWhite(source, bitmap.width, writer->row.data());
            }
            png_write_row(png, writer->row.data());
        }
        // Every chunk went before the image data: passing info again would write eXIf twice.
        png_write_end(png, nullptr);
        return true;
    });
    if (!written) Log::line(fmt::format("PNG: cannot encode: {}", writer->errors.message));
    return written;
}

std::unique_ptr<Codec> makePngCodec() { return std::make_unique<PngCodec>(); }

} // namespace pellora
