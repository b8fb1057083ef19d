#pragma once

#include <cstdint>

#include "platform/imageio/Image.h"
#include "platform/imageio/PixelMemoryBudget.h"

namespace pellora {

// The first image of a file decoded top to bottom a few rows at a time, for a
// reader that needs each row once (the resampler): it holds the codec's state
// and a band of rows, never the whole decoded image. Made by
// ImageSource::openRowDecoder; used by one thread.
class RowDecoder {
public:
    virtual ~RowDecoder() = default;
    RowDecoder(const RowDecoder&) = delete;
    RowDecoder& operator=(const RowDecoder&) = delete;

    // The rows' layout: everything of a DecodedImage but its pixels (empty).
    const DecodedImage& layout() const { return _layout; }
    // True when rows come as 8-bit sRGB RGBA, opaque (4 bytes a pixel): they
    // need no conversion before resampling.
    bool deliversOpaqueRgba() const { return _opaqueRgba; }

    // Writes row `row` into `samples` (layout().rowBytes bytes). Rows are asked for in increasing order; rows skipped
    // are decoded and dropped. false, after one log line, when the data
    // cannot be decoded; every later call is then false too, at no cost.
    bool readRow(std::uint32_t row, std::uint8_t* samples) {
        if (_failed) return false;
        _failed = !decodeRow(row, samples);
        return !_failed;
    }
    bool failed() const { return _failed; }

    // The share of the pixel memory budget the decoder holds while it lives.
    void holdShare(PixelReservation share) { _share = std::move(share); }

protected:
    RowDecoder() = default;
    // One row, as readRow; called only while nothing has failed.
    virtual bool decodeRow(std::uint32_t row, std::uint8_t* samples) = 0;

    DecodedImage _layout;
    bool _opaqueRgba = false;

private:
    bool _failed = false;
    PixelReservation _share;
};

} // namespace pellora
