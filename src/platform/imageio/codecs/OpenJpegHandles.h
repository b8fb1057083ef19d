#pragma once

#include <memory>
#include <openjpeg.h>
#include <string>

#include "platform/imageio/codecs/CodecSupport.h"

// OpenJPEG objects owned by RAII handles, streams over memory, and its
// messages collected per codec instead of printed.
namespace pellora {

struct OpjCodecDeleter {
    void operator()(opj_codec_t* codec) const { opj_destroy_codec(codec); }
};
struct OpjStreamDeleter {
    void operator()(opj_stream_t* stream) const { opj_stream_destroy(stream); }
};
struct OpjImageDeleter {
    void operator()(opj_image_t* image) const { opj_image_destroy(image); }
};
using OpjCodecPtr = std::unique_ptr<opj_codec_t, OpjCodecDeleter>;
using OpjStreamPtr = std::unique_ptr<opj_stream_t, OpjStreamDeleter>;
using OpjImagePtr = std::unique_ptr<opj_image_t, OpjImageDeleter>;

struct OpjMessages {
    std::string firstError;
    int warningCount = 0;
    // Set after too many warnings: the streams then refuse to read, so that a
    // file that makes OpenJPEG loop over warnings is given up quickly.
    bool gaveUp = false;

    std::string errorOr(const std::string& fallback) const;
    // Routes the codec's error and warning messages here (info is dropped).
    void attach(opj_codec_t* codec);
};

// A stream reading input; input and messages must outlive it.
OpjStreamPtr makeOpjInputStream(MemoryInput& input, const OpjMessages& messages);
// A stream writing into output, which must outlive it.
OpjStreamPtr makeOpjOutputStream(MemoryOutput& output);

} // namespace pellora
