#include "jpeg/AreaScaler.h"

#include <algorithm>

namespace {
constexpr uint32_t kOne = 1u << 14; // fixed-point unit of the horizontal weights
}

TAreaScaler::TAreaScaler(int32_t sourceWidth, int32_t sourceHeight, TBitmap& target)
    : target_(target), sourceWidth_(sourceWidth), sourceHeight_(sourceHeight),
      targetWidth_(target.Width()), targetHeight_(target.Height()) {
    // source pixel i covers [i * tw, (i + 1) * tw), target pixel x [x * sw, (x + 1) * sw)
    spans_.reserve(std::size_t(targetWidth_));
    for (int64_t x = 0; x < targetWidth_; ++x) {
        const int64_t lo = x * sourceWidth_, hi = lo + sourceWidth_;
        const int64_t first = lo / targetWidth_;
        const int64_t last = std::min(sourceWidth_ - 1, (hi - 1) / targetWidth_);
        const uint32_t start = uint32_t(weights_.size());
        uint32_t total = 0;
        for (int64_t i = first; i <= last; ++i) {
            const int64_t overlap =
                std::min(hi, (i + 1) * targetWidth_) - std::max(lo, i * targetWidth_);
            weights_.push_back(uint32_t(overlap * kOne / sourceWidth_));
            total += weights_.back();
        }
        // rounding must not darken the picture: the largest weight takes the rest
        *std::max_element(weights_.begin() + start, weights_.end()) += kOne - total;
        spans_.push_back({int32_t(first), int32_t(last - first + 1), start});
    }
    sum_.assign(std::size_t(sourceWidth_) * 3, 0);
}

void TAreaScaler::PushRow(const uint8_t* bgr) {
    if (sourceY_ >= sourceHeight_ || targetY_ >= targetHeight_) return;
    // rows are summed first and turned horizontally once per target row, which
    // costs less than resampling each of the (more numerous) source rows
    // source row y covers [y * th, (y + 1) * th), target row j [j * sh, (j + 1) * sh)
    const int64_t lo = sourceY_ * targetHeight_, hi = lo + targetHeight_;
    while (targetY_ < targetHeight_) {
        const int64_t rowLo = targetY_ * sourceHeight_, rowHi = rowLo + sourceHeight_;
        const int64_t overlap = std::min(hi, rowHi) - std::max(lo, rowLo);
        if (overlap > 0) {
            const uint32_t w = uint32_t(overlap);
            uint32_t* sum = sum_.data();
            const std::size_t n = sum_.size();
            for (std::size_t k = 0; k < n; ++k)
                sum[k] += w * bgr[k];
        }
        if (rowHi > hi) break;
        EmitRow();
    }
    ++sourceY_;
}

void TAreaScaler::EmitRow() {
    // each column sum holds 255 x sourceHeight at most; the weights add kOne
    const uint64_t unit = uint64_t(sourceHeight_) * kOne;
    uint8_t* out = target_.ScanLine(int32_t(targetY_));
    for (std::size_t x = 0; x < spans_.size(); ++x) {
        const TSpan& s = spans_[x];
        const uint32_t* p = sum_.data() + std::size_t(s.first) * 3;
        const uint32_t* w = weights_.data() + s.start;
        uint64_t b = 0, g = 0, r = 0;
        for (int32_t i = 0; i < s.count; ++i, p += 3) {
            b += uint64_t(w[i]) * p[0];
            g += uint64_t(w[i]) * p[1];
            r += uint64_t(w[i]) * p[2];
        }
        out[3 * x] = uint8_t(std::min<uint64_t>(255, (b + unit / 2) / unit));
        out[3 * x + 1] = uint8_t(std::min<uint64_t>(255, (g + unit / 2) / unit));
        out[3 * x + 2] = uint8_t(std::min<uint64_t>(255, (r + unit / 2) / unit));
    }
    std::fill(sum_.begin(), sum_.end(), 0u);
    ++targetY_;
}
