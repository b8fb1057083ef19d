#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <string>

#include "model/ReferencedImage.h"
#include "platform/foundation/PlistValue.h"
#include "platform/graphics/Geometry.h"

namespace pellora {

// One source image file in the list: its path, a lazily loading image of it,
// the pixel limits the export sets before each write, and the operations that
// turn the file into an output. The source file is never written.
class PelloraImage {
public:
    static std::shared_ptr<PelloraImage> pelloraImageWithPath(const std::string& path);
    explicit PelloraImage(std::string path);

    const std::string& inputPath() const { return _inputPath; }
    // The file name with its extension.
    std::string inputName() const;
    // The full-size image, its representations measured in pixels.
    ReferencedImage& inputNSImage();
    // Width and height in pixels, as stored, whatever the resolution tags say.
    Size inputSize();
    // The properties of the file's first image, read afresh; null (after a log line) on failure.
    PlistValue inputMetadata() const;

    int maxWidth() const { return _maxWidth; }
    void setMaxWidth(int value) { _maxWidth = value; }
    int maxHeight() const { return _maxHeight; }
    void setMaxHeight(int value) { _maxHeight = value; }

    // The pixel size of the output: limited, never enlarged, upright when hard
    // rotation is on. Single-precision arithmetic throughout.
    Size outputSize();
    // A copy of inputMetadata adjusted to the output; null when that is null.
    PlistValue modifiedImageMetadata();

private:
    const std::string _inputPath;
    ReferencedImage _inputNSImage;
    std::atomic<int> _maxWidth{0};
    std::atomic<int> _maxHeight{0};
};

// The orientation tag of a properties dictionary: 1 without a {TIFF}
// dictionary, 0 when {TIFF} holds no orientation, else its value.
int orientationTagOf(const PlistValue& properties);
// True for tags 5 to 8, whose stored rows are columns on display.
bool isTurnedOrientation(int tag);

} // namespace pellora
