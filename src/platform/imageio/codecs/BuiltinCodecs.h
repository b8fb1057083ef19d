#pragma once

#include <memory>

#include "platform/imageio/Codec.h"

namespace pellora {

// The built-in codecs, registered by CodecRegistry.
std::unique_ptr<Codec> makeTiffCodec();
std::unique_ptr<Codec> makeJpeg2000Codec();
std::unique_ptr<Codec> makeGifCodec();
std::unique_ptr<Codec> makeWebpCodec();
std::unique_ptr<Codec> makeHeifCodec();

} // namespace pellora
