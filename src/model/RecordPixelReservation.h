#pragma once

#include <optional>
#include <string_view>

#include "platform/imageio/PixelMemoryBudget.h"

namespace pellora {

class PelloraImage;

// The share of the pixel memory budget that writing one record's output
// takes, reserved from the file's header before anything is decoded (waiting
// while others hold the budget) and held while it lives; the record's decodes
// on this thread take nothing more meanwhile. Scoped to the preparation of
// the output, so that it is given back before the output is committed.
class RecordPixelReservation {
public:
    RecordPixelReservation(PelloraImage& record, std::string_view type);
    RecordPixelReservation(const RecordPixelReservation&) = delete;
    RecordPixelReservation& operator=(const RecordPixelReservation&) = delete;

    // True when the record needs more than the whole budget: nothing was
    // reserved, a line saying so was logged, and the output is not to be made.
    bool refused() const { return _refused; }

private:
    PixelReservation _share;
    std::optional<PixelMemoryBudget::CoveredScope> _covered;
    bool _refused = false;
};

} // namespace pellora
