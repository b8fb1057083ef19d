#pragma once

#include <string>

namespace pellora {

// The platform's recent-documents list. The import notes every candidate path
// here, on the main thread, in order, without waiting.
class RecentDocumentsNoter {
public:
    virtual ~RecentDocumentsNoter() = default;
    // filePath is a full path as bytes (possibly not UTF-8); the implementation
    // makes the file URL from it.
    virtual void noteNewRecentDocumentURL(const std::string& filePath) = 0;
};

} // namespace pellora
