#pragma once

namespace pellora {

// Keys of image property dictionaries and of encoder properties, each defined once.

// Encoder property: lossy compression quality, a fraction from 0 (smallest) to 1 (best).
inline constexpr const char* kImageDestinationLossyCompressionQuality = "kCGImageDestinationLossyCompressionQuality";
// Image property and encoder property: false writes the file without an alpha channel.
inline constexpr const char* kImagePropertyHasAlpha = "HasAlpha";

// Other keys of the top level of a properties dictionary.
inline constexpr const char* kImagePropertyPixelWidth = "PixelWidth";
inline constexpr const char* kImagePropertyPixelHeight = "PixelHeight";
inline constexpr const char* kImagePropertyDPIWidth = "DPIWidth";
inline constexpr const char* kImagePropertyDPIHeight = "DPIHeight";
inline constexpr const char* kImagePropertyDepth = "Depth";
inline constexpr const char* kImagePropertyOrientation = "Orientation";
inline constexpr const char* kImagePropertyIsFloat = "IsFloat";
inline constexpr const char* kImagePropertyIsIndexed = "IsIndexed";
inline constexpr const char* kImagePropertyColorModel = "ColorModel";
inline constexpr const char* kImagePropertyProfileName = "ProfileName";

// Values of ColorModel.
inline constexpr const char* kImagePropertyColorModelRGB = "RGB";
inline constexpr const char* kImagePropertyColorModelGray = "Gray";
inline constexpr const char* kImagePropertyColorModelCMYK = "CMYK";

// Metadata families.
inline constexpr const char* kImagePropertyTIFFDictionary = "{TIFF}";
inline constexpr const char* kImagePropertyExifDictionary = "{Exif}";
inline constexpr const char* kImagePropertyGPSDictionary = "{GPS}";
inline constexpr const char* kImagePropertyIPTCDictionary = "{IPTC}";
inline constexpr const char* kImagePropertyJFIFDictionary = "{JFIF}";
inline constexpr const char* kImagePropertyPNGDictionary = "{PNG}";

// Entries the pipeline reads or changes.
inline constexpr const char* kImagePropertyTIFFOrientation = "Orientation";
inline constexpr const char* kImagePropertyTIFFXResolution = "XResolution";
inline constexpr const char* kImagePropertyTIFFYResolution = "YResolution";
inline constexpr const char* kImagePropertyTIFFResolutionUnit = "ResolutionUnit";
inline constexpr const char* kImagePropertyExifPixelXDimension = "PixelXDimension";
inline constexpr const char* kImagePropertyExifPixelYDimension = "PixelYDimension";
inline constexpr const char* kImagePropertyExifColorSpace = "ColorSpace";


// Pellora's own entry: the source's metadata blocks as read, so that a writer
// can carry every entry nobody changed over byte for byte. A dictionary of
// "Exif" (a TIFF-structured EXIF block), "IPTC" (IPTC datasets) and "XMP" (the packet).
inline constexpr const char* kPelloraPropertySourceMetadata = "{PelloraSourceMetadata}";

} // namespace pellora
