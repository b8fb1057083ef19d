#pragma once

#include "platform/imageio/AnonymousMapping.h"
#include "platform/imageio/FileByteSource.h"
#include "platform/imageio/HeaderRangeReader.h"

namespace pellora {

// Reads a file's ranges into a buffer the size of the file, each at its own
// offset, for a source that holds those ranges and zeros elsewhere. Within
// an allowance: a header read that would take more than a quarter of the file
// (and more than 128 KiB), or more than 16 MiB, costs as much as reading the
// file whole, or the layout is hostile, so read() then gives nothing and the
// caller reads the whole file instead.
class FileHeaderRangeReader final : public HeaderRangeReader {
public:
    // The file's bytes go into buffer, which must be at least the file's size.
    FileHeaderRangeReader(FileByteSource& file, std::span<std::uint8_t> buffer);

    std::uint64_t fileSize() const override { return _file.size(); }
    std::span<const std::uint8_t> read(std::uint64_t offset, std::size_t length) override;

private:
    FileByteSource& _file;
    std::span<std::uint8_t> _buffer;
    std::uint64_t _allowance;
    std::uint64_t _charged = 0;
};

} // namespace pellora
