#pragma once

#include <cstddef>
#include <string_view>

namespace pellora {

// The UTF-8 sequence starting at index: its length in bytes (1 for ASCII) and
// the character it encodes. length is 0 when the bytes there are not a valid
// sequence: a stray continuation byte, a sequence cut short, an overlong form,
// a surrogate or a value above U+10FFFF (as strict decoders judge).
struct Utf8Sequence {
    std::size_t length = 0;
    char32_t code = 0;
};

Utf8Sequence utf8SequenceAt(std::string_view bytes, std::size_t index);

} // namespace pellora
