#pragma once

#include <string>

namespace pellora {

// The platform's recent-documents list. The import notes every candidate path
// here, on the main thread, in order, without waiting, and then tells it once
// that the import has noted its last path.
class RecentDocumentsNoter {
public:
    virtual ~RecentDocumentsNoter() = default;
    // filePath is a full path as bytes (possibly not UTF-8); the implementation
    // makes the file URL from it.
    virtual void noteNewRecentDocumentURL(const std::string& filePath) = 0;
    // The end of one import's notes: an implementation that stores the list
    // writes it here, once per import rather than once per path.
    virtual void importDidNoteAllDocuments() {}
};

} // namespace pellora
