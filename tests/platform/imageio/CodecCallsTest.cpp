#include <gtest/gtest.h>

#include <new>

#include "platform/imageio/CodecCalls.h"
#include "platform/imageio/HeaderRangeReader.h"
#include "platform/imageio/RowDecoder.h"
#include "support/TestSupport.h"

namespace pellora {
namespace {

// A codec whose every call runs out of memory, as a huge vector inside a real
// codec would.
class ExhaustedCodec : public Codec {
public:
    std::string_view name() const override { return "Exhausted"; }
    std::vector<std::string> extensions() const override { return {}; }
    bool sniff(std::span<const std::uint8_t>) const override { return false; }
    std::optional<ImageHeader> readHeader(std::span<const std::uint8_t>) const override { throw std::bad_alloc(); }
    bool readHeaderRanges(HeaderRangeReader&) const override { throw std::bad_alloc(); }
    DecodedImagePtr decode(std::span<const std::uint8_t>, const DecodeOptions&) const override {
        throw std::bad_alloc();
    }
    std::unique_ptr<RowDecoder> openRowDecoder(std::span<const std::uint8_t>, const DecodeOptions&) const override {
        throw std::bad_alloc();
    }
    bool encode(const RgbaBitmapView&, const EncodeOptions&, std::vector<std::uint8_t>&) const override {
        throw std::bad_alloc();
    }
    bool finishAfterMetadata(std::vector<std::uint8_t>&, const EncodeOptions&) const override {
        throw std::bad_alloc();
    }
};

struct NoRanges : HeaderRangeReader {
    std::uint64_t fileSize() const override { return 0; }
    std::span<const std::uint8_t> read(std::uint64_t, std::size_t) override { return {}; }
};

TEST(CodecCalls, aFailedAllocationInACodecIsOneLogLineAndTheCallsFailure) {
    const ExhaustedCodec codec;
    const std::vector<std::uint8_t> data(16);
    std::vector<std::uint8_t> encoded;
    NoRanges ranges;
    test::LogCapture log;
    EXPECT_FALSE(readHeaderOf(codec, data));
    EXPECT_FALSE(readHeaderRangesOf(codec, ranges));
    EXPECT_FALSE(decodeWith(codec, data, {}));
    EXPECT_FALSE(openRowDecoderWith(codec, data, {}));
    EXPECT_FALSE(encodeWith(codec, RgbaBitmapView{}, {}, encoded));
    EXPECT_FALSE(finishAfterMetadataWith(codec, encoded, {}));
    EXPECT_EQ(log.lines(), (std::vector<std::string>{
                               "Exhausted: not enough memory to read the header",
                               "Exhausted: not enough memory to read the header",
                               "Exhausted: not enough memory to decode",
                               "Exhausted: not enough memory to decode",
                               "Exhausted: not enough memory to encode",
                               "Exhausted: not enough memory to encode",
                           }));
}

} // namespace
} // namespace pellora
