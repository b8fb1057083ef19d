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

// The lines kept back by collectLines on this thread, when it is running.
thread_local std::vector<std::string>* collectedLines = nullptr;

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
    if (collectedLines) {
        collectedLines->push_back(std::move(text));
        return;
    }
    std::lock_guard lock(logMutex());
    syslog(LOG_NOTICE, "%s", text.c_str());
    if (capture()) {
        capture()(text);
    } else {
        std::fprintf(stderr, "Pellora: %s\n", text.c_str());
    }
}

std::vector<std::string> Log::collectLines(const std::function<void()>& work) {
    std::vector<std::string> collected;
    std::vector<std::string>* const outer = collectedLines;
    collectedLines = &collected;
    work();
    collectedLines = outer;
    return collected;
}

void Log::lines(const std::vector<std::string>& messages) {
    for (const std::string& message : messages) line(message);
}

void Log::setCapture(Capture hook) {
    std::lock_guard lock(logMutex());
    capture() = std::move(hook);
}

} // namespace pellora
