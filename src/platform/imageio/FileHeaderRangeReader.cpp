#include "platform/imageio/FileHeaderRangeReader.h"

#include <algorithm>

namespace pellora {
namespace {

constexpr std::uint64_t kSmallFileAllowance = std::uint64_t{128} << 10;
constexpr std::uint64_t kLargestAllowance = std::uint64_t{16} << 20;
// Each read costs a call into the kernel whatever its length: charging it at
// least this much ends a walk over many tiny ranges as surely as a large one.
constexpr std::uint64_t kLeastChargePerRead = 512;

} // namespace

FileHeaderRangeReader::FileHeaderRangeReader(FileByteSource& file, std::span<std::uint8_t> buffer)
    : _file(file),
      _buffer(buffer.first(static_cast<std::size_t>(std::min<std::uint64_t>(buffer.size(), file.size())))),
      _allowance(std::min(std::max(file.size() / 4, kSmallFileAllowance), kLargestAllowance)) {}

std::span<const std::uint8_t> FileHeaderRangeReader::read(std::uint64_t offset, std::size_t length) {
    if (offset >= _buffer.size()) return {};
    const auto clipped = static_cast<std::size_t>(std::min<std::uint64_t>(length, _buffer.size() - offset));
    _charged += std::max<std::uint64_t>(clipped, kLeastChargePerRead);
    if (_charged > _allowance) return {};
    const auto destination = _buffer.subspan(static_cast<std::size_t>(offset), clipped);
    const auto got = _file.readAt(offset, destination);
    if (!got) return {};
    return destination.first(*got);
}

} // namespace pellora
