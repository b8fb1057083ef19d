#include "model/ExportFailureReason.h"

#include <cerrno>

namespace pellora {

ExportFailureReason failureReasonForError(int error) {
    switch (error) {
    case EACCES:
    case EPERM:
    case EROFS:
    case ENOENT:
    case ENOTDIR: return ExportFailureReason::CannotWriteFolder;
    case ENOSPC:
    case EDQUOT: return ExportFailureReason::DiskFull;
    default: return ExportFailureReason::Other;
    }
}

} // namespace pellora
