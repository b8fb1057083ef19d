#include "model/PipelineTestSupport.h"

#include "model/Settings.h"
#include "model/SettingsKeys.h"
#include "platform/imageio/ImageDestination.h"
#include "platform/imageio/ImageSource.h"

namespace pellora::test {

UserDefaults& pipelineSettings() {
    // The home outlives the store: statics are destroyed in reverse order.
    static TempHome home;
    static const bool registered = [] {
        registerDefaults();
        return true;
    }();
    (void)registered;
    UserDefaults& settings = UserDefaults::standard();
    for (const char* key : {QVXDefaultsKey_hardRotate, QVXDefaultsKey_preserveMetadata}) {
        settings.removeObjectForKey(key);
    }
    return settings;
}

void setSetting(const char* key, const PlistValue& value) { UserDefaults::standard().setObject(value, key); }

std::vector<std::string> errorLines(const LogCapture& log) {
    std::vector<std::string> errors;
    for (const std::string& line : log.lines()) {
        if (line.starts_with("*** Error")) errors.push_back(line);
    }
    return errors;
}

bool writePicture(const std::string& path, const char* type, std::uint32_t width, std::uint32_t height,
                  const PixelFunction& pixel, const PlistDictionary& properties) {
    std::vector<std::uint8_t> pixels(std::size_t{width} * height * 4);
    for (std::uint32_t y = 0; y < height; ++y) {
        for (std::uint32_t x = 0; x < width; ++x) {
            const Rgba colour = pixel(x, y);
            std::uint8_t* out = pixels.data() + (std::size_t{y} * width + x) * 4;
            // The encoder takes premultiplied pixels.
            out[0] = static_cast<std::uint8_t>((colour.r * colour.a + 127) / 255);
            out[1] = static_cast<std::uint8_t>((colour.g * colour.a + 127) / 255);
            out[2] = static_cast<std::uint8_t>((colour.b * colour.a + 127) / 255);
            out[3] = colour.a;
        }
    }
    const auto destination = ImageDestination::createWithPath(path, type);
    if (!destination) return false;
    destination->addImage({pixels.data(), width, height, std::size_t{width} * 4}, properties);
    return destination->finalize();
}

DecodedImagePtr decodeFile(const std::string& path) {
    const auto source = ImageSource::createWithPath(path);
    return source ? source->decodeFirstImage() : nullptr;
}

} // namespace pellora::test
