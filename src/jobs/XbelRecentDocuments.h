#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "jobs/RecentDocumentsNoter.h"
#include "platform/foundation/RecentlyUsedXbel.h"

namespace pellora {

// The recent-documents list of the desktop: the import's notes gathered on the
// main thread and written to recently-used.xbel once per import, by a writer
// thread of its own so that neither the import nor the window waits for the
// disk. Writes happen in the order they were asked for.
class XbelRecentDocuments : public RecentDocumentsNoter {
public:
    // This application's entries kept in the shared file, newest first.
    static constexpr std::size_t kMaxEntries = 500;

    explicit XbelRecentDocuments(RecentlyUsedXbel file);
    // Finishes the writes already asked for, then stops the writer.
    ~XbelRecentDocuments() override;
    XbelRecentDocuments(const XbelRecentDocuments&) = delete;
    XbelRecentDocuments& operator=(const XbelRecentDocuments&) = delete;

    void noteNewRecentDocumentURL(const std::string& filePath) override;
    void importDidNoteAllDocuments() override;

    // Removes this application's entries (after the writes before it).
    void clearRecentDocuments();
    // The newest noted paths as the file holds them now, at most limit.
    std::vector<std::string> recentDocumentPaths(std::size_t limit) const;
    // Blocks until every write asked for so far has been done.
    void waitUntilWritten();

private:
    void runWriter();

    RecentlyUsedXbel _file;
    std::vector<std::string> _notes;  // main thread only

    std::mutex _mutex;
    std::condition_variable _changed;
    std::deque<std::function<void()>> _writes;
    bool _writing = false;
    bool _stopping = false;
    std::thread _writer;
};

} // namespace pellora
