#pragma once

#include "platform/foundation/PlistValue.h"

namespace pellora {

// The table of defaults, in registration order and with its types.
PlistDictionary defaultSettings();

// Registers the defaults with the standard store, hands the same table to the
// shared controller as its initial values and makes it apply changes at once.
// Safe to call again: user values are never touched.
void registerDefaults();

} // namespace pellora
