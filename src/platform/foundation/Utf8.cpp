#include "platform/foundation/Utf8.h"

namespace pellora {

Utf8Sequence utf8SequenceAt(std::string_view bytes, std::size_t index) {
    const auto byte = [&](std::size_t n) { return static_cast<unsigned char>(bytes[n]); };
    const unsigned char lead = byte(index);
    if (lead < 0x80) return {1, lead};
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
        return {};
    }
    if (index + length > bytes.size()) return {};
    for (std::size_t n = 1; n < length; ++n) {
        if ((byte(index + n) & 0xC0) != 0x80) return {};
        code = (code << 6) | (byte(index + n) & 0x3F);
    }
    const bool overlong = (length == 3 && code < 0x800) || (length == 4 && code < 0x10000);
    if (overlong || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return {};
    return {length, code};
}

} // namespace pellora
