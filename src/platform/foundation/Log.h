#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

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

    // Runs work with the lines this thread logs kept back, and returns them.
    // Work done ahead on another thread logs through lines() when its result
    // is used, so the log reads in the order of the results.
    static std::vector<std::string> collectLines(const std::function<void()>& work);
    static void lines(const std::vector<std::string>& messages);
};

} // namespace pellora
