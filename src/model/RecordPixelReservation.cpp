#include "model/RecordPixelReservation.h"

#include <fmt/format.h>

#include "model/PelloraImage.h"

namespace pellora {

RecordPixelReservation::RecordPixelReservation(PelloraImage& record, std::string_view type) {
    const auto bytes = record.outputMemory(type);
    // An unreadable header reserves nothing here: the write fails on its own,
    // and whatever it decodes draws on the budget by itself.
    if (!bytes) return;
    const Size size = record.inputSize();
    _share = PixelMemoryBudget::shared().reserve(
        *bytes, fmt::format("*** Error: {} ({} x {} pixels)", record.inputPath(), size.width, size.height));
    if (!_share.granted()) {
        _refused = true;
        return;
    }
    _covered.emplace();
}

} // namespace pellora
