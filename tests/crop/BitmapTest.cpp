#include "Bitmap.h"

#include <vector>

#include <gtest/gtest.h>

#include "Error.h"

TEST(BitmapTest, RowsArePaddedAndStoredBottomFirst) {
    EXPECT_EQ(TBitmap::RowSizeFor(1, 1), 4u);
    EXPECT_EQ(TBitmap::RowSizeFor(33, 1), 8u);
    EXPECT_EQ(TBitmap::RowSizeFor(9, 4), 8u);
    EXPECT_EQ(TBitmap::RowSizeFor(5, 24), 16u);
    EXPECT_EQ(TBitmap::RowSizeFor(3, 32), 12u);

    TBitmap b(10, 3, 1);
    EXPECT_EQ(b.PixelOffset(), 14u + 40u + 2u * 4u);
    b.SetPixel(0, 0, 1); // top-left: most significant bit of the last stored row
    b.SetPixel(9, 2, 1); // bottom-right: bit 6 of the second byte of the first
    const std::vector<uint8_t>& image = b.FileImage();
    EXPECT_EQ(image[b.PixelOffset() + 2 * 4], 0x80);
    EXPECT_EQ(image[b.PixelOffset() + 1], 0x40);

    TBitmap c(2, 1, 24);
    c.SetPixel(1, 0, 0x112233); // red 0x11, green 0x22, blue 0x33
    EXPECT_EQ(c.ScanLine(0)[3], 0x33);
    EXPECT_EQ(c.ScanLine(0)[5], 0x11);
}

TEST(BitmapTest, FileImagesMustDescribeTheirBytes) {
    TBitmap b(7, 5, 8);
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
    EXPECT_THROW(TBitmap(65536, 65536, 32), TError);
}
