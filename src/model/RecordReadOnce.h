#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/PlistValue.h"

namespace pellora {

class ImageSource;
class PelloraImage;

// While one lives, a record's file is read once on this thread: its size, its
// properties and its pixels come from one opened source, and later calls for
// the properties give the first read's properties and log its lines again, as
// a fresh read of the same file would. Scoped to one write of one record, so
// that a file changed between writes is read anew.
class RecordReadOnce {
public:
    explicit RecordReadOnce(const PelloraImage& record);
    ~RecordReadOnce();
    RecordReadOnce(const RecordReadOnce&) = delete;
    RecordReadOnce& operator=(const RecordReadOnce&) = delete;

    // This thread's outermost memo for record, or nullptr.
    static RecordReadOnce* activeFor(const PelloraImage& record);

    // The source of the file at path: the one already opened for an active
    // record with that path, else opened now (and kept when such a record is
    // active). nullptr (after ImageSource's log line) when it cannot be opened;
    // a failure is not kept, so asking again logs again.
    static std::shared_ptr<const ImageSource> openSource(const std::string& path);
    // The same for reading the file's header and properties alone: the whole
    // file's source when one is open already, else a source of the bytes the
    // header needs (ImageSource::createForHeaderWithPath), kept likewise.
    static std::shared_ptr<const ImageSource> openHeaderSource(const std::string& path);

    RecordReadOnce* outer() const { return _outer; }

    const PelloraImage& record;
    std::optional<PlistValue> properties;
    std::vector<std::string> lines;  // logged by the read

private:
    RecordReadOnce* const _outer;
    std::shared_ptr<const ImageSource> _source;        // the whole file
    std::shared_ptr<const ImageSource> _headerSource;  // its header
};

} // namespace pellora
