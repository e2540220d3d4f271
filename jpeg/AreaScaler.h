#pragma once

#include <cstdint>
#include <vector>

#include "jpeg/Bitmap.h"

/// Resamples a stream of 24-bit rows into a bitmap of any size by area
/// averaging: every target pixel is the mean of the source area it covers, so a
/// reduction keeps fine detail smooth and an enlargement repeats pixels. Rows
/// arrive top first, one at a time, so no full source picture is ever held.
class TAreaScaler {
public:
    /// The target bitmap must have 24 bits per pixel and outlive the scaler.
    TAreaScaler(int32_t sourceWidth, int32_t sourceHeight, TBitmap& target);

    /// Takes the next source row (sourceWidth pixels of blue, green, red). Each
    /// target row is written as soon as the rows it covers have arrived.
    void PushRow(const uint8_t* bgr);

private:
    struct TSpan {
        int32_t first;  // first source pixel
        int32_t count;  // number of source pixels
        uint32_t start; // offset of their weights
    };
    void EmitRow();

    TBitmap& target_;
    int64_t sourceWidth_, sourceHeight_, targetWidth_, targetHeight_;
    std::vector<TSpan> spans_;
    std::vector<uint32_t> weights_; // per span, summing to kOne
    std::vector<uint32_t> sum_;     // source columns summed over the target row
    int64_t sourceY_ = 0;
    int64_t targetY_ = 0;
};
