#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/foundation/PlistValue.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/imageio/Image.h"
#include "support/TestPictures.h"
#include "support/TestSupport.h"

namespace pellora::test {

// The settings store of this test process, kept in a temporary home that is
// made before anything else reaches the store, with the defaults registered.
// Each call removes every user value, so that a case starts from the defaults
// whatever the cases before it in the same process set.
UserDefaults& freshSettings();
// The home that freshSettings() made.
const TempHome& settingsHome();
void setSetting(const char* key, const PlistValue& value);

// The captured lines that begin "*** Error", in order.
std::vector<std::string> errorLines(const LogCapture& log);

// The first image of a file as Pellora decodes it at full size; null when it cannot.
DecodedImagePtr decodeFile(const std::string& path);

} // namespace pellora::test
