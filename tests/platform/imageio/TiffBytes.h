#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace pellora::test {

// A little-endian TIFF stream written field by field, its header pointing at
// a first directory at offset 8.
struct TiffBytes {
    std::vector<std::uint8_t> bytes{'I', 'I', 42, 0, 8, 0, 0, 0};

    void u16(std::uint16_t value) { bytes.insert(bytes.end(), {std::uint8_t(value), std::uint8_t(value >> 8)}); }
    void u32(std::uint32_t value) {
        u16(std::uint16_t(value));
        u16(std::uint16_t(value >> 16));
    }
    // One directory entry: tag, type, count and the value or its offset.
    void entry(std::uint16_t tag, std::uint16_t type, std::uint32_t count, std::uint32_t value) {
        u16(tag);
        u16(type);
        u32(count);
        u32(value);
    }
    std::string text() const { return {bytes.begin(), bytes.end()}; }
};

} // namespace pellora::test
