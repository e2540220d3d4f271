#include "jpeg/bmpRot.h"

#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {
TBitmap RandomBitmap(int32_t w, int32_t h, unsigned seed) {
    TBitmap b(w, h, 24);
    std::mt19937 rng(seed);
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x)
            b.SetPixel(x, y, rng() & 0xFFFFFF);
    return b;
}

/// Every pixel value, top row first, with the size in front.
std::vector<uint32_t> Pixels(const TBitmap& b) {
    std::vector<uint32_t> v{uint32_t(b.Width()), uint32_t(b.Height())};
    for (int32_t y = 0; y < b.Height(); ++y)
        for (int32_t x = 0; x < b.Width(); ++x)
            v.push_back(b.Pixel(x, y));
    return v;
}

/// Rows of the picture top first, each pixel as its raw value.
std::string Rows(const TBitmap& b) {
    std::string s;
    for (int32_t y = 0; y < b.Height(); ++y) {
        if (y) s += " / ";
        for (int32_t x = 0; x < b.Width(); ++x)
            s += char(b.Pixel(x, y));
    }
    return s;
}
} // namespace

TEST(bmpRotTest, QuarterTurnsOfASmallPicture) {
    TBitmap b(3, 2, 24);
    const char* top = "abc";
    const char* bottom = "def";
    for (int x = 0; x < 3; ++x) {
        b.SetPixel(x, 0, uint8_t(top[x]));
        b.SetPixel(x, 1, uint8_t(bottom[x]));
    }
    TBitmap left = b;
    Rotate90Left(left);
    EXPECT_EQ(Rows(left), "cf / be / ad");
    TBitmap right = b;
    Rotate90Right(right);
    EXPECT_EQ(Rows(right), "da / eb / fc");
    TBitmap half = b;
    Rotate180(half);
    EXPECT_EQ(Rows(half), "fed / cba");
}

TEST(bmpRotTest, TurnsMovePixelsAndKeepTheLayout) {
    const int32_t sizes[][2] = {{1, 1}, {3, 2}, {13, 7}, {33, 5}, {8, 17}};
    for (const auto& size : sizes) {
        const int32_t w = size[0], h = size[1];
        SCOPED_TRACE(std::to_string(w) + "x" + std::to_string(h));
        const TBitmap source = RandomBitmap(w, h, unsigned(w * 131 + h * 7));

        TBitmap left = source;
        Rotate90Left(left);
        ASSERT_EQ(left.Width(), h);
        ASSERT_EQ(left.Height(), w);
        EXPECT_EQ(left.RowSize(), TBitmap::RowSizeFor(h, 24));
        EXPECT_EQ(left.FileImage().size(), left.PixelOffset() + left.RowSize() * size_t(w));
        for (int32_t y = 0; y < h; ++y)
            for (int32_t x = 0; x < w; ++x)
                ASSERT_EQ(left.Pixel(y, w - 1 - x), source.Pixel(x, y)) << x << "," << y;

        TBitmap right = source;
        Rotate90Right(right);
        TBitmap leftHalf = left;
        Rotate180(leftHalf);
        EXPECT_EQ(Pixels(right), Pixels(leftHalf));

        Rotate90Right(left);
        EXPECT_EQ(Pixels(left), Pixels(source));
        TBitmap twice = source;
        Rotate180(twice);
        Rotate180(twice);
        EXPECT_EQ(Pixels(twice), Pixels(source));
    }
}
