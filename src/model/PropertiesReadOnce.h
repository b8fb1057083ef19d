#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/PlistValue.h"

namespace pellora {

class PelloraImage;

// While one lives, a record's inputMetadata on this thread reads the file once:
// later calls give the first read's properties and log its lines again, as a
// fresh read of the same file would. Scoped to one write of one record, so
// that a file changed between writes is read anew.
class PropertiesReadOnce {
public:
    explicit PropertiesReadOnce(const PelloraImage& record);
    ~PropertiesReadOnce();
    PropertiesReadOnce(const PropertiesReadOnce&) = delete;
    PropertiesReadOnce& operator=(const PropertiesReadOnce&) = delete;

    // This thread's outermost memo for record, or nullptr.
    static PropertiesReadOnce* activeFor(const PelloraImage& record);

    const PelloraImage& record;
    std::optional<PlistValue> properties;
    std::vector<std::string> lines;  // logged by the read

private:
    PropertiesReadOnce* const _outer;
};

} // namespace pellora
