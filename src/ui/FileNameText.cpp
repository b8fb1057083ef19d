#include "ui/FileNameText.h"

#include <QByteArrayView>

namespace pellora {
namespace {

// The length of the UTF-8 sequence that lead starts, 0 when it starts none.
qsizetype sequenceLength(unsigned char lead) {
    if (lead < 0x80) return 1;
    if (lead >= 0xC2 && lead <= 0xDF) return 2;
    if (lead >= 0xE0 && lead <= 0xEF) return 3;
    if (lead >= 0xF0 && lead <= 0xF4) return 4;
    return 0;
}

bool isControl(char32_t code) { return code < 0x20 || (code >= 0x7F && code <= 0x9F); }

} // namespace

QString displayTextForFileName(const std::string& bytes) {
    QString text;
    text.reserve(static_cast<qsizetype>(bytes.size()));
    const auto size = static_cast<qsizetype>(bytes.size());
    for (qsizetype n = 0; n < size;) {
        const auto lead = static_cast<unsigned char>(bytes[static_cast<std::size_t>(n)]);
        const qsizetype length = sequenceLength(lead);
        if (length > 0 && n + length <= size) {
            const QByteArrayView sequence(bytes.data() + n, length);
            // Qt's check rejects overlong forms, surrogates and values above U+10FFFF.
            if (sequence.isValidUtf8()) {
                const QString character = QString::fromUtf8(sequence);
                if (!isControl(character.at(0).unicode())) {
                    text += character;
                    n += length;
                    continue;
                }
            }
        }
        text += QString::asprintf("\\x%02X", lead);
        ++n;
    }
    return text;
}

} // namespace pellora
