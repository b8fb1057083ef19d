#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string_view>
#include <vector>

#include "platform/imageio/Codec.h"

namespace pellora {

// Every built-in codec, most common first. Built once; read-only afterwards,
// so any thread may use it.
class CodecRegistry {
public:
    static const CodecRegistry& shared();

    const std::vector<std::unique_ptr<Codec>>& codecs() const { return _codecs; }
    // The codec whose signature the first bytes of a file carry, or nullptr.
    const Codec* codecForData(std::span<const std::uint8_t> head) const;
    // The encoder for a type identifier ("public.jpeg", ...), or nullptr.
    const Codec* codecForTypeIdentifier(std::string_view identifier) const;

private:
    CodecRegistry();
    std::vector<std::unique_ptr<Codec>> _codecs;
};

} // namespace pellora
