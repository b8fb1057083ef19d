#pragma once

#include <exiv2/exiv2.hpp>
#include <span>

namespace pellora::test {

// Fills exif with entries in IFD0 and the Exif, GPS and Interoperability
// directories, values of every size (inline and out of line), and makerNote.
inline void addEveryDirectory(Exiv2::ExifData& exif, std::span<const Exiv2::byte> makerNote) {
    exif["Exif.Image.Make"] = "Maker of a long name";
    exif["Exif.Image.Orientation"] = std::uint16_t{6};
    exif["Exif.Photo.ExposureTime"] = Exiv2::Rational(1, 250);
    exif["Exif.Photo.UserComment"] = "charset=Ascii a comment of some length";
    exif["Exif.GPSInfo.GPSLatitudeRef"] = "N";
    exif["Exif.GPSInfo.GPSLatitude"] = "48/1 51/1 2363/100";
    exif["Exif.Iop.InteroperabilityIndex"] = "R98";
    exif["Exif.Photo.MakerNote"] = Exiv2::DataValue(makerNote.data(), long(makerNote.size()), Exiv2::invalidByteOrder,
                                                    Exiv2::undefined);
}

} // namespace pellora::test
