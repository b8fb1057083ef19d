#include "model/PipelineTestSupport.h"

#include "model/Settings.h"
#include "platform/imageio/ImageSource.h"

namespace pellora::test {

const TempHome& settingsHome() {
    // The home outlives the store: statics are destroyed in reverse order.
    static const TempHome home;
    return home;
}

UserDefaults& freshSettings() {
    settingsHome();
    static const bool registered = [] {
        registerDefaults();
        return true;
    }();
    (void)registered;
    UserDefaults& settings = UserDefaults::standard();
    for (const auto& [key, value] : defaultSettings()) settings.removeObjectForKey(key);
    return settings;
}

void setSetting(const char* key, const PlistValue& value) { UserDefaults::standard().setObject(value, key); }

std::vector<std::string> errorLines(const LogCapture& log) {
    std::vector<std::string> errors = log.lines();
    std::erase_if(errors, [](const std::string& line) { return !line.starts_with("*** Error"); });
    return errors;
}

DecodedImagePtr decodeFile(const std::string& path) {
    const auto source = ImageSource::createWithPath(path);
    return source ? source->decodeFirstImage() : nullptr;
}

} // namespace pellora::test
