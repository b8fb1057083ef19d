#include "cli/DisplayText.h"

#include <fmt/format.h>

namespace pellora::cli {
namespace {

// The length of the valid UTF-8 sequence starting at index that encodes a
// printable character (not a C1 control), or 0.
std::size_t printableSequenceLength(const std::string& bytes, std::size_t index) {
    const auto byte = [&](std::size_t n) { return static_cast<unsigned char>(bytes[n]); };
    const unsigned char lead = byte(index);
    std::size_t length = 0;
    char32_t code = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        code = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        code = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        code = lead & 0x07;
    } else {
        return 0;
    }
    if (index + length > bytes.size()) return 0;
    for (std::size_t n = 1; n < length; ++n) {
        if ((byte(index + n) & 0xC0) != 0x80) return 0;
        code = (code << 6) | (byte(index + n) & 0x3F);
    }
    const bool overlong = (length == 3 && code < 0x800) || (length == 4 && code < 0x10000);
    const bool invalid = overlong || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF);
    const bool c1Control = code >= 0x80 && code <= 0x9F;
    return invalid || c1Control ? 0 : length;
}

} // namespace

std::string displayText(const std::string& bytes) {
    std::string text;
    text.reserve(bytes.size());
    for (std::size_t n = 0; n < bytes.size();) {
        const auto byte = static_cast<unsigned char>(bytes[n]);
        if (byte >= 0x20 && byte < 0x7F) {
            if (byte == '\\') text += '\\';
            text += static_cast<char>(byte);
            ++n;
        } else if (byte == '\n') {
            text += "\\n";
            ++n;
        } else if (byte == '\t') {
            text += "\\t";
            ++n;
        } else if (byte == '\r') {
            text += "\\r";
            ++n;
        } else if (const std::size_t length = byte >= 0x80 ? printableSequenceLength(bytes, n) : 0; length > 0) {
            text.append(bytes, n, length);
            n += length;
        } else {
            text += fmt::format("\\x{:02X}", byte);
            ++n;
        }
    }
    return text;
}

} // namespace pellora::cli
