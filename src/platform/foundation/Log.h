#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace pellora {

// One line per call to the system journal (syslog, ident "Pellora") and to
// stderr. Thread-safe. Tests install a capture hook to see the lines.
class Log {
public:
    using Capture = std::function<void(const std::string& line)>;

    static void line(std::string_view message);

    // Replaces the capture hook (empty to remove it). While a hook is set, the
    // line still goes to the journal but not to stderr, so test output stays quiet.
    static void setCapture(Capture capture);
};

} // namespace pellora
