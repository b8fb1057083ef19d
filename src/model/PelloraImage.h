#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <string_view>
#include <string>

#include "model/ExportFailureReason.h"
#include "model/ReferencedImage.h"
#include "model/Thumbnail.h"
#include "platform/graphics/Bitmap.h"
#include "platform/imageio/Codec.h"
#include "platform/foundation/PendingFile.h"
#include "platform/foundation/PlistValue.h"
#include "platform/graphics/Geometry.h"

namespace pellora {

class BitmapContext;
class ImageSource;

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
    ReferencedImage& inputImage();
    // Width and height in pixels, as stored, whatever the resolution tags say.
    Size inputSize();
    // The properties of the file's first image, read afresh (once per write,
    // see RecordReadOnce); null (after a log line) on failure.
    PlistValue inputMetadata() const;

    // The folder, relative to the export's destination, that the output goes
    // into; empty (the default) for the destination itself. Set before an
    // export starts, never during one.
    const std::string& outputSubfolder() const { return _outputSubfolder; }
    void setOutputSubfolder(std::string folder) { _outputSubfolder = std::move(folder); }

    int maxWidth() const { return _maxWidth; }
    void setMaxWidth(int value) { _maxWidth = value; }
    int maxHeight() const { return _maxHeight; }
    void setMaxHeight(int value) { _maxHeight = value; }

    // The pixel size of the output: fitted within the limits (sizeFittedWithin,
    // exact), never enlarged, upright when hard rotation is on.
    Size outputSize();
    // A copy of inputMetadata adjusted to the output; null when that is null.
    PlistValue modifiedImageMetadata();

    // With hard rotation on, sets the context's transform so that the stored
    // pixels drawn into the returned rectangle come out upright in a w x h bitmap.
    Rect outputRectWithOrientedContext(BitmapContext& context, float w, float h);
    // The file's first image (at a reduced scale when options ask for one); null after a log line.
    DecodedImagePtr decodeInput(const DecodeOptions& options = {});
    // The output: scaled to outputSize, turned upright, 8-bit premultiplied
    // RGBA; nullopt after the log lines of the failure.
    std::optional<Bitmap> renderOutput();
    // Renders and writes the output file of the given type with the encoder
    // properties, and the adjusted metadata when the settings keep it. The file
    // appears whole or not at all. false when nothing was written.
    bool writeToPath(const std::string& path, std::string_view type, const PlistDictionary& properties);
    // writeToPath less the last step: the output, written in full into a file
    // that has not taken its name yet, to be committed (or discarded) later;
    // or, when nothing was written, why not.
    struct PendingOutput {
        PendingFile file;  // open when the output was written
        ExportFailureReason failure = ExportFailureReason::None;
    };
    PendingOutput writeToPendingFile(const std::string& path, std::string_view type,
                                     const PlistDictionary& properties);

    // Why the record's last export failed; None when it has not failed (or
    // not been exported). Set by the export, read by the window from any thread.
    ExportFailureReason lastExportFailure() const { return _lastExportFailure; }
    void setLastExportFailure(ExportFailureReason reason) { _lastExportFailure = reason; }

    // inputSize turned upright by the file's orientation tag, whatever the
    // hard rotation setting: the size of the picture as the list and the viewer
    // show it. 0 x 0 when the file cannot be read.
    Size uprightInputSize();
    // The memory writing the output as type holds at its peak, from the file's
    // header: the decode at its scale, the resampler's rows and the output
    // bitmap together, or the bitmap and the encoder's buffers. nullopt when
    // the header cannot be read (the write then fails on its own). Logs nothing.
    std::optional<std::uint64_t> outputMemory(std::string_view type);

    // The list picture, upright, made on first request and kept; safe from any thread.
    std::shared_ptr<const Thumbnail> thumbnail();

private:
    PlistValue readInputMetadata() const;

    const std::string _inputPath;
    ReferencedImage _inputImage;
    std::string _outputSubfolder;
    std::atomic<int> _maxWidth{0};
    std::atomic<int> _maxHeight{0};
    std::atomic<ExportFailureReason> _lastExportFailure{ExportFailureReason::None};
    std::mutex _thumbnailMutex;
    std::shared_ptr<const Thumbnail> _thumbnail;
};

// The orientation tag of a properties dictionary: 1 without a {TIFF}
// dictionary, 0 when {TIFF} holds no orientation, else its value.
int orientationTagOf(const PlistValue& properties);
// True for tags 5 to 8, whose stored rows are columns on display.
bool isTurnedOrientation(int tag);
// The size a stored image of the given size has once turned upright by the tag.
Size uprightSize(Size stored, int tag);
// Sets the context's transform so that a stored image with the orientation
// tag, drawn into the returned rectangle, comes out upright in a w x h bitmap
// (w x h being the upright size). An invalid tag is logged and draws untransformed.
Rect rectWithOrientedContext(BitmapContext& context, int tag, float w, float h);

} // namespace pellora
