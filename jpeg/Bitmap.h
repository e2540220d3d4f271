#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

/// A device-independent bitmap kept as the image of a BMP file: the 14-byte file
/// header, the 40-byte information header and the pixel rows, bottom row first,
/// each row padded to a multiple of 4 bytes. Thumbnails are decoded to colour,
/// so 24 bits per pixel (blue, green, red) is the one depth. Widgets wrap the
/// rows in a QImage to draw; the rotation routines work on the bytes directly.
class TBitmap {
public:
    static constexpr std::size_t kFileHeaderSize = 14;
    static constexpr std::size_t kInfoHeaderSize = 40;

    /// An empty 24-bit bitmap (0 x 0).
    TBitmap();
    /// A bitmap of the given size with zeroed pixels. Raises TError for a bad size
    /// or a depth other than 24 bits per pixel.
    TBitmap(int32_t width, int32_t height, int bitsPerPixel);

    /// Takes over a BMP file image (bottom-up, uncompressed, 24 bits per pixel);
    /// raises TError when the headers do not describe the bytes.
    static TBitmap FromFileImage(std::vector<uint8_t> bytes);

    /// Bytes of one stored row: ((width x bits + 31) div 32) x 4.
    static std::size_t RowSizeFor(int32_t width, int bitsPerPixel);

    int32_t Width() const { return width_; }
    int32_t Height() const { return height_; }
    int BitsPerPixel() const { return bits_; }
    std::size_t RowSize() const { return rowSize_; }
    bool Empty() const { return width_ == 0 || height_ == 0; }

    /// Offset of the pixel rows in the file image.
    std::size_t PixelOffset() const { return offset_; }
    /// The whole file image.
    const std::vector<uint8_t>& FileImage() const { return image_; }

    /// Row y counted from the top of the picture (stored as row Height-1-y).
    uint8_t* ScanLine(int32_t y) { return Bits() + StoredRowOffset(y); }
    const uint8_t* ScanLine(int32_t y) const { return Bits() + StoredRowOffset(y); }
    /// The first stored row, which is the bottom row of the picture.
    uint8_t* Bits() { return image_.data() + offset_; }
    const uint8_t* Bits() const { return image_.data() + offset_; }

    /// The colour at picture position (x, y), y from the top, as 0xRRGGBB.
    uint32_t Pixel(int32_t x, int32_t y) const;
    void SetPixel(int32_t x, int32_t y, uint32_t value);

    bool operator==(const TBitmap& other) const { return image_ == other.image_; }

private:
    std::size_t StoredRowOffset(int32_t y) const {
        return static_cast<std::size_t>(height_ - 1 - y) * rowSize_;
    }
    void ReadHeaders();

    std::vector<uint8_t> image_;
    int32_t width_ = 0;
    int32_t height_ = 0;
    int bits_ = 24;
    std::size_t rowSize_ = 0;
    std::size_t offset_ = 0;
};
