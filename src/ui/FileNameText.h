#pragma once

#include <QString>
#include <string>

namespace pellora {

// A file name or path (bytes, possibly not UTF-8) as text to show: valid UTF-8
// is kept, and each byte that is not part of a valid sequence, and each control
// character, is shown as \xNN, so that names differing only in such bytes still
// look different and none can break a line.
QString displayTextForFileName(const std::string& bytes);

} // namespace pellora
