#include "ui/FileNameText.h"

#include "platform/foundation/Utf8.h"

namespace pellora {
namespace {

bool isControl(char32_t code) { return code < 0x20 || (code >= 0x7F && code <= 0x9F); }

} // namespace

QString displayTextForFileName(const std::string& bytes) {
    QString text;
    text.reserve(static_cast<qsizetype>(bytes.size()));
    for (std::size_t n = 0; n < bytes.size();) {
        const Utf8Sequence sequence = utf8SequenceAt(bytes, n);
        if (sequence.length > 0 && !isControl(sequence.code)) {
            text += QString::fromUtf8(bytes.data() + n, static_cast<qsizetype>(sequence.length));
            n += sequence.length;
        } else {
            text += QString::asprintf("\\x%02X", static_cast<unsigned char>(bytes[n]));
            ++n;
        }
    }
    return text;
}

} // namespace pellora
