#include "Bitmap.h"

#include <string>
#include <utility>

#include "Error.h"

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
    return bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
}
} // namespace

TBitmap::TBitmap() : TBitmap(0, 0, 24) {}

TBitmap::TBitmap(int32_t width, int32_t height, int bitsPerPixel) {
    if (width < 0 || height < 0 || !ValidDepth(bitsPerPixel))
        throw TError("Bitmap: invalid size or depth");
    const std::size_t row = RowSizeFor(width, bitsPerPixel);
    if (uint64_t(row) * uint64_t(height) > kMaxPixelBytes) throw TError("Bitmap: too large");
    const int colors = bitsPerPixel <= 8 ? 1 << bitsPerPixel : 0;
    const std::size_t offset = kFileHeaderSize + kInfoHeaderSize + std::size_t(colors) * 4;
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
    Put32(image_, 46, uint32_t(colors));
    for (int i = 0; i < colors; ++i) {
        const uint8_t grey = uint8_t(colors > 1 ? i * 255 / (colors - 1) : 0);
        uint8_t* entry = ColorTable() + 4 * i;
        entry[0] = entry[1] = entry[2] = grey;
    }
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
        throw TError("Bitmap: not a bitmap image");
    const uint32_t offset = Get32(b, 10);
    const int32_t width = int32_t(Get32(b, 18));
    const int32_t height = int32_t(Get32(b, 22));
    const int bits = Get16(b, 28);
    // only uncompressed, bottom-up bitmaps have the row layout the rotations assume
    if (Get32(b, 14) < kInfoHeaderSize || Get32(b, 30) != 0 || width < 0 || height < 0 ||
        !ValidDepth(bits))
        throw TError("Bitmap: unsupported bitmap layout");
    const std::size_t row = RowSizeFor(width, bits);
    const uint64_t needed = uint64_t(offset) + uint64_t(row) * uint64_t(height);
    if (offset < kFileHeaderSize + kInfoHeaderSize || needed > b.size() ||
        uint64_t(row) * uint64_t(height) > kMaxPixelBytes)
        throw TError("Bitmap: pixel data out of bounds");
    const int colors = bits <= 8 ? 1 << bits : 0;
    if (kFileHeaderSize + kInfoHeaderSize + std::size_t(colors) * 4 > offset)
        throw TError("Bitmap: colour table out of bounds");
    width_ = width;
    height_ = height;
    bits_ = bits;
    colors_ = colors;
    rowSize_ = row;
    offset_ = offset;
}

uint32_t TBitmap::Pixel(int32_t x, int32_t y) const {
    const uint8_t* row = ScanLine(y);
    switch (bits_) {
    case 1:
    case 4: {
        // the leftmost pixel of a byte sits in its most significant bits
        const int perByte = 8 / bits_;
        const int shift = 8 - bits_ * (x % perByte + 1);
        return (row[x / perByte] >> shift) & ((1u << bits_) - 1);
    }
    case 8:
        return row[x];
    case 16:
        return uint32_t(row[2 * x] | row[2 * x + 1] << 8);
    case 24:
        return uint32_t(row[3 * x]) | uint32_t(row[3 * x + 1]) << 8 |
               uint32_t(row[3 * x + 2]) << 16;
    default:
        return uint32_t(row[4 * x]) | uint32_t(row[4 * x + 1]) << 8 |
               uint32_t(row[4 * x + 2]) << 16 | uint32_t(row[4 * x + 3]) << 24;
    }
}

void TBitmap::SetPixel(int32_t x, int32_t y, uint32_t value) {
    uint8_t* row = ScanLine(y);
    switch (bits_) {
    case 1:
    case 4: {
        const int perByte = 8 / bits_;
        const int shift = 8 - bits_ * (x % perByte + 1);
        const uint8_t mask = uint8_t(((1u << bits_) - 1) << shift);
        uint8_t& byte = row[x / perByte];
        byte = uint8_t((byte & ~mask) | ((value << shift) & mask));
        break;
    }
    case 8:
        row[x] = uint8_t(value);
        break;
    default:
        for (int i = 0; i < bits_ / 8; ++i)
            row[(bits_ / 8) * x + i] = uint8_t(value >> (8 * i));
        break;
    }
}
