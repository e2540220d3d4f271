#include "jpeg/Bitmap.h"

#include <string>
#include <utility>

#include "core/Error.h"

namespace {
// A thumbnail is screen sized; anything near this is a fault, not a picture.
constexpr uint64_t kMaxPixelBytes = uint64_t(1) << 30;

uint32_t Get32(const std::vector<uint8_t>& b, std::size_t at) {
    return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 |
           uint32_t(b[at + 3]) << 24;
}

uint16_t Get16(const std::vector<uint8_t>& b, std::size_t at) {
    return uint16_t(b[at] | b[at + 1] << 8);
}

void Put32(std::vector<uint8_t>& b, std::size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        b[at + i] = uint8_t(v >> (8 * i));
}

void Put16(std::vector<uint8_t>& b, std::size_t at, uint16_t v) {
    b[at] = uint8_t(v);
    b[at + 1] = uint8_t(v >> 8);
}

bool ValidDepth(int bits) {
    return bits == 24;
}
} // namespace

TBitmap::TBitmap() : TBitmap(0, 0, 24) {}

TBitmap::TBitmap(int32_t width, int32_t height, int bitsPerPixel) {
    if (width < 0 || height < 0 || !ValidDepth(bitsPerPixel))
        throw TError(TErrorKind::Other, "", "invalid bitmap size or depth");
    const std::size_t row = RowSizeFor(width, bitsPerPixel);
    if (uint64_t(row) * uint64_t(height) > kMaxPixelBytes) throw TError(TErrorKind::TooLarge, "");
    const std::size_t offset = kFileHeaderSize + kInfoHeaderSize;
    const std::size_t pixels = row * std::size_t(height);
    image_.assign(offset + pixels, 0);
    image_[0] = 'B';
    image_[1] = 'M';
    Put32(image_, 2, uint32_t(image_.size()));
    Put32(image_, 10, uint32_t(offset));
    Put32(image_, 14, kInfoHeaderSize);
    Put32(image_, 18, uint32_t(width));
    Put32(image_, 22, uint32_t(height)); // positive height: bottom row first
    Put16(image_, 26, 1);
    Put16(image_, 28, uint16_t(bitsPerPixel));
    Put32(image_, 34, uint32_t(pixels));
    ReadHeaders();
}

TBitmap TBitmap::FromFileImage(std::vector<uint8_t> bytes) {
    TBitmap result;
    result.image_ = std::move(bytes);
    result.ReadHeaders();
    return result;
}

std::size_t TBitmap::RowSizeFor(int32_t width, int bitsPerPixel) {
    return std::size_t((uint64_t(width) * uint64_t(bitsPerPixel) + 31) / 32 * 4);
}

void TBitmap::ReadHeaders() {
    const auto& b = image_;
    if (b.size() < kFileHeaderSize + kInfoHeaderSize || b[0] != 'B' || b[1] != 'M')
        throw TError(TErrorKind::Other, "", "not a bitmap image");
    const uint32_t offset = Get32(b, 10);
    const int32_t width = int32_t(Get32(b, 18));
    const int32_t height = int32_t(Get32(b, 22));
    const int bits = Get16(b, 28);
    // only uncompressed, bottom-up bitmaps have the row layout the rotations assume
    if (Get32(b, 14) < kInfoHeaderSize || Get32(b, 30) != 0 || width < 0 || height < 0 ||
        !ValidDepth(bits))
        throw TError(TErrorKind::Other, "", "unsupported bitmap layout");
    const std::size_t row = RowSizeFor(width, bits);
    const uint64_t needed = uint64_t(offset) + uint64_t(row) * uint64_t(height);
    if (offset < kFileHeaderSize + kInfoHeaderSize || needed > b.size() ||
        uint64_t(row) * uint64_t(height) > kMaxPixelBytes)
        throw TError(TErrorKind::Other, "", "bitmap pixel data out of bounds");
    width_ = width;
    height_ = height;
    bits_ = bits;
    rowSize_ = row;
    offset_ = offset;
}

uint32_t TBitmap::Pixel(int32_t x, int32_t y) const {
    const uint8_t* at = ScanLine(y) + 3 * x;
    return uint32_t(at[0]) | uint32_t(at[1]) << 8 | uint32_t(at[2]) << 16;
}

void TBitmap::SetPixel(int32_t x, int32_t y, uint32_t value) {
    uint8_t* at = ScanLine(y) + 3 * x;
    for (int i = 0; i < 3; ++i)
        at[i] = uint8_t(value >> (8 * i));
}
