#pragma once

// Included once by each fuzz target: the log lines of hostile inputs would
// flood the fuzzer's output, so they are dropped from the start.
#include <string>

#include "platform/foundation/Log.h"

extern "C" int LLVMFuzzerInitialize(int* /*argc*/, char*** /*argv*/) {
    pellora::Log::setCapture([](const std::string&) {});
    return 0;
}
