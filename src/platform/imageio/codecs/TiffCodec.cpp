#include "platform/imageio/codecs/TiffCodec.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <type_traits>

#include "platform/foundation/Log.h"
#include "platform/imageio/RowDecoder.h"
#include "platform/imageio/codecs/BuiltinCodecs.h"
#include "platform/imageio/codecs/CodecSupport.h"
#include "platform/imageio/codecs/TiffHandle.h"
#include "platform/imageio/codecs/TiffHeaderRanges.h"
#include "platform/imageio/codecs/TiffLayout.h"
#include "platform/imageio/metadata/TiffStreamReader.h"

namespace pellora {
namespace {

constexpr std::string_view kName = "TIFF";
constexpr std::uint16_t kTileWidthTag = 0x0142;
// Tiles beyond this are not written by any real tool; refusing them keeps a
// hostile tile size from allocating gigabytes for a tiny image.
constexpr std::uint32_t kMaxTileSide = 65536;

void fail(const std::string& reason) {
    Log::line(std::string(kName) + ": " + reason);
}

template <typename T>
T load(const std::uint8_t* bytes, std::size_t index) {
    T value;
    std::memcpy(&value, bytes + index * sizeof(T), sizeof(T));
    return value;
}

template <typename T>
constexpr T fullScale() {
    if constexpr (std::is_floating_point_v<T>) {
        return T(1);
    } else {
        return std::numeric_limits<T>::max();
    }
}

template <typename T>
T unpremultiply(T colour, T alpha) {
    if constexpr (std::is_floating_point_v<T>) {
        return alpha > 0 ? colour / alpha : T(0);
    } else {
        if (alpha == 0) return 0;
        const std::uint64_t max = fullScale<T>();
        return static_cast<T>(std::min<std::uint64_t>(max, (colour * max + alpha / 2) / alpha));
    }
}

// The rows of one strip or one row of tiles, each plane (one, or one per
// sample when planar) stored one after the other.
struct Band {
    std::vector<std::uint8_t> bytes;
    std::size_t rowBytes = 0;
    std::uint32_t capacity = 0;  // rows per plane

    std::uint8_t* row(int plane, std::uint32_t r) {
        return bytes.data() + (static_cast<std::size_t>(plane) * capacity + r) * rowBytes;
    }
};

// A sample as the decoded image stores it: as read, or a 16-bit one narrowed
// to 8 bits (rounded).
template <typename Out, typename T>
Out narrowed(T value) {
    if constexpr (std::is_same_v<Out, T>) {
        return value;
    } else {
        return static_cast<Out>((std::uint32_t{value} * 255 + 32767) / 65535);
    }
}

// One row of 8, 16 or 32-bit (float) samples into the output layout, each
// stored as Out. Alpha is divided out at the samples' own precision.
template <typename T, typename Out = T>
void convertRow(const TiffLayout& layout, const std::uint8_t* const* planes, std::uint8_t* out) {
    const int stride = layout.planarSeparate ? 1 : layout.samplesPerPixel;
    auto sample = [&](std::uint32_t x, int s) {
        return layout.planarSeparate ? load<T>(planes[s], x) : load<T>(planes[0], std::size_t(x) * stride + s);
    };
    const bool invert = layout.photometric == PHOTOMETRIC_MINISWHITE;
    Out* target = reinterpret_cast<Out*>(out);
    for (std::uint32_t x = 0; x < layout.width; ++x) {
        const T alpha = layout.hasAlpha ? sample(x, layout.colourSamples) : fullScale<T>();
        for (int c = 0; c < layout.colourSamples; ++c) {
            T value = sample(x, c);
            if (invert) value = static_cast<T>(fullScale<T>() - value);
            if (layout.associatedAlpha) value = unpremultiply(value, alpha);
            *target++ = narrowed<Out>(value);
        }
        if (layout.hasAlpha) *target++ = narrowed<Out>(alpha);
    }
}

// Reads 1, 2, 4 or 8-bit values packed most significant bit first.
unsigned packedValue(const std::uint8_t* row, std::uint32_t x, int bits) {
    const std::size_t bit = std::size_t(x) * bits;
    const int shift = 8 - bits - int(bit % 8);
    return (row[bit / 8] >> shift) & ((1u << bits) - 1);
}

void convertPackedGreyRow(const TiffLayout& layout, const std::uint8_t* row, std::uint8_t* out) {
    const unsigned max = (1u << layout.bitsPerSample) - 1;
    const bool invert = layout.photometric == PHOTOMETRIC_MINISWHITE;
    for (std::uint32_t x = 0; x < layout.width; ++x) {
        unsigned value = packedValue(row, x, layout.bitsPerSample);
        if (invert) value = max - value;
        out[x] = static_cast<std::uint8_t>(value * 255 / max);
    }
}

struct Palette {
    std::uint16_t* red = nullptr;
    std::uint16_t* green = nullptr;
    std::uint16_t* blue = nullptr;
    std::size_t size = 0;
    bool eightBitEntries = false;  // old files store 8-bit values in the 16-bit table
};

void convertPaletteRow(const TiffLayout& layout, const Palette& palette, const std::uint8_t* row,
                       std::uint8_t* out) {
    // 16-bit entries to the nearest 8-bit value.
    auto narrow = [&](std::uint16_t value) {
        return static_cast<std::uint8_t>(palette.eightBitEntries ? value : (value * 255u + 32767u) / 65535u);
    };
    for (std::uint32_t x = 0; x < layout.width; ++x, out += 3) {
        const unsigned index = packedValue(row, x, layout.bitsPerSample);
        out[0] = narrow(palette.red[index]);
        out[1] = narrow(palette.green[index]);
        out[2] = narrow(palette.blue[index]);
    }
}

bool readPalette(TIFF* tif, const TiffLayout& layout, Palette& palette) {
    if (!TIFFGetField(tif, TIFFTAG_COLORMAP, &palette.red, &palette.green, &palette.blue)) return false;
    palette.size = std::size_t(1) << layout.bitsPerSample;
    palette.eightBitEntries = true;
    for (std::size_t i = 0; i < palette.size; ++i) {
        palette.eightBitEntries = palette.eightBitEntries && palette.red[i] < 256 && palette.green[i] < 256 &&
                                  palette.blue[i] < 256;
    }
    return true;
}

// Reads samples strip by strip (or a row of tiles at a time) into a band and
// converts its rows into the decoded layout.
class DirectReader {
public:
    DirectReader(TIFF* tif, const TiffLayout& layout) : _tif(tif), _layout(layout) {}

    // Reads the colour map and sizes the band for strips or tiles; false with
    // the reason in `why`.
    bool start(std::string& why) {
        if (_layout.indexed && !readPalette(_tif, _layout, _palette)) {
            why = "paletted image without a colour map";
            return false;
        }
        const tmsize_t rowBytes = TIFFScanlineSize(_tif);
        if (rowBytes <= 0) {
            why = "invalid row size";
            return false;
        }
        _band.rowBytes = static_cast<std::size_t>(rowBytes);
        return TIFFIsTiled(_tif) ? startTiles(why) : startStrips(why);
    }

    // Decodes every row into the image; false with the reason in `why`.
    bool readImage(DecodedImage& image, std::string& why) {
        auto intoImage = [&](std::uint32_t top, std::uint32_t rows) {
            for (std::uint32_t r = 0; r < rows; ++r) convertBandRow(r, image.pixels.data() + (top + r) * image.rowBytes);
        };
        if (TIFFIsTiled(_tif)) return readTiles(intoImage, why);
        for (std::uint32_t strip = 0; strip < _stripsPerPlane; ++strip) {
            if (!readStrip(strip, why)) return false;
            intoImage(strip * _rowsPerStrip, bandRows(strip));
        }
        return true;
    }

    std::uint32_t rowsPerStrip() const { return _rowsPerStrip; }

    // Reads strip `strip` of every plane into the band.
    bool readStrip(std::uint32_t strip, std::string& why) {
        const auto expected = static_cast<tmsize_t>(bandRows(strip) * _band.rowBytes);
        for (int plane = 0; plane < planeCount(); ++plane) {
            const tmsize_t got =
                TIFFReadEncodedStrip(_tif, plane * _stripsPerPlane + strip, _band.row(plane, 0), expected);
            if (got < expected) {
                why = "cannot read strip " + std::to_string(strip);
                return false;
            }
        }
        return true;
    }

    // Row r of the band, in the decoded layout.
    void convertBandRow(std::uint32_t r, std::uint8_t* out) {
        for (int plane = 0; plane < planeCount(); ++plane) _planes[plane] = _band.row(plane, r);
        if (_layout.indexed) {
            convertPaletteRow(_layout, _palette, _planes[0], out);
        } else if (_layout.bitsPerSample < 8) {
            convertPackedGreyRow(_layout, _planes[0], out);
        } else if (_layout.bitsPerSample == 8) {
            convertRow<std::uint8_t>(_layout, _planes.data(), out);
        } else if (_layout.bitsPerSample == 16) {
            convertRow<std::uint16_t, std::uint8_t>(_layout, _planes.data(), out);
        } else {
            convertRow<float>(_layout, _planes.data(), out);
        }
    }

private:
    int planeCount() const { return _layout.planarSeparate ? _layout.samplesPerPixel : 1; }

    std::uint32_t bandRows(std::uint32_t strip) const {
        return std::min(_rowsPerStrip, _layout.height - strip * _rowsPerStrip);
    }

    bool allocateBand(std::uint32_t rows, std::string& why) {
        _band.capacity = rows;
        _planes.resize(static_cast<std::size_t>(planeCount()));
        const auto planeBytes = checkedMultiply(_band.rowBytes, rows);
        const auto bytes = planeBytes ? checkedMultiply(*planeBytes, planeCount()) : std::nullopt;
        if (!bytes) {
            why = "strip or tile size overflows";
            return false;
        }
        _band.bytes.resize(*bytes);
        return true;
    }

    bool startStrips(std::string& why) {
        _rowsPerStrip = _layout.height;
        TIFFGetFieldDefaulted(_tif, TIFFTAG_ROWSPERSTRIP, &_rowsPerStrip);
        _rowsPerStrip = std::clamp<std::uint32_t>(_rowsPerStrip, 1, _layout.height);
        if (!allocateBand(_rowsPerStrip, why)) return false;
        _stripsPerPlane = (_layout.height - 1) / _rowsPerStrip + 1;
        if (std::uint64_t(_stripsPerPlane) * planeCount() > TIFFNumberOfStrips(_tif)) {
            why = "fewer strips than the image needs";
            return false;
        }
        return true;
    }

    bool startTiles(std::string& why) {
        TIFFGetField(_tif, TIFFTAG_TILEWIDTH, &_tileWidth);
        TIFFGetField(_tif, TIFFTAG_TILELENGTH, &_tileHeight);
        _tileRowBytes = TIFFTileRowSize(_tif);
        if (_tileWidth == 0 || _tileHeight == 0 || _tileWidth > kMaxTileSide || _tileHeight > kMaxTileSide ||
            _tileRowBytes <= 0) {
            why = "invalid tile size";
            return false;
        }
        return allocateBand(std::min(_tileHeight, _layout.height), why);
    }

    template <typename IntoImage>
    bool readTiles(IntoImage intoImage, std::string& why) {
        const std::uint32_t bandRows = _band.capacity;
        std::vector<std::uint8_t> tile(static_cast<std::size_t>(_tileRowBytes) * bandRows);
        const int bitsPerPixel = _layout.bitsPerSample * (_layout.planarSeparate ? 1 : _layout.samplesPerPixel);
        for (std::uint32_t top = 0; top < _layout.height; top += _tileHeight) {
            const std::uint32_t rows = std::min(_tileHeight, _layout.height - top);
            for (std::uint32_t left = 0; left < _layout.width; left += _tileWidth) {
                const std::uint32_t columns = std::min(_tileWidth, _layout.width - left);
                // Tile widths are multiples of 16, so every tile starts on a byte.
                const std::size_t offset = std::size_t(left) * bitsPerPixel / 8;
                const std::size_t bytes = (std::size_t(columns) * bitsPerPixel + 7) / 8;
                for (int plane = 0; plane < planeCount(); ++plane) {
                    const auto wanted = static_cast<tmsize_t>(rows * _tileRowBytes);
                    const tmsize_t got = TIFFReadEncodedTile(
                        _tif, TIFFComputeTile(_tif, left, top, 0, static_cast<std::uint16_t>(plane)),
                        tile.data(), wanted);
                    if (got < wanted) {
                        why = "cannot read the tile at " + std::to_string(left) + ", " + std::to_string(top);
                        return false;
                    }
                    for (std::uint32_t r = 0; r < rows; ++r) {
                        std::memcpy(_band.row(plane, r) + offset, tile.data() + r * _tileRowBytes, bytes);
                    }
                }
            }
            intoImage(top, rows);
        }
        return true;
    }

    TIFF* _tif;
    const TiffLayout& _layout;
    Palette _palette;
    Band _band;
    std::vector<const std::uint8_t*> _planes;
    std::uint32_t _rowsPerStrip = 0;
    std::uint32_t _stripsPerPlane = 0;
    std::uint32_t _tileWidth = 0;
    std::uint32_t _tileHeight = 0;
    tmsize_t _tileRowBytes = 0;
};

// One row of libtiff's RGBA raster (8-bit, premultiplied when the image has
// alpha) as straight RGB or RGBA.
void convertRgbaRow(const TiffLayout& layout, bool premultiplied, const std::uint32_t* in, std::uint8_t* out) {
    for (std::uint32_t x = 0; x < layout.width; ++x, ++in) {
        const auto alpha = static_cast<std::uint8_t>(TIFFGetA(*in));
        const std::uint8_t rgb[3] = {static_cast<std::uint8_t>(TIFFGetR(*in)),
                                     static_cast<std::uint8_t>(TIFFGetG(*in)),
                                     static_cast<std::uint8_t>(TIFFGetB(*in))};
        for (std::uint8_t value : rgb) *out++ = premultiplied ? unpremultiply(value, alpha) : value;
        if (layout.hasAlpha) *out++ = alpha;
    }
}

// YCbCr, JPEG-compressed and other models through libtiff's RGBA interface,
// which hands back 8-bit premultiplied RGBA, a band of rows at a time.
class RgbaReader {
public:
    RgbaReader(TIFF* tif, const TiffLayout& layout) : _tif(tif), _layout(layout) {}
    ~RgbaReader() {
        if (_begun) TIFFRGBAImageEnd(&_rgba);
    }
    RgbaReader(const RgbaReader&) = delete;
    RgbaReader& operator=(const RgbaReader&) = delete;

    // Starts reading with room for bandRows rows; false with the reason in `why`.
    bool start(std::uint32_t bandRows, std::string& why) {
        char message[1024] = {};
        if (!TIFFRGBAImageBegin(&_rgba, _tif, /*stoponerr=*/1, message)) {
            why = message;
            return false;
        }
        _begun = true;
        // Rows in stored order: the orientation tag is the caller's business.
        _rgba.req_orientation = _rgba.orientation;
        _raster.resize(std::size_t(_layout.width) * bandRows);
        return true;
    }

    // Reads rows [top, top + rows) into the band.
    bool readBand(std::uint32_t top, std::uint32_t rows, std::string& why) {
        _rgba.row_offset = static_cast<int>(top);
        _rgba.col_offset = 0;
        if (!TIFFRGBAImageGet(&_rgba, _raster.data(), _layout.width, rows)) {
            why = "cannot read the pixels";
            return false;
        }
        return true;
    }

    void convertRow(std::uint32_t r, std::uint8_t* out) const {
        convertRgbaRow(_layout, _rgba.alpha != 0, _raster.data() + std::size_t(r) * _layout.width, out);
    }

private:
    TIFF* _tif;
    const TiffLayout& _layout;
    TIFFRGBAImage _rgba{};
    bool _begun = false;
    std::vector<std::uint32_t> _raster;
};

bool readThroughRgba(TIFF* tif, const TiffLayout& layout, DecodedImage& image, std::string& why) {
    RgbaReader reader(tif, layout);
    if (!reader.start(layout.height, why) || !reader.readBand(0, layout.height, why)) return false;
    for (std::uint32_t y = 0; y < layout.height; ++y) reader.convertRow(y, image.pixels.data() + y * image.rowBytes);
    return true;
}

void readResolution(TIFF* tif, ImageHeader& header) {
    float x = 0;
    float y = 0;
    std::uint16_t unit = RESUNIT_INCH;
    if (!TIFFGetField(tif, TIFFTAG_XRESOLUTION, &x)) return;
    if (!TIFFGetField(tif, TIFFTAG_YRESOLUTION, &y)) y = x;
    TIFFGetFieldDefaulted(tif, TIFFTAG_RESOLUTIONUNIT, &unit);
    if (unit == RESUNIT_NONE || !std::isfinite(x) || !std::isfinite(y) || x <= 0 || y <= 0) return;
    const double perInch = unit == RESUNIT_CENTIMETER ? 2.54 : 1.0;
    header.hasResolution = true;
    header.dpiWidth = x * perInch;
    header.dpiHeight = y * perInch;
}

std::vector<std::uint8_t> readIccProfile(TIFF* tif) {
    std::uint32_t size = 0;
    const std::uint8_t* profile = nullptr;
    if (!TIFFGetField(tif, TIFFTAG_ICCPROFILE, &size, &profile) || profile == nullptr) return {};
    return {profile, profile + size};
}

} // namespace

bool TiffCodec::sniff(std::span<const std::uint8_t> head) const {
    if (head.size() < 4) return false;
    // Classic TIFF (42) and BigTIFF (43), in either byte order.
    const bool little = head[0] == 'I' && head[1] == 'I' && (head[2] == 42 || head[2] == 43) && head[3] == 0;
    const bool big = head[0] == 'M' && head[1] == 'M' && head[2] == 0 && (head[3] == 42 || head[3] == 43);
    return little || big;
}

namespace {

// A TIFF in memory, opened, with its first directory's layout read. When it
// cannot be read, the reason has been logged and layout is empty.
struct OpenedTiff {
    explicit OpenedTiff(std::span<const std::uint8_t> data) : input{data} {
        tif = openTiffForReading(input, messages);
        if (!tif) {
            fail(messages.errorOr("not a readable TIFF file"));
            return;
        }
        std::string why;
        layout = readTiffLayout(tif.get(), why);
        if (!layout) fail(why);
    }

    MemoryInput input;  // read by tif: declared before it, destroyed after it
    TiffMessages messages;
    TiffPtr tif;
    std::optional<TiffLayout> layout;
};

// The rows of one strip per plane, or of libtiff's RGBA raster, that a strip
// decodes into.
std::uint32_t rowsPerStrip(TIFF* tif, const TiffLayout& layout) {
    std::uint32_t rows = layout.height;
    TIFFGetFieldDefaulted(tif, TIFFTAG_ROWSPERSTRIP, &rows);
    return std::clamp<std::uint32_t>(rows, 1, layout.height);
}

// Decodes a stripped image one strip at a time, holding one strip's rows.
class TiffRowDecoder final : public RowDecoder {
public:
    explicit TiffRowDecoder(std::span<const std::uint8_t> data) : _opened(std::make_unique<OpenedTiff>(data)) {}

    // Reads the first directory and sizes the band; false after one log line.
    bool start(const DecodeOptions& options) {
        if (!_opened->layout) return false;
        const TiffLayout& layout = *_opened->layout;
        TIFF* const tif = _opened->tif.get();
        if (!fitsDecodeLimits(kName, layout.width, layout.height, options.limits)) return false;
        if (TIFFIsTiled(tif)) {
            fail("a tiled image is not decoded a strip at a time");
            return false;
        }
        std::string why;
        bool started = false;
        if (layout.throughRgba) {
            _rowsPerStrip = rowsPerStrip(tif, layout);
            _rgba = std::make_unique<RgbaReader>(tif, layout);
            started = _rgba->start(_rowsPerStrip, why);
        } else {
            _direct = std::make_unique<DirectReader>(tif, layout);
            started = _direct->start(why);
            _rowsPerStrip = _direct->rowsPerStrip();
        }
        if (!started) {
            fail(_opened->messages.errorOr(why));
            return false;
        }
        _layout.width = layout.width;
        _layout.height = layout.height;
        _layout.colorModel = layout.colorModel;
        _layout.sampleFormat = layout.outputFormat();
        _layout.hasAlpha = layout.hasAlpha;
        _layout.rowBytes = std::size_t{layout.width} * unsigned(_layout.channels() * _layout.bytesPerSample());
        _layout.iccProfile = readIccProfile(tif);
        return true;
    }

private:
    bool decodeRow(std::uint32_t row, std::uint8_t* samples) override {
        if (row >= _layout.height) {
            fail("row " + std::to_string(row) + " asked for beyond the image's " + std::to_string(_layout.height));
            return false;
        }
        // Strips are read directly, so rows skipped cost nothing.
        const std::uint32_t strip = row / _rowsPerStrip;
        if (!_stripRead || strip != _strip) {
            const std::uint32_t top = strip * _rowsPerStrip;
            std::string why;
            const bool read = _rgba ? _rgba->readBand(top, std::min(_rowsPerStrip, _layout.height - top), why)
                                    : _direct->readStrip(strip, why);
            if (!read) {
                fail(_opened->messages.errorOr(why));
                return false;
            }
            _strip = strip;
            _stripRead = true;
        }
        const std::uint32_t inStrip = row - strip * _rowsPerStrip;
        if (_rgba) {
            _rgba->convertRow(inStrip, samples);
        } else {
            _direct->convertBandRow(inStrip, samples);
        }
        if (row + 1 == _layout.height) _opened->messages.logWarnings(kName);
        return true;
    }

    std::unique_ptr<OpenedTiff> _opened;  // read by the readers: declared before them
    std::unique_ptr<DirectReader> _direct;
    std::unique_ptr<RgbaReader> _rgba;
    std::uint32_t _rowsPerStrip = 1;
    std::uint32_t _strip = 0;
    bool _stripRead = false;
};

} // namespace

std::optional<ImageHeader> TiffCodec::readHeader(std::span<const std::uint8_t> data) const {
    OpenedTiff opened(data);  // libtiff reports into its messages while it reads
    if (!opened.layout) return std::nullopt;
    const std::optional<TiffLayout>& layout = opened.layout;
    TIFF* const tif = opened.tif.get();
    ImageHeader header;
    header.width = layout->width;
    header.height = layout->height;
    header.bitsPerComponent = layout->bitsPerSample;
    header.colorModel = layout->colorModel;
    header.hasAlpha = layout->hasAlpha;
    header.isIndexed = layout->indexed;
    header.isFloat = layout->sampleFormat == SAMPLEFORMAT_IEEEFP;
    readResolution(tif, header);
    header.iccProfile = readIccProfile(tif);
    return header;
}

std::optional<std::uint64_t> TiffCodec::decodeMemory(std::span<const std::uint8_t> data,
                                                     const DecodeOptions& /*options*/) const {
    OpenedTiff opened(data);  // libtiff reports into its messages while it reads
    if (!opened.layout) return std::nullopt;
    const std::optional<TiffLayout>& layout = opened.layout;
    TIFF* const tif = opened.tif.get();
    DecodedImage shape;
    shape.colorModel = layout->colorModel;
    shape.sampleFormat = layout->outputFormat();
    shape.hasAlpha = layout->hasAlpha;
    const std::uint64_t pixels = std::uint64_t{layout->width} * layout->height;
    const std::uint64_t decoded = pixels * std::uint64_t(shape.channels() * shape.bytesPerSample());
    // TIFFRGBAImage fills a whole 32-bit raster first; the direct reader holds
    // one strip, or one row of tiles and a tile, as stored.
    if (layout->throughRgba) return decoded + pixels * 4;
    std::uint32_t bandRows = layout->height;
    if (TIFFIsTiled(tif)) {
        TIFFGetField(tif, TIFFTAG_TILELENGTH, &bandRows);
    } else {
        TIFFGetFieldDefaulted(tif, TIFFTAG_ROWSPERSTRIP, &bandRows);
    }
    bandRows = std::clamp<std::uint32_t>(bandRows, 1, layout->height);
    const std::uint64_t planes = layout->planarSeparate ? layout->samplesPerPixel : 1;
    const std::uint64_t band = std::uint64_t(TIFFScanlineSize64(tif)) * bandRows * planes;
    const std::uint64_t tile = TIFFIsTiled(tif) ? std::uint64_t(TIFFTileRowSize64(tif)) * bandRows : 0;
    return decoded + band + tile;
}

bool TiffCodec::decodesRows(std::span<const std::uint8_t> data) const {
    // Stripped images: a tile row is as tall as its tiles, and seldom smaller than the image.
    tiff::MemoryRanges bytes(data);
    tiff::StreamReader reader(bytes);
    const auto first = reader.readHeader();
    return first && reader.entryCount(*first) && !reader.findEntry(*first, kTileWidthTag);
}

std::unique_ptr<RowDecoder> TiffCodec::openRowDecoder(std::span<const std::uint8_t> data,
                                                      const DecodeOptions& options) const {
    auto decoder = std::make_unique<TiffRowDecoder>(data);
    if (!decoder->start(options)) return nullptr;
    return decoder;
}

std::optional<std::uint64_t> TiffCodec::rowDecodeMemory(std::span<const std::uint8_t> data,
                                                        const DecodeOptions& options) const {
    OpenedTiff opened(data);  // libtiff reports into its messages while it reads
    if (!opened.layout) return std::nullopt;
    TIFF* const tif = opened.tif.get();
    if (TIFFIsTiled(tif)) return decodeMemory(data, options);
    const TiffLayout& layout = *opened.layout;
    const std::uint64_t rows = rowsPerStrip(tif, layout);
    // One strip per plane as stored, or its rows of libtiff's 32-bit raster
    // and the strip libtiff decodes them from.
    if (layout.throughRgba) return std::uint64_t{layout.width} * rows * 4 + std::uint64_t(TIFFStripSize64(tif));
    const std::uint64_t planes = layout.planarSeparate ? layout.samplesPerPixel : 1;
    return std::uint64_t(TIFFScanlineSize64(tif)) * rows * planes;
}

bool TiffCodec::readHeaderRanges(HeaderRangeReader& reader) const {
    return readTiffHeaderRanges(reader);
}

DecodedImagePtr TiffCodec::decode(std::span<const std::uint8_t> data, const DecodeOptions& options) const {
    OpenedTiff opened(data);  // libtiff reports into its messages while it reads
    if (!opened.layout) return nullptr;
    const std::optional<TiffLayout>& layout = opened.layout;
    TIFF* const tif = opened.tif.get();
    std::string why;
    if (!fitsDecodeLimits(kName, layout->width, layout->height, options.limits)) return nullptr;
    auto image = allocateDecodedImage(kName, layout->width, layout->height, layout->colorModel,
                                      layout->outputFormat(), layout->hasAlpha);
    if (!image) return nullptr;
    DirectReader direct(tif, *layout);
    const bool read = layout->throughRgba ? readThroughRgba(tif, *layout, *image, why)
                                          : direct.start(why) && direct.readImage(*image, why);
    if (!read) {
        fail(opened.messages.errorOr(why));
        return nullptr;
    }
    image->iccProfile = readIccProfile(tif);
    opened.messages.logWarnings(kName);
    return image;
}

// Writes 8-bit RGB, or RGBA with unassociated alpha (ExtraSamples = 2): the
// straight colours most readers expect, as PNG stores them, and the same
// values the decoders hand back. LZW with horizontal differencing.
bool TiffCodec::encode(const RgbaBitmapView& bitmap, const EncodeOptions& options,
                       std::vector<std::uint8_t>& encoded) const {
    if (!isEncodableBitmap(kName, bitmap)) return false;
    TiffMessages messages;
    MemoryOutput output;
    TiffPtr tif = openTiffForWriting(output, messages);
    if (!tif) {
        fail(messages.errorOr("cannot start the file"));
        return false;
    }
    const std::uint16_t channels = options.hasAlpha ? 4 : 3;
    const auto dpi = static_cast<float>(resolutionToWrite(options.dpi));
    TIFF* t = tif.get();
    TIFFSetField(t, TIFFTAG_IMAGEWIDTH, bitmap.width);
    TIFFSetField(t, TIFFTAG_IMAGELENGTH, bitmap.height);
    TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, channels);
    TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
    TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(t, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT);
    TIFFSetField(t, TIFFTAG_COMPRESSION, COMPRESSION_LZW);
    TIFFSetField(t, TIFFTAG_PREDICTOR, PREDICTOR_HORIZONTAL);
    TIFFSetField(t, TIFFTAG_XRESOLUTION, dpi);
    TIFFSetField(t, TIFFTAG_YRESOLUTION, dpi);
    TIFFSetField(t, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
    if (options.hasAlpha) {
        const std::uint16_t extra[] = {EXTRASAMPLE_UNASSALPHA};
        TIFFSetField(t, TIFFTAG_EXTRASAMPLES, 1, extra);
    }
    TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, TIFFDefaultStripSize(t, 0));

    std::vector<std::uint8_t> row(std::size_t(bitmap.width) * channels);
    for (std::uint32_t y = 0; y < bitmap.height; ++y) {
        straightRow(bitmap, y, options.hasAlpha, row.data());
        if (TIFFWriteScanline(t, row.data(), y, 0) < 0) {
            fail(messages.errorOr("cannot write row " + std::to_string(y)));
            return false;
        }
    }
    if (!TIFFWriteDirectory(t)) {
        fail(messages.errorOr("cannot finish the file"));
        return false;
    }
    tif.reset();
    encoded = std::move(output.bytes);
    return true;
}

std::unique_ptr<Codec> makeTiffCodec() {
    return std::make_unique<TiffCodec>();
}

} // namespace pellora
