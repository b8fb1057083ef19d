#include "platform/imageio/codecs/TiffHandle.h"

#include <cstdarg>
#include <cstdio>
#include <type_traits>

#include "platform/foundation/Log.h"

namespace pellora {
namespace {

std::string formatMessage(const char* module, const char* format, va_list arguments) {
    char text[512];
    std::vsnprintf(text, sizeof text, format, arguments);
    std::string message = module != nullptr && *module != '\0' ? std::string(module) + ": " : std::string();
    return message + text;
}

int collectError(TIFF*, void* user, const char* module, const char* format, va_list arguments) {
    auto* messages = static_cast<TiffMessages*>(user);
    if (messages->firstError.empty()) messages->firstError = formatMessage(module, format, arguments);
    return 1;  // handled: libtiff's process-wide handler (stderr) is not called
}

int collectWarning(TIFF*, void* user, const char* module, const char* format, va_list arguments) {
    auto* messages = static_cast<TiffMessages*>(user);
    if (messages->warningCount++ == 0) messages->firstWarning = formatMessage(module, format, arguments);
    return 1;
}

struct OpenOptionsDeleter {
    void operator()(TIFFOpenOptions* options) const { TIFFOpenOptionsFree(options); }
};

template <typename Stream>
tmsize_t readProc(thandle_t handle, void* buffer, tmsize_t size) {
    if (size < 0) return -1;
    return static_cast<tmsize_t>(static_cast<Stream*>(handle)->read(buffer, static_cast<std::size_t>(size)));
}

tmsize_t refuseWrite(thandle_t, void*, tmsize_t) { return -1; }

tmsize_t writeProc(thandle_t handle, void* buffer, tmsize_t size) {
    if (size < 0 || !static_cast<MemoryOutput*>(handle)->write(buffer, static_cast<std::size_t>(size))) return -1;
    return size;
}

template <typename Stream>
std::uint64_t streamSize(const Stream& stream) {
    if constexpr (std::is_same_v<Stream, MemoryInput>) {
        return stream.data.size();
    } else {
        return stream.bytes.size();
    }
}

template <typename Stream>
toff_t seekProc(thandle_t handle, toff_t offset, int whence) {
    auto* stream = static_cast<Stream*>(handle);
    std::int64_t base = 0;
    if (whence == SEEK_CUR) base = static_cast<std::int64_t>(stream->position);
    if (whence == SEEK_END) base = static_cast<std::int64_t>(streamSize(*stream));
    std::int64_t target = 0;
    if (__builtin_add_overflow(base, static_cast<std::int64_t>(offset), &target) || !stream->seek(target)) {
        return static_cast<toff_t>(-1);
    }
    return stream->position;
}

template <typename Stream>
toff_t sizeProc(thandle_t handle) {
    return streamSize(*static_cast<Stream*>(handle));
}

int closeProc(thandle_t) { return 0; }
int noMap(thandle_t, void**, toff_t*) { return 0; }
void noUnmap(thandle_t, void*, toff_t) {}

std::unique_ptr<TIFFOpenOptions, OpenOptionsDeleter> optionsFor(TiffMessages& messages) {
    std::unique_ptr<TIFFOpenOptions, OpenOptionsDeleter> options(TIFFOpenOptionsAlloc());
    if (options) {
        TIFFOpenOptionsSetErrorHandlerExtR(options.get(), collectError, &messages);
        TIFFOpenOptionsSetWarningHandlerExtR(options.get(), collectWarning, &messages);
    }
    return options;
}

} // namespace

std::string TiffMessages::errorOr(std::string_view fallback) const {
    return firstError.empty() ? std::string(fallback) : "libtiff: " + firstError;
}

void TiffMessages::logWarnings(std::string_view codec) const {
    if (warningCount == 0) return;
    std::string line = std::string(codec) + ": warning: " + firstWarning;
    if (warningCount > 1) line += " (and " + std::to_string(warningCount - 1) + " more)";
    Log::line(line);
}

TiffPtr openTiffForReading(MemoryInput& input, TiffMessages& messages) {
    auto options = optionsFor(messages);
    if (!options) return nullptr;
    // "m": no memory mapping, so libtiff never works in place on the caller's bytes.
    return TiffPtr(TIFFClientOpenExt("image", "rm", &input, readProc<MemoryInput>, refuseWrite,
                                     seekProc<MemoryInput>, closeProc, sizeProc<MemoryInput>, noMap,
                                     noUnmap, options.get()));
}

TiffPtr openTiffForWriting(MemoryOutput& output, TiffMessages& messages) {
    auto options = optionsFor(messages);
    if (!options) return nullptr;
    return TiffPtr(TIFFClientOpenExt("image", "wm", &output, readProc<MemoryOutput>, writeProc,
                                     seekProc<MemoryOutput>, closeProc, sizeProc<MemoryOutput>, noMap,
                                     noUnmap, options.get()));
}

} // namespace pellora
