// The camera's EXIF thumbnail standing in for the decoded one.
#include <cstdlib>
#include <string>

#include <gtest/gtest.h>

#include "JpegSamples.h"
#include "TempDir.h"
#include "core/Error.h"
#include "jpeg/JpegThumbnail.h"

namespace {
/// The red (across) and green (down) of the test pattern at a place of the picture,
/// given as fractions of its width and height.
std::pair<int, int> ColourAt(const TBitmap& b, double fx, double fy) {
    const uint32_t p = b.Pixel(int32_t(fx * (b.Width() - 1)), int32_t(fy * (b.Height() - 1)));
    return {int((p >> 16) & 0xFF), int((p >> 8) & 0xFF)};
}
} // namespace

TEST(ExifPreviewTest, TheStoredThumbnailShowsThePhotoAsTheDecodeDoes) {
    TTempDir dir;
    const std::string photo = dir.file("photo.jpg"), small = dir.file("small.jpg");
    samples::MakePhoto(photo, 640, 480);
    samples::MakePhoto(small, 160, 120);
    samples::Run("exiftool", {"-q", "-overwrite_original", "-ThumbnailImage<=" + small, photo});
    struct TCase {
        const char* name;
        int orientation;
        int32_t rotation;
        bool honour;
        int32_t width, height; // the view
    } cases[] = {
        {"as stored", 1, 0, true, 640, 480},
        {"turned", 1, 90, true, 480, 640},
        {"sideways, shown upright", 6, 0, true, 480, 640},
        {"sideways, upright and turned back", 6, 270, true, 640, 480},
        {"mirrored", 2, 0, true, 640, 480},
        {"sideways, orientation not honoured", 6, 0, false, 640, 480},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        samples::Run("exiftool", {"-q", "-overwrite_original", "-n",
                                  "-Orientation=" + std::to_string(c.orientation), photo});
        const std::optional<TThumbnail> preview = ReadExifPreview(photo, c.rotation, c.honour);
        ASSERT_TRUE(preview);
        const TThumbnail decoded = ReadJpegThumbnail(photo, c.rotation, 120, {}, c.honour);
        EXPECT_EQ(preview->imageWidth, c.width);
        EXPECT_EQ(preview->imageHeight, c.height);
        EXPECT_EQ(preview->imageWidth, decoded.imageWidth);
        EXPECT_EQ(preview->imageHeight, decoded.imageHeight);
        EXPECT_EQ(preview->orientation, decoded.orientation);
        EXPECT_EQ(preview->bitmap.Width() > preview->bitmap.Height(), c.width > c.height);
        // the same part of the picture in each corner
        for (auto [fx, fy] : {std::pair{0.1, 0.1}, {0.9, 0.1}, {0.1, 0.9}, {0.9, 0.9}}) {
            const auto [r, g] = ColourAt(preview->bitmap, fx, fy);
            const auto [dr, dg] = ColourAt(decoded.bitmap, fx, fy);
            EXPECT_NEAR(r, dr, 40) << fx << "," << fy;
            EXPECT_NEAR(g, dg, 40) << fx << "," << fy;
        }
    }
}

TEST(ExifPreviewTest, NoneWithoutAThumbnailOfThePhotosProportionsAndAnErrorForNoPhoto) {
    TTempDir dir;
    const std::string plain = dir.file("plain.jpg"), boxed = dir.file("boxed.jpg");
    samples::MakePhoto(plain, 640, 480);
    samples::MakePhoto(boxed, 640, 360);
    samples::MakePhoto(dir.file("square.jpg"), 120, 120);
    // a 16:9 photo with a square thumbnail: letterboxed, not to be stretched
    samples::Run("exiftool",
                 {"-q", "-overwrite_original", "-ThumbnailImage<=" + dir.file("square.jpg"), boxed});
    EXPECT_FALSE(ReadExifPreview(plain, 0));
    EXPECT_FALSE(ReadExifPreview(boxed, 0));
    WriteFileBytes(dir.file("text.jpg"), "not a photo");
    EXPECT_THROW(ReadExifPreview(dir.file("text.jpg"), 0), TError);
    EXPECT_THROW(ReadExifPreview(dir.file("missing.jpg"), 0), TError);
}
