#include "cli/DisplayText.h"

#include <fmt/format.h>

#include "platform/foundation/Utf8.h"

namespace pellora::cli {
namespace {

// The valid UTF-8 sequence at index when it encodes a printable character
// beyond ASCII (not a C1 control); length 0 otherwise.
Utf8Sequence printableSequenceAt(const std::string& bytes, std::size_t index) {
    if (static_cast<unsigned char>(bytes[index]) < 0x80) return {};
    const Utf8Sequence sequence = utf8SequenceAt(bytes, index);
    return sequence.code >= 0x80 && sequence.code <= 0x9F ? Utf8Sequence{} : sequence;
}

} // namespace

std::string displayText(const std::string& bytes) {
    std::string text;
    text.reserve(bytes.size());
    for (std::size_t n = 0; n < bytes.size();) {
        const auto byte = static_cast<unsigned char>(bytes[n]);
        if (byte >= 0x20 && byte < 0x7F) {
            if (byte == '\\') text += '\\';
            text += static_cast<char>(byte);
            ++n;
        } else if (byte == '\n') {
            text += "\\n";
            ++n;
        } else if (byte == '\t') {
            text += "\\t";
            ++n;
        } else if (byte == '\r') {
            text += "\\r";
            ++n;
        } else if (const Utf8Sequence sequence = printableSequenceAt(bytes, n); sequence.length > 0) {
            text.append(bytes, n, sequence.length);
            n += sequence.length;
        } else {
            text += fmt::format("\\x{:02X}", byte);
            ++n;
        }
    }
    return text;
}

} // namespace pellora::cli
