#pragma once

namespace pellora {

// Why a record's output was not written, as the layer that failed returns it.
enum class ExportFailureReason {
    None,               // not failed
    CannotDecode,       // the source could not be read or decoded
    CannotWriteFolder,  // the destination refused the file (permissions, read-only, missing folder)
    DiskFull,           // no space (or quota) left on the destination
    WouldReplaceSource, // the output path is a source file of this export
    NameClash,          // another image of this export already wrote this output path
    TooLarge,           // the image needs more memory than the process allows for pixels
    Other,              // anything else: encoding failed, an unexpected system error
};

// The reason for a file that could not be made, written or named, from the
// errno value that ended it.
ExportFailureReason failureReasonForError(int error);

} // namespace pellora
