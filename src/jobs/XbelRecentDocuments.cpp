#include "jobs/XbelRecentDocuments.h"

namespace pellora {

XbelRecentDocuments::XbelRecentDocuments(RecentlyUsedXbel file)
    : _file(std::move(file)), _writer([this] { runWriter(); }) {}

XbelRecentDocuments::~XbelRecentDocuments() {
    {
        std::lock_guard lock(_mutex);
        _stopping = true;
    }
    _changed.notify_all();
    _writer.join();
}

void XbelRecentDocuments::noteNewRecentDocumentURL(const std::string& filePath) {
    _notes.push_back(filePath);
}

void XbelRecentDocuments::importDidNoteAllDocuments() {
    if (_notes.empty()) return;
    std::lock_guard lock(_mutex);
    _writes.push_back([this, paths = std::move(_notes)] { _file.addFiles(paths, kMaxEntries); });
    _notes.clear();
    _changed.notify_all();
}

void XbelRecentDocuments::clearRecentDocuments() {
    std::lock_guard lock(_mutex);
    _writes.push_back([this] { _file.clear(); });
    _changed.notify_all();
}

std::vector<std::string> XbelRecentDocuments::recentDocumentPaths(std::size_t limit) const {
    return _file.recentFilePaths(limit);
}

void XbelRecentDocuments::waitUntilWritten() {
    std::unique_lock lock(_mutex);
    _changed.wait(lock, [this] { return _writes.empty() && !_writing; });
}

void XbelRecentDocuments::runWriter() {
    std::unique_lock lock(_mutex);
    for (;;) {
        _changed.wait(lock, [this] { return !_writes.empty() || _stopping; });
        if (_writes.empty()) return;
        std::function<void()> write = std::move(_writes.front());
        _writes.pop_front();
        _writing = true;
        lock.unlock();
        write();
        lock.lock();
        _writing = false;
        _changed.notify_all();
    }
}

} // namespace pellora
