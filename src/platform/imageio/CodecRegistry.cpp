#include "platform/imageio/CodecRegistry.h"

#include "platform/imageio/codecs/BuiltinCodecs.h"

namespace pellora {

CodecRegistry::CodecRegistry() {
    // One line per codec, most common first.
    _codecs.push_back(makeJpegCodec());
    _codecs.push_back(makePngCodec());
    _codecs.push_back(makeBmpCodec());
    _codecs.push_back(makeTiffCodec());
    _codecs.push_back(makeJpeg2000Codec());
    _codecs.push_back(makeGifCodec());
    _codecs.push_back(makeWebpCodec());
    _codecs.push_back(makeHeifCodec());
}

const CodecRegistry& CodecRegistry::shared() {
    static const CodecRegistry registry;
    return registry;
}

const Codec* CodecRegistry::codecForData(std::span<const std::uint8_t> head) const {
    for (const auto& codec : _codecs) {
        if (codec->sniff(head)) return codec.get();
    }
    return nullptr;
}

const Codec* CodecRegistry::codecForTypeIdentifier(std::string_view identifier) const {
    for (const auto& codec : _codecs) {
        if (!identifier.empty() && codec->typeIdentifier() == identifier) return codec.get();
    }
    return nullptr;
}

} // namespace pellora
