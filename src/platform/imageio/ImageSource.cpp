#include "platform/imageio/ImageSource.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <fmt/format.h>
#include <new>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/foundation/Log.h"
#include "platform/imageio/CodecRegistry.h"
#include "platform/imageio/ImageLimits.h"
#include "platform/imageio/PixelMemoryBudget.h"

namespace pellora {
namespace {

// Larger files are refused before they are read: far beyond any image within
// the decode limits, and reading them would only exhaust memory.
constexpr std::uint64_t maxSourceBytes = std::uint64_t{4} << 30;
// Enough for every codec's signature.
constexpr std::size_t signatureBytes = 64;

// Closes a descriptor on every path out.
struct FileDescriptor {
    int fd;
    ~FileDescriptor() {
        if (fd >= 0) ::close(fd);
    }
};

// Reads up to size bytes from the start of the file; fewer when the file has
// shrunk since it was measured. nullopt on a read error.
std::optional<std::vector<std::uint8_t>> readPrefix(int fd, std::size_t size) {
    std::vector<std::uint8_t> bytes(size);
    std::size_t filled = 0;
    while (filled < size) {
        const ssize_t got = ::pread(fd, bytes.data() + filled, size - filled, static_cast<off_t>(filled));
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return std::nullopt;
        if (got == 0) break;
        filled += static_cast<std::size_t>(got);
    }
    bytes.resize(filled);
    return bytes;
}

} // namespace

ImageSource::ImageSource(std::vector<std::uint8_t> bytes, const Codec& codec)
    : _bytes(std::move(bytes)), _codec(&codec) {}

std::unique_ptr<ImageSource> ImageSource::createWithPath(const std::string& path) {
    // Non-blocking, so that a FIFO named like an image cannot hang the open;
    // only regular files are read.
    const FileDescriptor file{::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK)};
    if (file.fd < 0) {
        Log::line(fmt::format("ImageSource: cannot open {}: {}", path, std::strerror(errno)));
        return nullptr;
    }
    struct stat info {};
    if (::fstat(file.fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        Log::line(
            fmt::format("ImageSource: {} is {}", path, S_ISDIR(info.st_mode) ? "a folder" : "not a regular file"));
        return nullptr;
    }
    if (info.st_size == 0) {
        Log::line(fmt::format("ImageSource: {} is empty", path));
        return nullptr;
    }
    if (static_cast<std::uint64_t>(info.st_size) > maxSourceBytes) {
        Log::line(fmt::format("ImageSource: {} is too large ({} bytes)", path, info.st_size));
        return nullptr;
    }
    // The signature first, so that a large file of another kind is not read whole.
    const auto size = static_cast<std::size_t>(info.st_size);
    const auto head = readPrefix(file.fd, std::min(signatureBytes, size));
    if (!head) {
        Log::line(fmt::format("ImageSource: cannot read {}: {}", path, std::strerror(errno)));
        return nullptr;
    }
    const Codec* codec = CodecRegistry::shared().codecForData(*head);
    if (!codec) {
        Log::line(fmt::format("ImageSource: {} is not an image in a format Pellora reads", path));
        return nullptr;
    }
    std::optional<std::vector<std::uint8_t>> bytes;
    try {
        bytes = readPrefix(file.fd, size);
    } catch (const std::bad_alloc&) {
        Log::line(fmt::format("ImageSource: out of memory reading {} ({} bytes)", path, size));
        return nullptr;
    }
    if (!bytes) {
        Log::line(fmt::format("ImageSource: cannot read {}: {}", path, std::strerror(errno)));
        return nullptr;
    }
    return std::unique_ptr<ImageSource>(new ImageSource(std::move(*bytes), *codec));
}

std::unique_ptr<ImageSource> ImageSource::createWithData(std::span<const std::uint8_t> bytes) {
    if (bytes.empty()) {
        Log::line("ImageSource: no data");
        return nullptr;
    }
    const Codec* codec = CodecRegistry::shared().codecForData(bytes.first(std::min(bytes.size(), signatureBytes)));
    if (!codec) {
        Log::line("ImageSource: data is not an image in a format Pellora reads");
        return nullptr;
    }
    return std::unique_ptr<ImageSource>(new ImageSource({bytes.begin(), bytes.end()}, *codec));
}

std::optional<ImageHeader> ImageSource::header() const { return _codec->readHeader(_bytes); }

DecodedImagePtr ImageSource::decodeFirstImage(const DecodeOptions& options) const {
    // Every codec checks its own header too; checking here first holds the
    // limits for any codec before it allocates.
    const auto firstHeader = header();
    if (!firstHeader) return nullptr;
    if (!fitsDecodeLimits(_codec->name(), firstHeader->width, firstHeader->height, options.limits)) return nullptr;
    if (PixelMemoryBudget::coveredOnThisThread()) return _codec->decode(_bytes, options);

    const auto bytes = decodeMemory(options);
    if (!bytes) return nullptr;
    PixelReservation share = PixelMemoryBudget::shared().reserve(
        *bytes, fmt::format("{}: a {} x {} image", _codec->name(), firstHeader->width, firstHeader->height));
    if (!share.granted()) return nullptr;
    DecodedImagePtr image = _codec->decode(_bytes, options);
    if (!image) return nullptr;
    // The share goes back when the last holder of the image lets it go.
    struct Held {
        DecodedImagePtr image;
        PixelReservation share;
    };
    auto held = std::make_shared<Held>(Held{image, std::move(share)});
    return DecodedImagePtr(held, held->image.get());
}

std::unique_ptr<RowDecoder> ImageSource::openRowDecoder(const DecodeOptions& options) const {
    const auto firstHeader = header();
    if (!firstHeader) return nullptr;
    if (!fitsDecodeLimits(_codec->name(), firstHeader->width, firstHeader->height, options.limits)) return nullptr;
    if (PixelMemoryBudget::coveredOnThisThread()) return _codec->openRowDecoder(_bytes, options);

    const auto bytes = rowDecodeMemory(options);
    if (!bytes) return nullptr;
    PixelReservation share = PixelMemoryBudget::shared().reserve(
        *bytes, fmt::format("{}: a {} x {} image", _codec->name(), firstHeader->width, firstHeader->height));
    if (!share.granted()) return nullptr;
    auto decoder = _codec->openRowDecoder(_bytes, options);
    if (decoder) decoder->holdShare(std::move(share));
    return decoder;
}

std::optional<std::uint64_t> ImageSource::rowDecodeMemory(const DecodeOptions& options) const {
    return _codec->rowDecodeMemory(_bytes, options);
}

std::optional<std::uint64_t> ImageSource::decodeMemory(const DecodeOptions& options) const {
    return _codec->decodeMemory(_bytes, options);
}

std::size_t ImageSource::count() const { return _codec->imageCount(_bytes); }

std::string_view ImageSource::type() const { return _codec->typeIdentifier(); }

} // namespace pellora
