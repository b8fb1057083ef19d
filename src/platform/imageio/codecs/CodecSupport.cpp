#include "platform/imageio/codecs/CodecSupport.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <new>

#include "platform/foundation/Log.h"
#include "platform/imageio/BitmapRows.h"

namespace pellora {

std::optional<std::size_t> checkedMultiply(std::uint64_t a, std::uint64_t b) {
    std::uint64_t product = 0;
    if (__builtin_mul_overflow(a, b, &product) || product > std::numeric_limits<std::size_t>::max()) {
        return std::nullopt;
    }
    return static_cast<std::size_t>(product);
}

bool isEncodableBitmap(std::string_view codec, const RgbaBitmapView& bitmap) {
    if (!bitmap.isWithinBuffer()) {
        Log::line(std::string(codec) + ": nothing to encode (empty or malformed bitmap, or rows past its buffer)");
        return false;
    }
    return true;
}

double resolutionToWrite(double dpi) {
    return std::isfinite(dpi) && dpi > 0 ? dpi : 72.0;
}

void straightRow(const RgbaBitmapView& bitmap, std::uint32_t y, bool withAlpha, std::uint8_t* out) {
    const std::uint8_t* in = bitmap.pixels + static_cast<std::size_t>(y) * bitmap.rowBytes;
    if (withAlpha) {
        unpremultiplyRow(in, bitmap.width, out);
    } else {
        compositeRowOverWhite(in, bitmap.width, out);
    }
}

std::size_t MemoryInput::read(void* destination, std::size_t count) {
    if (position >= data.size()) return 0;
    const std::size_t n = std::min<std::uint64_t>(count, data.size() - position);
    std::memcpy(destination, data.data() + position, n);
    position += n;
    return n;
}

bool MemoryInput::seek(std::int64_t offset) {
    if (offset < 0) return false;
    position = static_cast<std::uint64_t>(offset);
    return true;
}

bool MemoryOutput::write(const void* source, std::size_t count) {
    std::uint64_t end = 0;
    if (__builtin_add_overflow(position, count, &end) || end > std::numeric_limits<std::size_t>::max()) {
        return false;
    }
    try {
        if (end > bytes.size()) bytes.resize(static_cast<std::size_t>(end));
    } catch (const std::bad_alloc&) {
        return false;
    }
    if (count > 0) std::memcpy(bytes.data() + position, source, count);
    position = end;
    return true;
}

std::size_t MemoryOutput::read(void* destination, std::size_t count) {
    if (position >= bytes.size()) return 0;
    const std::size_t n = std::min<std::uint64_t>(count, bytes.size() - position);
    std::memcpy(destination, bytes.data() + position, n);
    position += n;
    return n;
}

bool MemoryOutput::seek(std::int64_t offset) {
    if (offset < 0) return false;
    position = static_cast<std::uint64_t>(offset);
    return true;
}

} // namespace pellora
