#include "jpeg/Bitmap.h"

#include <vector>

#include <gtest/gtest.h>

#include "core/Error.h"

TEST(BitmapTest, RowsArePaddedAndStoredBottomFirst) {
    EXPECT_EQ(TBitmap::RowSizeFor(1, 24), 4u);
    EXPECT_EQ(TBitmap::RowSizeFor(4, 24), 12u);
    EXPECT_EQ(TBitmap::RowSizeFor(5, 24), 16u);

    TBitmap b(5, 3, 24);
    EXPECT_EQ(b.PixelOffset(), 14u + 40u);
    b.SetPixel(0, 0, 0xAA0000); // top-left: the first pixel of the last stored row
    b.SetPixel(4, 2, 0x0000BB); // bottom-right: the fifth pixel of the first
    const std::vector<uint8_t>& image = b.FileImage();
    EXPECT_EQ(image[b.PixelOffset() + 2 * 16 + 2], 0xAA);
    EXPECT_EQ(image[b.PixelOffset() + 4 * 3], 0xBB);

    TBitmap c(2, 1, 24);
    c.SetPixel(1, 0, 0x112233); // red 0x11, green 0x22, blue 0x33
    EXPECT_EQ(c.ScanLine(0)[3], 0x33);
    EXPECT_EQ(c.ScanLine(0)[5], 0x11);
}

TEST(BitmapTest, FileImagesMustDescribeTheirBytes) {
    TBitmap b(7, 5, 24);
    EXPECT_EQ(TBitmap::FromFileImage(b.FileImage()), b);

    std::vector<uint8_t> cut = b.FileImage();
    cut.pop_back();
    EXPECT_THROW(TBitmap::FromFileImage(cut), TError);
    std::vector<uint8_t> compressed = b.FileImage();
    compressed[30] = 1;
    EXPECT_THROW(TBitmap::FromFileImage(compressed), TError);
    std::vector<uint8_t> topDown = b.FileImage();
    topDown[25] = 0xFF; // negative height
    EXPECT_THROW(TBitmap::FromFileImage(topDown), TError);
    EXPECT_THROW(TBitmap::FromFileImage({'B', 'M'}), TError);
    EXPECT_THROW(TBitmap(-1, 2, 24), TError);
    EXPECT_THROW(TBitmap(2, 2, 12), TError);
    EXPECT_THROW(TBitmap(2, 2, 8), TError); // thumbnails are colour: 24 bits only
    std::vector<uint8_t> grey = b.FileImage();
    grey[28] = 8;
    EXPECT_THROW(TBitmap::FromFileImage(grey), TError);
    EXPECT_THROW(TBitmap(65536, 65536, 24), TError);
}
