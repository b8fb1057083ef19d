#include "platform/foundation/Log.h"

#include <cstdio>
#include <mutex>
#include <syslog.h>

namespace pellora {
namespace {

// Never destroyed: objects destroyed at exit (the settings store's final
// write) may still log.
std::mutex& logMutex() {
    static auto* mutex = new std::mutex;
    return *mutex;
}

Log::Capture& capture() {
    static auto* hook = new Log::Capture;
    return *hook;
}

void openJournal() {
    static std::once_flag once;
    std::call_once(once, [] { openlog("Pellora", LOG_PID, LOG_USER); });
}

} // namespace

void Log::line(std::string_view message) {
    openJournal();
    std::string text(message);
    // A message is one line: embedded line breaks would split it in the journal.
    for (char& c : text) {
        if (c == '\n' || c == '\r') c = ' ';
    }
    std::lock_guard lock(logMutex());
    syslog(LOG_NOTICE, "%s", text.c_str());
    if (capture()) {
        capture()(text);
    } else {
        std::fprintf(stderr, "Pellora: %s\n", text.c_str());
    }
}

void Log::setCapture(Capture hook) {
    std::lock_guard lock(logMutex());
    capture() = std::move(hook);
}

} // namespace pellora
