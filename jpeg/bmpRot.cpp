#include "jpeg/bmpRot.h"

#include <cstring>
#include <utility>
#include <vector>

namespace {
void Put32(std::vector<uint8_t>& b, std::size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        b[at + i] = uint8_t(v >> (8 * i));
}

/// Builds a bitmap of size targetW x targetH whose stored pixel at (map(i, j))
/// is the source's stored pixel at row i, column j; everything before the pixel
/// rows is copied unchanged, then the size fields are set.
template <typename Map> void Remap(TBitmap& bitmap, int32_t targetW, int32_t targetH, Map map) {
    const int32_t w = bitmap.Width();
    const int32_t h = bitmap.Height();
    const int bits = bitmap.BitsPerPixel();
    const std::size_t offset = bitmap.PixelOffset();
    const std::size_t srcRow = bitmap.RowSize();
    const std::size_t dstRow = TBitmap::RowSizeFor(targetW, bits);
    const std::vector<uint8_t>& src = bitmap.FileImage();
    std::vector<uint8_t> dst(offset + dstRow * std::size_t(targetH), 0);
    std::memcpy(dst.data(), src.data(), offset);
    const uint8_t* in = src.data() + offset;
    uint8_t* out = dst.data() + offset;
    const std::size_t bytes = std::size_t(bits / 8);
    for (int32_t i = 0; i < h; ++i) {
        const uint8_t* row = in + std::size_t(i) * srcRow;
        for (int32_t j = 0; j < w; ++j) {
            const auto [ti, tj] = map(i, j);
            std::memcpy(out + std::size_t(ti) * dstRow + std::size_t(tj) * bytes,
                        row + std::size_t(j) * bytes, bytes);
        }
    }
    Put32(dst, 2, uint32_t(dst.size()));
    Put32(dst, 18, uint32_t(targetW));
    Put32(dst, 22, uint32_t(targetH));
    Put32(dst, 34, 0); // image size 0 is valid for uncompressed bitmaps
    bitmap = TBitmap::FromFileImage(std::move(dst));
}
} // namespace

void Rotate90Left(TBitmap& bitmap) {
    const int32_t h = bitmap.Height();
    // rows are stored bottom first, so this transpose turns counter-clockwise
    Remap(bitmap, h, bitmap.Width(),
          [h](int32_t i, int32_t j) { return std::pair<int32_t, int32_t>(j, h - 1 - i); });
}

void Rotate90Right(TBitmap& bitmap) {
    const int32_t w = bitmap.Width();
    Remap(bitmap, bitmap.Height(), w,
          [w](int32_t i, int32_t j) { return std::pair<int32_t, int32_t>(w - 1 - j, i); });
}

void Rotate180(TBitmap& bitmap) {
    const int32_t w = bitmap.Width();
    const int32_t h = bitmap.Height();
    Remap(bitmap, w, h, [w, h](int32_t i, int32_t j) {
        return std::pair<int32_t, int32_t>(h - 1 - i, w - 1 - j);
    });
}

void MirrorHorizontal(TBitmap& bitmap) {
    const int32_t w = bitmap.Width();
    Remap(bitmap, w, bitmap.Height(),
          [w](int32_t i, int32_t j) { return std::pair<int32_t, int32_t>(i, w - 1 - j); });
}

void TurnBitmap(TBitmap& bitmap, const TTurn& turn) {
    if (turn.mirror) MirrorHorizontal(bitmap);
    switch (turn.quarters) {
    case 1: Rotate90Right(bitmap); break;
    case 2: Rotate180(bitmap); break;
    case 3: Rotate90Left(bitmap); break;
    default: break;
    }
}
