#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/foundation/PlistValue.h"

namespace pellora {

struct PlistReadLimits {
    std::size_t maxBytes = 32u << 20;
    int maxDepth = 128;
};

// Parses an XML property list (<plist version="1.0">, with or without the
// standard DOCTYPE line). Hostile input gives a null value and one log line:
// entity declarations, nesting deeper than the limit, input over the size
// limit, a wrong root, unknown elements or malformed values are all refused.
// `origin` names the source in that log line. When `error` is given, the
// reason is stored there instead of being logged, for callers that log their own line.
PlistValue readPlistXml(std::string_view xml, std::string_view origin = "property list",
                        const PlistReadLimits& limits = {}, std::string* error = nullptr);

// Reads and parses a file; null (and one log line) when it cannot be read or parsed.
PlistValue readPlistFile(const std::string& path, const PlistReadLimits& limits = {});

// The standard XML form. Reals are written with the shortest text that reads
// back to the same double, so a single-precision value keeps its bits.
std::string writePlistXml(const PlistValue& value);

} // namespace pellora
