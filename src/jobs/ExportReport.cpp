#include "jobs/ExportReport.h"

namespace pellora {

std::string_view plainWords(ExportFailureReason reason) {
    switch (reason) {
    case ExportFailureReason::None: return "";
    case ExportFailureReason::CannotDecode: return "cannot decode the image";
    case ExportFailureReason::CannotWriteFolder: return "cannot write to the folder";
    case ExportFailureReason::DiskFull: return "the disk is full";
    case ExportFailureReason::WouldReplaceSource: return "would replace a source image";
    case ExportFailureReason::NameClash: return "another image in this export has the same name";
    case ExportFailureReason::TooLarge: return "the image needs more memory than allowed";
    case ExportFailureReason::Other: return "cannot write the image";
    }
    return "cannot write the image";
}

} // namespace pellora
