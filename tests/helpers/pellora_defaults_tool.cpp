// Drives the settings store from a separate process, for tests of what one
// process leaves on disk for the next.
//   pellora_defaults_tool get KEY
//   pellora_defaults_tool set KEY int|float|string|bool VALUE
//   pellora_defaults_tool churn KEY       (prints its pid, then sets KEY to 1, 2, 3... until killed)
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <unistd.h>

#include "model/Settings.h"
#include "platform/foundation/UserDefaults.h"

using namespace pellora;

namespace {

PlistValue parseValue(const std::string& type, const std::string& text) {
    if (type == "int") return std::stoi(text);
    if (type == "float") return std::stof(text);
    if (type == "bool") return text == "true";
    return text;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s get KEY | set KEY TYPE VALUE | churn KEY\n", argv[0]);
        return 2;
    }
    const std::string command = argv[1];
    const std::string key = argv[2];
    registerDefaults();
    UserDefaults& defaults = UserDefaults::standard();
    if (command == "get") {
        const PlistValue value = defaults.objectForKey(key);
        std::printf("%s\n", value.isNull() ? "(null)" : value.description().c_str());
        return 0;
    }
    if (command == "set" && argc == 5) {
        defaults.setObject(parseValue(argv[3], argv[4]), key);
        return 0;
    }
    if (command == "churn") {
        std::printf("%d\n", static_cast<int>(::getpid()));  // the test kills this process alone
        std::fflush(stdout);
        for (int i = 1;; ++i) {
            defaults.setObject(i, key);
            std::this_thread::sleep_for(std::chrono::microseconds(300));
        }
    }
    std::fprintf(stderr, "unknown command\n");
    return 2;
}
