#include "platform/imageio/codecs/TiffLayout.h"

namespace pellora {
namespace {

bool isUnsigned(const TiffLayout& layout, std::initializer_list<int> depths) {
    if (layout.sampleFormat != SAMPLEFORMAT_UINT) return false;
    for (int depth : depths) {
        if (layout.bitsPerSample == depth) return true;
    }
    return false;
}

bool isFloat32(const TiffLayout& layout) {
    return layout.sampleFormat == SAMPLEFORMAT_IEEEFP && layout.bitsPerSample == 32;
}

// Whether the samples can be read directly (strips or tiles, sample by sample).
bool readsDirectly(const TiffLayout& layout) {
    switch (layout.photometric) {
    case PHOTOMETRIC_MINISBLACK:
    case PHOTOMETRIC_MINISWHITE:
        if (layout.bitsPerSample < 8) return layout.samplesPerPixel == 1 && isUnsigned(layout, {1, 2, 4});
        return isUnsigned(layout, {8, 16}) || isFloat32(layout);
    case PHOTOMETRIC_RGB:
        return isUnsigned(layout, {8, 16}) || isFloat32(layout);
    case PHOTOMETRIC_SEPARATED:
        return isUnsigned(layout, {8, 16});
    case PHOTOMETRIC_PALETTE:
        return layout.samplesPerPixel == 1 && isUnsigned(layout, {1, 2, 4, 8});
    default:
        return false;
    }
}

} // namespace

SampleFormat TiffLayout::outputFormat() const {
    // 16-bit samples are narrowed to 8 bits row by row as they are read.
    return sampleFormat == SAMPLEFORMAT_IEEEFP && !throughRgba && !indexed ? SampleFormat::Float32
                                                                           : SampleFormat::UInt8;
}

std::optional<TiffLayout> readTiffLayout(TIFF* tif, std::string& why) {
    TiffLayout layout;
    std::uint16_t planar = PLANARCONFIG_CONTIG;
    if (!TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &layout.width) ||
        !TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &layout.height)) {
        why = "no image size";
        return std::nullopt;
    }
    TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &layout.bitsPerSample);
    TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &layout.samplesPerPixel);
    TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLEFORMAT, &layout.sampleFormat);
    TIFFGetFieldDefaulted(tif, TIFFTAG_PLANARCONFIG, &planar);
    layout.planarSeparate = planar == PLANARCONFIG_SEPARATE;
    if (!TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &layout.photometric)) {
        why = "no photometric interpretation";
        return std::nullopt;
    }

    std::uint16_t inkSet = INKSET_CMYK;
    TIFFGetFieldDefaulted(tif, TIFFTAG_INKSET, &inkSet);
    switch (layout.photometric) {
    case PHOTOMETRIC_MINISBLACK:
    case PHOTOMETRIC_MINISWHITE:
        layout.colorModel = ColorModel::Gray;
        layout.colourSamples = 1;
        break;
    case PHOTOMETRIC_PALETTE:
        layout.colorModel = ColorModel::RGB;
        layout.colourSamples = 1;
        layout.indexed = true;
        break;
    case PHOTOMETRIC_SEPARATED:
        if (inkSet != INKSET_CMYK || layout.samplesPerPixel < 4) {
            why = "separated inks other than CMYK are not supported";
            return std::nullopt;
        }
        layout.colorModel = ColorModel::CMYK;
        layout.colourSamples = 4;
        break;
    default:  // RGB, and YCbCr, CIELab and the like, which come out as RGB
        layout.colorModel = ColorModel::RGB;
        layout.colourSamples = 3;
        break;
    }

    std::uint16_t extraCount = 0;
    std::uint16_t* extraTypes = nullptr;
    TIFFGetFieldDefaulted(tif, TIFFTAG_EXTRASAMPLES, &extraCount, &extraTypes);
    // Only an extra sample marked as alpha counts as alpha, as libtiff's own
    // RGBA interface reads it; unspecified extra samples are dropped.
    if (extraCount > 0 && extraTypes != nullptr && layout.samplesPerPixel > layout.colourSamples) {
        layout.hasAlpha = extraTypes[0] == EXTRASAMPLE_ASSOCALPHA || extraTypes[0] == EXTRASAMPLE_UNASSALPHA;
        layout.associatedAlpha = extraTypes[0] == EXTRASAMPLE_ASSOCALPHA;
    }

    // More would only make hostile files allocate large rows; no image model uses that many.
    if (layout.samplesPerPixel > 32) {
        why = "too many samples per pixel";
        return std::nullopt;
    }
    if (layout.samplesPerPixel < layout.colourSamples) {
        why = "fewer samples per pixel than colour components";
        return std::nullopt;
    }
    if (!readsDirectly(layout)) {
        char message[1024] = {};
        if (!TIFFRGBAImageOK(tif, message)) {
            why = message;
            return std::nullopt;
        }
        layout.throughRgba = true;
        if (layout.colorModel == ColorModel::CMYK) layout.colorModel = ColorModel::RGB;
    }
    return layout;
}

} // namespace pellora
