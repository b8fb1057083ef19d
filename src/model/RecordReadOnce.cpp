#include "model/RecordReadOnce.h"

#include "model/PelloraImage.h"
#include "platform/imageio/ImageSource.h"

namespace pellora {
namespace {

thread_local RecordReadOnce* innermost = nullptr;

// This thread's outermost memo for a record with path, or nullptr.
RecordReadOnce* outermostFor(const std::string& path) {
    RecordReadOnce* found = nullptr;
    for (RecordReadOnce* memo = innermost; memo; memo = memo->outer()) {
        if (memo->record.inputPath() == path) found = memo;
    }
    return found;
}

} // namespace

RecordReadOnce::RecordReadOnce(const PelloraImage& image) : record(image), _outer(innermost) {
    innermost = this;
}

RecordReadOnce::~RecordReadOnce() { innermost = _outer; }

RecordReadOnce* RecordReadOnce::activeFor(const PelloraImage& image) {
    // The outermost one: a write inside a wider scope (the export's) shares its read.
    RecordReadOnce* found = nullptr;
    for (RecordReadOnce* memo = innermost; memo; memo = memo->_outer) {
        if (&memo->record == &image) found = memo;
    }
    return found;
}

std::shared_ptr<const ImageSource> RecordReadOnce::openSource(const std::string& path) {
    RecordReadOnce* found = outermostFor(path);
    if (found && found->_source) return found->_source;
    std::shared_ptr<const ImageSource> source = ImageSource::createWithPath(path);
    if (found) found->_source = source;
    return source;
}

std::shared_ptr<const ImageSource> RecordReadOnce::openHeaderSource(const std::string& path) {
    RecordReadOnce* found = outermostFor(path);
    if (found && found->_source) return found->_source;
    if (found && found->_headerSource) return found->_headerSource;
    std::shared_ptr<const ImageSource> source = ImageSource::createForHeaderWithPath(path);
    if (found) found->_headerSource = source;
    return source;
}

} // namespace pellora
