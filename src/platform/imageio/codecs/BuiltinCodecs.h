#pragma once

#include <memory>

#include "platform/imageio/Codec.h"

namespace pellora {

// Factories of the codecs the registry lists.
std::unique_ptr<Codec> makeJpegCodec();
std::unique_ptr<Codec> makePngCodec();
std::unique_ptr<Codec> makeBmpCodec();
std::unique_ptr<Codec> makeTiffCodec();
std::unique_ptr<Codec> makeJpeg2000Codec();
std::unique_ptr<Codec> makeGifCodec();
std::unique_ptr<Codec> makeWebpCodec();
std::unique_ptr<Codec> makeHeifCodec();

} // namespace pellora
