#pragma once

#include <memory>

#include "platform/imageio/Codec.h"

namespace pellora {

// Factories of the codecs the registry lists.
std::unique_ptr<Codec> makeJpegCodec();
std::unique_ptr<Codec> makePngCodec();
std::unique_ptr<Codec> makeBmpCodec();

} // namespace pellora
