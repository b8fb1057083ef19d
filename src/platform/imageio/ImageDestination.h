#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "platform/foundation/PendingFile.h"
#include "platform/foundation/PlistValue.h"
#include "platform/imageio/Codec.h"
#include "platform/imageio/Image.h"

namespace pellora {

// One output file of a given type: the stand-in for the platform's image
// destination. Create it, add the one image with its encoder properties, then
// finalize to write the file (or finalizeToPendingFile, and commit it later).
class ImageDestination {
public:
    // nullptr (after one log line) when no codec writes the type identifier.
    static std::unique_ptr<ImageDestination> createWithPath(const std::string& path, std::string_view type);

    // The image to write: the renderer's 8-bit premultiplied sRGB RGBA bitmap.
    // Its pixels are read by finalize() and must stay alive until then.
    // Properties read: kImageDestinationLossyCompressionQuality (a fraction
    // from 0 to 1), kImagePropertyHasAlpha (false writes no alpha channel,
    // transparent areas then composited over white), kImagePropertyDPIWidth
    // (the resolution to write, 72 without it) and the metadata families, which
    // go into the file as far as its format holds them.
    void addImage(const RgbaBitmapView& bitmap, const PlistDictionary& properties);

    // Encodes into a temporary file beside the path and renames it into place,
    // so the path ends up holding the whole new file or stays as it was.
    // false after one log line (a missing or unwritable folder, an encoder failure).
    bool finalize();
    // The first half of finalize: encodes into a new file for the path that
    // has not taken its name yet, to be committed later. Not open after one
    // log line; its error() is 0 when the encoder failed and the errno value
    // when the file could not be made or written.
    PendingFile finalizeToPendingFile();

private:
    ImageDestination(std::string path, const Codec& codec) : _path(std::move(path)), _codec(&codec) {}

    std::string _path;
    const Codec* _codec;
    RgbaBitmapView _bitmap;
    EncodeOptions _options;
    PlistDictionary _properties;
    enum class State { Empty, ImageAdded, ImageRefused, Finalized } _state = State::Empty;
};

} // namespace pellora
