#pragma once

namespace pellora {

// Keys of image property dictionaries and of encoder properties, each defined once.

// Encoder property: lossy compression quality, a fraction from 0 (smallest) to 1 (best).
inline constexpr const char* kCGImageDestinationLossyCompressionQuality = "kCGImageDestinationLossyCompressionQuality";
// Image property and encoder property: false writes the file without an alpha channel.
inline constexpr const char* kCGImagePropertyHasAlpha = "HasAlpha";

// Other keys of the top level of a properties dictionary.
inline constexpr const char* kCGImagePropertyPixelWidth = "PixelWidth";
inline constexpr const char* kCGImagePropertyPixelHeight = "PixelHeight";
inline constexpr const char* kCGImagePropertyDPIWidth = "DPIWidth";
inline constexpr const char* kCGImagePropertyDPIHeight = "DPIHeight";
inline constexpr const char* kCGImagePropertyDepth = "Depth";
inline constexpr const char* kCGImagePropertyOrientation = "Orientation";
inline constexpr const char* kCGImagePropertyIsFloat = "IsFloat";
inline constexpr const char* kCGImagePropertyIsIndexed = "IsIndexed";
inline constexpr const char* kCGImagePropertyColorModel = "ColorModel";
inline constexpr const char* kCGImagePropertyProfileName = "ProfileName";

// Values of ColorModel.
inline constexpr const char* kCGImagePropertyColorModelRGB = "RGB";
inline constexpr const char* kCGImagePropertyColorModelGray = "Gray";
inline constexpr const char* kCGImagePropertyColorModelCMYK = "CMYK";

// Metadata families.
inline constexpr const char* kCGImagePropertyTIFFDictionary = "{TIFF}";
inline constexpr const char* kCGImagePropertyExifDictionary = "{Exif}";
inline constexpr const char* kCGImagePropertyGPSDictionary = "{GPS}";
inline constexpr const char* kCGImagePropertyIPTCDictionary = "{IPTC}";
inline constexpr const char* kCGImagePropertyJFIFDictionary = "{JFIF}";
inline constexpr const char* kCGImagePropertyPNGDictionary = "{PNG}";

// Entries the pipeline reads or changes.
inline constexpr const char* kCGImagePropertyTIFFOrientation = "Orientation";
inline constexpr const char* kCGImagePropertyTIFFXResolution = "XResolution";
inline constexpr const char* kCGImagePropertyTIFFYResolution = "YResolution";
inline constexpr const char* kCGImagePropertyTIFFResolutionUnit = "ResolutionUnit";
inline constexpr const char* kCGImagePropertyExifPixelXDimension = "PixelXDimension";
inline constexpr const char* kCGImagePropertyExifPixelYDimension = "PixelYDimension";
inline constexpr const char* kCGImagePropertyExifColorSpace = "ColorSpace";


// Pellora's own entry: the source's metadata blocks as read, so that a writer
// can carry every entry nobody changed over byte for byte. A dictionary of
// "Exif" (a TIFF-structured EXIF block), "IPTC" (IPTC datasets) and "XMP" (the packet).
inline constexpr const char* kPelloraPropertySourceMetadata = "{PelloraSourceMetadata}";

} // namespace pellora
